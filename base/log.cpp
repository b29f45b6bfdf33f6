// The portable part of the launch log; log_win.cpp and log_posix.cpp hold
// the file, the clock and the process id.
#include "base/log.h"

#include "base/log_sys.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::mutex secrets_mutex;
std::string secrets[LOG_SECRETS];
size_t secrets_next = 0;

// text with each secret replaced by "***".
std::string hidden(std::string text)
{
    std::lock_guard<std::mutex> hold(secrets_mutex);
    for (const std::string& secret : secrets) {
        if (secret.empty())
            continue;
        for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
            text.replace(at, secret.size(), "***");
    }
    return text;
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
    char text[LOG_LINE_SIZE];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    LogTime now;
    log_sys_now(&now);
    char line[LOG_LINE_SIZE];
    size_t length =
        log_format_line(line, sizeof line, &now, log_sys_process_id(), hidden(text).c_str());
    log_sys_write(line, length);
}

void log_hide(const char* secret)
{
    if (!*secret)
        return;
    std::lock_guard<std::mutex> hold(secrets_mutex);
    for (const std::string& kept : secrets)
        if (kept == secret)
            return;
    secrets[secrets_next] = secret;
    secrets_next = (secrets_next + 1) % LOG_SECRETS;
}

void log_close(void)
{
    log_sys_close();
}
