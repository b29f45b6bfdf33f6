#include "install/install.h"

#include <cstring>
#include <strings.h>

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
