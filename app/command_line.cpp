#include "app/command_line.h"

#include "install/install.h"

#include <cstring>
#include <strings.h>

// The handle value after the finish option's "=": decimal digits only, not
// zero, and no more than fit; 0 when the argument is not that option.
static unsigned long long finish_uninstall_value(const char* arg)
{
    const size_t prefix = strlen(command_line_finish_uninstall);
    if (strncasecmp(arg, command_line_finish_uninstall, prefix) != 0 || !arg[prefix])
        return 0;
    unsigned long long value = 0;
    for (const char* digit = arg + prefix; *digit; digit++) {
        if (*digit < '0' || *digit > '9')
            return 0;
        unsigned next = static_cast<unsigned>(*digit - '0');
        if (value > (~0ULL - next) / 10)
            return 0;
        value = value * 10 + next;
    }
    return value;
}

CommandLineOptions command_line_scan(const char* const* args, int count)
{
    CommandLineOptions options = {false, false, false, 0, count};
    for (int i = 1; i < count; i++) {
        const char* arg = args[i];
        unsigned long long finish = arg ? finish_uninstall_value(arg) : 0;
        if (arg && (strcasecmp(arg, "/S") == 0 || strcasecmp(arg, "--silent") == 0)) {
            options.silent = true;
        } else if (arg && strcasecmp(arg, "--no-cameras-shortcut") == 0) {
            options.no_shortcut = true;
        } else if (arg && (strcasecmp(arg, "--uninstall") == 0 ||
                           strcasecmp(arg, "/uninstall") == 0)) {
            options.uninstall = true;
        } else if (finish) {
            options.finish_uninstall = finish;
        } else {
            options.descriptor_index = i;
            break;
        }
    }
    return options;
}
