#include "base/fileutil.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

enum { READ_BLOCK = 4096 };

char* read_whole_file(const char* path, int* length)
{
    FILE* file = file_open(path, "rb");
    if (!file)
        return nullptr;

    char* buffer = nullptr;
    int count = 0;
    for (;;) {
        // The count is a signed 32-bit length: stop before it could overflow.
        if (count > INT_MAX - READ_BLOCK - 1)
            break;
        char* grown = static_cast<char*>(realloc(buffer, static_cast<size_t>(count) + READ_BLOCK));
        if (!grown)
            break;
        buffer = grown;
        size_t got = fread(buffer + count, 1, READ_BLOCK, file);
        if (got == 0) {
            fclose(file);
            // Shrinking never fails in practice; if it does the larger block
            // still holds the text and its NUL.
            char* exact = static_cast<char*>(realloc(buffer, static_cast<size_t>(count) + 1));
            if (exact)
                buffer = exact;
            buffer[count] = '\0';
            *length = count;
            return buffer;
        }
        count += static_cast<int>(got);
    }
    fclose(file);
    free(buffer);
    return nullptr;
}

int write_whole_file(const char* path, const void* data, size_t size)
{
    FILE* file = file_open(path, "wb");
    if (!file)
        return 0;
    size_t written = fwrite(data, 1, size, file);
    fclose(file);
    return static_cast<int>(written);
}

size_t replace_chars(char* text, const char* set, int replacement)
{
    size_t set_length = strlen(set);
    for (size_t i = 0; text[i] != '\0'; i++) {
        if (!memchr(set, static_cast<unsigned char>(text[i]), set_length))
            continue;
        text[i] = static_cast<char>(replacement);
        if (text[i] == '\0')
            break;
    }
    return strlen(text);
}

int is_url(const char* text)
{
    return strstr(text, "://") != nullptr ? 1 : 0;
}

int release_file_present(const char* folder)
{
    char path[FILEUTIL_PATH_SIZE];
    int needed = snprintf(path, sizeof path, "%srelease", folder);
    if (needed < 0 || needed >= static_cast<int>(sizeof path))
        return 0;
    int length = 0;
    char* content = read_whole_file(path, &length);
    if (!content)
        return 0;
    free(content);
    return 1;
}
