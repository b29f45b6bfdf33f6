// Test helper standing in for the Java runtime at
// C:\quorvel\launcher\java\bin\java.exe. Appends the command line it was
// started with, one line per start, to java-starts.txt beside itself, then
// sets the event "quorvel-fake-java" so a test can wait for the start.
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
    FILE* out = fopen(path, "ab");
    if (!out)
        return 4;
    fprintf(out, "%s\n", GetCommandLineA());
    fclose(out);
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, "quorvel-fake-java");
    if (event) {
        SetEvent(event);
        CloseHandle(event);
    }
    return 0;
}
