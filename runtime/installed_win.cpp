// Reading an installed runtime's record, release file and java.exe.
#include "runtime/installed.h"

#include "base/fileutil.h"
#include "runtime/unpack.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// The first line of the file name in folder, parsed; false when there is
// none that parses.
static bool read_version_file(const char* folder, const char* name, JavaVersion* out,
                              char* text, size_t size, bool whole_release)
{
    char path[FILEUTIL_PATH_SIZE];
    int needed = snprintf(path, sizeof path, "%s\\%s", folder, name);
    if (needed < 0 || needed >= static_cast<int>(sizeof path))
        return false;
    int length = 0;
    char* content = read_whole_file(path, &length);
    if (!content)
        return false;
    bool read = false;
    if (whole_release) {
        read = installed_release_version(content, out, text, size) != 0;
    } else {
        content[strcspn(content, "\r\n")] = '\0';
        read = strlen(content) < size && java_version_parse(content, out);
        if (read)
            snprintf(text, size, "%s", content);
    }
    free(content);
    return read;
}

void installed_read(const char* folder, InstalledRuntime* out)
{
    memset(out, 0, sizeof *out);
    out->own_source = "";
    out->recorded_known = read_version_file(folder, UNPACK_RECORD_NAME, &out->recorded,
                                            out->recorded_text, sizeof out->recorded_text, false);
    if (read_version_file(folder, "release", &out->own, out->own_text, sizeof out->own_text,
                          true)) {
        out->own_known = 1;
        out->own_source = "release";
        return;
    }
    char java[FILEUTIL_PATH_SIZE];
    int needed = snprintf(java, sizeof java, "%s\\bin\\java.exe", folder);
    if (needed < 0 || needed >= static_cast<int>(sizeof java) ||
        !query_file_version(java, out->own_text, sizeof out->own_text))
        return;
    out->own_known = java_version_parse(out->own_text, &out->own);
    out->own_source = out->own_known ? "file version" : "";
}
