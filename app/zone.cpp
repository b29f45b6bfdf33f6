#include "app/zone.h"

#include <string>

namespace {

std::string lower_trimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    size_t last = text.find_last_not_of(" \t\r");
    std::string trimmed = first == std::string::npos ? "" : text.substr(first, last - first + 1);
    for (char& c : trimmed)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return trimmed;
}

// The text as single bytes: a UTF-16LE text (by its byte-order mark) keeps
// the low byte of each unit, which is all an ASCII key and number need.
std::string bytes_of(const char* text, size_t length)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    if (length >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        std::string narrow;
        for (size_t i = 2; i + 1 < length; i += 2)
            narrow += bytes[i + 1] ? '?' : static_cast<char>(bytes[i]);
        return narrow;
    }
    if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return std::string(text + 3, length - 3);
    return std::string(text, length);
}

int decimal(const std::string& text)
{
    if (text.empty() || text.size() > 9)
        return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

int zone_of_identifier(const char* text, size_t length)
{
    std::string all = bytes_of(text, length);
    bool in_section = false;
    for (size_t start = 0; start <= all.size();) {
        size_t end = all.find('\n', start);
        if (end == std::string::npos)
            end = all.size();
        std::string line = lower_trimmed(all.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line[0] == '[') {
            in_section = line == "[zonetransfer]";
            continue;
        }
        size_t equals = line.find('=');
        if (in_section && equals != std::string::npos &&
            lower_trimmed(line.substr(0, equals)) == "zoneid")
            return decimal(lower_trimmed(line.substr(equals + 1)));
    }
    return -1;
}

int zone_is_remote(int zone)
{
    return zone >= 3;
}
