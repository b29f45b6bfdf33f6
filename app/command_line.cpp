#include "app/command_line.h"

#include <strings.h>

CommandLineOptions command_line_scan(const char* const* args, int count)
{
    CommandLineOptions options = {false, false, count};
    for (int i = 1; i < count; i++) {
        const char* arg = args[i];
        if (arg && (strcasecmp(arg, "/S") == 0 || strcasecmp(arg, "--silent") == 0)) {
            options.silent = true;
        } else if (arg && strcasecmp(arg, "--no-cameras-shortcut") == 0) {
            options.no_shortcut = true;
        } else {
            options.descriptor_index = i;
            break;
        }
    }
    return options;
}
