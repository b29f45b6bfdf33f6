// Why the latest network operation of this thread failed, for the launch
// log: a cause in words ("connection refused") and the system's code (0
// when the cause has none). The layer where a failure starts sets it (the
// socket layer, TLS, the HTTP client); a caller clears it before an
// operation and reads it after a failure. Per thread, like the operations.
#pragma once

#include <cstddef>

enum { CAUSE_TEXT_SIZE = 192 };

// Sets the cause; text is cut to CAUSE_TEXT_SIZE - 1 characters.
void cause_set(const char* text, long code);

// Sets the cause only when none is set yet: the first failure is the cause,
// a later one (a close after a failed handshake, say) is its consequence.
void cause_set_first(const char* text, long code);

void cause_clear(void);

// The cause in words, "" when none is set.
const char* cause_text(void);

// The cause into out: its words and, when it has a code, the code in
// parentheses, decimal for the codes of the socket layer (up to 65535),
// hexadecimal for larger and negative ones, as Windows writes status codes:
// "connection refused (10061)", "TLS handshake failed (0x80090326)".
// "unknown cause" when none is set. Always NUL-terminated when size > 0.
void cause_describe(char* out, size_t size);
