// Test helper standing in for the Java runtime at
// C:\quorvel\launcher\java\bin\java.exe. Appends the command line it was
// started with, read whole (UTF-16) and written in UTF-8, one line per
// start, to java-starts.txt beside itself, then sets the event
// "quorvel-fake-java" so a test can wait for the start.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return 2;
    char* slash = strrchr(path, '\\');
    if (!slash || static_cast<size_t>(slash - path) + sizeof "\\java-starts.txt" > sizeof path)
        return 3;
    strcpy(slash, "\\java-starts.txt");
    // One write on a handle that may only append: starts of launches that
    // run at once each add their line whole.
    HANDLE out = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return 4;
    char line[32 * 1024];
    int size = WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, line, sizeof line, nullptr,
                                   nullptr);
    // The count includes the NUL, whose place the line end takes.
    if (size > 0)
        line[size - 1] = '\n';
    DWORD written = 0;
    bool whole = size > 0 && size < static_cast<int>(sizeof line) &&
                 WriteFile(out, line, static_cast<DWORD>(size), &written, nullptr) &&
                 written == static_cast<DWORD>(size);
    CloseHandle(out);
    if (!whole)
        return 5;
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, "quorvel-fake-java");
    if (event) {
        SetEvent(event);
        CloseHandle(event);
    }
    return 0;
}
