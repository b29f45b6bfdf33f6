// The portable part of the launch log; log_win.cpp and log_posix.cpp hold
// the file, the clock and the process id.
#include "base/log.h"

#include "base/log_sys.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Plain arrays: a thread may still log while the process ends.
std::mutex secrets_mutex;
char secrets[LOG_SECRETS][LOG_SECRET_SIZE];
size_t secret_count = 0;
bool secrets_overflowed = false; // then no line is written: none could be hidden for sure

// text with every place a secret covers (overlaps included) shown as one
// "***"; false when a secret could not be kept.
bool hide_secrets(std::string* text)
{
    std::lock_guard<std::mutex> hold(secrets_mutex);
    if (secrets_overflowed)
        return false;
    std::vector<bool> covered(text->size(), false);
    for (size_t i = 0; i < secret_count; i++) {
        size_t length = strlen(secrets[i]);
        for (size_t at = text->find(secrets[i]); at != std::string::npos;
             at = text->find(secrets[i], at + 1))
            std::fill(covered.begin() + at, covered.begin() + at + length, true);
    }
    std::string shown;
    for (size_t i = 0; i < text->size(); i++) {
        if (!covered[i])
            shown += (*text)[i];
        else if (i == 0 || !covered[i - 1])
            shown += "***";
    }
    *text = shown;
    return true;
}

} // namespace

size_t log_format_line(char* out, size_t size, const LogTime* time, unsigned long process_id,
                       const char* text)
{
    if (size < 3)
        return 0;
    int prefix = snprintf(out, size, "%04d-%02d-%02d %02d:%02d:%02d.%03d [%lu] ", time->year,
                          time->month, time->day, time->hour, time->minute, time->second,
                          time->millisecond, process_id);
    size_t used = prefix < 0 ? 0 : static_cast<size_t>(prefix);
    if (used > size - 3)
        used = size - 3;
    for (; *text && used < size - 3; text++)
        out[used++] = static_cast<unsigned char>(*text) < 32 ? ' ' : *text;
    memcpy(out + used, "\r\n", 3);
    return used + 2;
}

void log_open(const char* path)
{
    if (log_sys_is_open())
        return;
    char older[LOG_PATH_SIZE];
    int length = snprintf(older, sizeof older, "%s.1", path);
    if (length < 0 || static_cast<size_t>(length) >= sizeof older)
        return;
    log_sys_turn_over(path, older, LOG_TURN_OVER_SIZE);
    log_sys_open(path);
}

void log_line(const char* format, ...)
{
    if (!log_sys_is_open())
        return;
    // Formatted whole and hidden before the line's bound cuts it, so no
    // part of a secret is left at the cut.
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int needed = vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(needed > 0 ? static_cast<size_t>(needed) + 1 : 1, '\0');
    vsnprintf(&text[0], text.size(), format, again);
    va_end(again);
    text.resize(text.size() - 1);
    if (!hide_secrets(&text))
        text = "(a line is not shown: it might hold a secret that could not be kept)";
    LogTime now;
    log_sys_now(&now);
    char line[LOG_LINE_SIZE];
    size_t length = log_format_line(line, sizeof line, &now, log_sys_process_id(), text.c_str());
    log_sys_write(line, length);
}

void log_hide(const char* secret)
{
    if (!*secret)
        return;
    std::lock_guard<std::mutex> hold(secrets_mutex);
    for (size_t i = 0; i < secret_count; i++)
        if (strcmp(secrets[i], secret) == 0)
            return;
    if (secret_count == LOG_SECRETS || strlen(secret) >= LOG_SECRET_SIZE) {
        secrets_overflowed = true;
        return;
    }
    strcpy(secrets[secret_count++], secret);
}

void log_close(void)
{
    log_sys_close();
}
