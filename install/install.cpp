#include "install/install.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

static const char shortcut_template[] =
    "Set Shell = CreateObject(\"WScript.Shell\")\r\n"
    "DesktopPath = Shell.SpecialFolders(\"Desktop\")\r\n"
    "Set link = Shell.CreateShortcut(DesktopPath & \"\\%s.lnk\")\r\n"
    "link.Description = \"%s\"\r\n"
    "link.IconLocation = \"%s,0\"\r\n"
    "link.TargetPath = \"%s\"\r\n"
    "link.WindowStyle = 3\r\n"
    "link.WorkingDirectory = \"%s\"\r\n"
    "link.Save\r\n";

int install_shortcut_script(char* out, size_t size, const char* name, const char* description,
                            const char* icon, const char* target, const char* folder)
{
    int length = snprintf(out, size, shortcut_template, name, description, icon, target, folder);
    if (length < 0 || static_cast<size_t>(length) >= size) {
        if (size > 0)
            out[0] = '\0';
        return -1;
    }
    return length;
}

bool install_command_names(const char* command, const char* program)
{
    while (*command == ' ')
        command++;
    const char* end;
    if (*command == '"') {
        command++;
        end = strchr(command, '"');
        if (!end)
            return false;
    } else {
        end = strchr(command, ' ');
        if (!end)
            end = command + strlen(command);
    }
    size_t length = strlen(program);
    return static_cast<size_t>(end - command) == length &&
           strncasecmp(command, program, length) == 0;
}
