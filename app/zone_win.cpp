// The Zone.Identifier stream of an opened file.
#include "app/zone.h"

#include "base/log.h"
#include "base/utf8.h"

#include <windows.h>

#include <string>

int zone_of_file(const char* path)
{
    std::wstring stream = utf8_widen(path) + L":Zone.Identifier";
    HANDLE file = CreateFileW(stream.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    char text[ZONE_STREAM_MAX + 1];
    DWORD length = 0;
    BOOL read = ReadFile(file, text, sizeof text, &length, nullptr);
    CloseHandle(file);
    int zone = read && length <= ZONE_STREAM_MAX ? zone_of_identifier(text, length) : -1;
    if (zone < 0) {
        log_line("zone: the Zone.Identifier of %s is unreadable, larger than %d bytes or names "
                 "no zone: treated as from the Internet", path, ZONE_STREAM_MAX);
        return 3;
    }
    return zone;
}
