// Reads back the launch log: each line's process id and text, checking the
// form every line must have.
#pragma once

#include <cctype>
#include <string>
#include <vector>

struct LogLine {
    unsigned long process;  // 0 for a line that is not whole or not stamped
    std::string text;       // after the time and the process id
};

// The lines of log. A whole line is "2026-12-08 23:05:40.007 [4242] text"
// followed by CR LF; any other line comes back with process 0 and the
// line's bytes as its text.
inline std::vector<LogLine> log_lines(const std::string& log)
{
    const std::string form = "dddd-dd-dd dd:dd:dd.ddd [";
    std::vector<LogLine> lines;
    for (size_t start = 0, end; start < log.size(); start = end + 2) {
        end = log.find("\r\n", start);
        std::string line = log.substr(start, end - start);
        size_t close = line.find("] ", form.size());
        bool stamped = end != std::string::npos && close != std::string::npos &&
                       close > form.size();
        for (size_t i = 0; stamped && i < close; i++) {
            char want = i < form.size() ? form[i] : 'd';
            stamped = want == 'd' ? isdigit(static_cast<unsigned char>(line[i])) != 0
                                  : line[i] == want;
        }
        if (stamped)
            lines.push_back({std::stoul(line.substr(form.size())), line.substr(close + 2)});
        else
            lines.push_back({0, line});
        if (end == std::string::npos)
            break;
    }
    return lines;
}
