// The launcher's texts are UTF-8: the command line is converted to it, a
// descriptor is UTF-8 JSON, and the manifest makes the program's ...A calls
// take UTF-8 (Windows 10 1903 and later). Where the process's code page is
// another one (older Windows), the calls that take names or command lines
// convert with utf8_widen and call the wide functions instead.
#pragma once

#include <cstddef>
#include <string>

// 1 when text is well-formed UTF-8: no stray or missing continuation byte,
// no overlong form, no surrogate and nothing above U+10FFFF.
int utf8_valid(const char* text);

// The count of characters (code points) of well-formed text.
size_t utf8_length(const char* text);

// Earlier launchers read a descriptor in the system code page, so one that
// is no UTF-8 was written in it: a heap copy of text converted from that
// code page (on Windows the system locale's ANSI code page, whatever the
// process's own is; elsewhere text as it stands), or null when memory runs
// out or the text cannot be converted. The caller frees it.
char* utf8_from_system_code_page(const char* text);

#ifdef _WIN32
// text in UTF-16. Ill-formed bytes become U+FFFD, as the ...A calls of a
// UTF-8 process take them, so the wide and the ...A calls name one file.
std::wstring utf8_widen(const char* text);

// text in UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf8_narrow(const wchar_t* text);
#endif
