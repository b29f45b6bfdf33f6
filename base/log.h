// The launch log: one line an event, appended to a file that an
// administrator reads when a launch fails. Each line begins with the local
// time to the millisecond and the process id:
//   2026-12-08 23:05:40.123 [4242] GET http://apps.example/a.jar
// Plain text in UTF-8, lines ended by CR LF. The log is a
// witness only: a log that cannot be opened or written changes nothing
// else, and no function here reports a failure. Callers never log a proxy
// logon token, a URL's user or password (url_strip_credentials) or a body.
#pragma once

#include <cstddef>

enum {
    LOG_LINE_SIZE = 4096,            // one whole line, CR LF and NUL included
    LOG_TURN_OVER_SIZE = 1 << 20,    // a log over this as a launch starts is turned over
    LOG_PATH_SIZE = 272,
    LOG_SECRETS = 16,
    LOG_SECRET_SIZE = 272,
};

struct LogTime {
    int year, month, day, hour, minute, second, millisecond;
};

// One line into out (size bytes): the time, the process id in brackets and
// text, then CR LF and a NUL. A control character of text becomes a blank,
// so no text can end a line and forge the next; text that does not fit is
// cut, and the line still ends with CR LF. Returns the line's length
// without its NUL; 0 when size is below 3.
size_t log_format_line(char* out, size_t size, const LogTime* time, unsigned long process_id,
                       const char* text);

// Opens the log at path for appending, shared for reading and writing with
// other launches. A log over LOG_TURN_OVER_SIZE first becomes path ".1",
// replacing an older one. Makes no folder. Call before any other thread
// logs; a log already open stays.
void log_open(const char* path);

// Appends one line, printf-style, in one write, so launches that log at
// once each leave whole lines. Nothing when no log is open.
void log_line(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// From now on every line shows "***" in place of secret: a URL's user and
// password that an earlier build's folder name carries, say. Empty secrets
// are ignored. Should LOG_SECRETS be kept already, or secret not fit
// LOG_SECRET_SIZE, no later line is written at all: none could be hidden
// for sure.
void log_hide(const char* secret);

// Closes the log; log_line then writes nothing until the next log_open.
void log_close(void);
