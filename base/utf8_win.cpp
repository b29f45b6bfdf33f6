// Conversions through the kernel's code page functions.
#include "base/utf8.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

// The system locale's ANSI code page, which the manifest's UTF-8 does not
// change; the ANSI code page when it cannot be read.
static UINT system_code_page()
{
    DWORD page = 0;
    if (GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPWSTR>(&page), sizeof page / sizeof(wchar_t)) == 0 ||
        page == 0)
        return CP_ACP;
    return page;
}

static std::wstring widen(UINT page, const char* text)
{
    int size = MultiByteToWideChar(page, 0, text, -1, nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(page, 0, text, -1, &wide[0], size);
    wide.resize(static_cast<size_t>(size) - 1);
    return wide;
}

std::wstring utf8_widen(const char* text)
{
    return widen(CP_UTF8, text);
}

std::string utf8_narrow(const wchar_t* text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &narrow[0], size, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(size) - 1);
    return narrow;
}

char* utf8_from_system_code_page(const char* text)
{
    std::wstring wide = widen(system_code_page(), text);
    if (wide.empty() && *text)
        return nullptr;
    std::string narrow = utf8_narrow(wide.c_str());
    char* copy = static_cast<char*>(malloc(narrow.size() + 1));
    if (copy)
        memcpy(copy, narrow.c_str(), narrow.size() + 1);
    return copy;
}
