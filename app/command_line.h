// The launcher's command line: options first ("/S" or "--silent",
// "--no-cameras-shortcut", "--uninstall" or "/uninstall", in any letter
// case, any order, repeated), then the descriptor path; anything after the
// descriptor path is ignored.
#pragma once

// Each argument is converted into a buffer of this many bytes before it is
// compared; one that does not fit matches no option.
enum { COMMAND_LINE_OPTION_SIZE = 64 };

struct CommandLineOptions {
    bool silent;
    bool no_shortcut;
    bool uninstall;
    // The waited-for process of a temporary uninstall copy; 0 when none.
    unsigned long long finish_uninstall;
    int descriptor_index; // first argument that is no option; the count when none
};

// args[0] is the program itself. A null entry stands for an argument that did
// not fit the option buffer (it is no option). Returns the scan's result.
CommandLineOptions command_line_scan(const char* const* args, int count);
