// Test helper: records how it was started. Usage:
//   record_args.exe OUTPUT EVENT [anything...]
// Writes its command line exactly as received (read in UTF-16, written in
// UTF-8) and whether it has a console window to OUTPUT (through a temporary
// file, so the file appears whole), then sets the named event so the test
// can wait for it.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    static char line[32 * 1024];
    if (!WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, line, sizeof line, nullptr,
                             nullptr))
        return 6;
    std::string temporary = std::string(argv[1]) + ".tmp";
    FILE* out = fopen(temporary.c_str(), "wb");
    if (!out)
        return 3;
    fprintf(out, "%s\n%s\n", line, GetConsoleWindow() ? "console" : "no console");
    fclose(out);
    if (!MoveFileExA(temporary.c_str(), argv[1], MOVEFILE_REPLACE_EXISTING))
        return 4;
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!event)
        return 5;
    SetEvent(event);
    CloseHandle(event);
    return 0;
}
