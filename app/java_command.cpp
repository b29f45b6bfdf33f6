#include "app/java_command.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool letter(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80;
}

bool digit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// Identifiers separated by single dots, from text up to end.
bool dotted_names(const char* text, const char* end)
{
    bool at_start = true;
    for (const char* c = text; c < end; c++) {
        unsigned char byte = static_cast<unsigned char>(*c);
        if (*c == '.') {
            if (at_start)
                return false;
            at_start = true;
        } else if (letter(byte) || (!at_start && digit(byte))) {
            at_start = false;
        } else {
            return false;
        }
    }
    return !at_start;
}

bool starts_with(const std::string& text, const char* prefix)
{
    return text.compare(0, strlen(prefix), prefix) == 0;
}

// A size: digits, then at most one of k, m, g, t in either case.
bool size_value(const std::string& text)
{
    size_t digits = 0;
    while (digits < text.size() && digit(static_cast<unsigned char>(text[digits])))
        digits++;
    return digits > 0 && (digits == text.size() ||
                          (digits + 1 == text.size() && strchr("kKmMgGtT", text[digits])));
}

// A number for a -XX: flag: digits with at most one ".", then a size unit
// or "%": nothing that can name a file or a command.
bool flag_number(const std::string& text)
{
    size_t end = text.size();
    if (end > 0 && strchr("kKmMgGtT%", text[end - 1]))
        end--;
    int dots = 0;
    size_t digits = 0;
    for (size_t i = 0; i < end; i++) {
        if (text[i] == '.')
            dots++;
        else if (digit(static_cast<unsigned char>(text[i])))
            digits++;
        else
            return false;
    }
    return digits > 0 && dots <= 1;
}

// Module and package names for the --add-* options: letters, digits and
// "._-/=,". No path separator a drive, share or file could hide behind.
bool module_value(const std::string& text)
{
    if (text.empty())
        return false;
    for (unsigned char c : text) {
        if (!letter(c) && !digit(c) && !strchr("._-/=,", c))
            return false;
    }
    return true;
}

// Properties the runtime reads to load code, native libraries, security
// or logging set-up, or key stores: each can bring in what lies outside
// the application's files. A name ending in "." stands for all below it.
const char* const loading_properties[] = {
    "java.ext.dirs", "java.endorsed.dirs", "java.library.path", "java.class.path",
    "java.system.class.loader", "java.security.manager", "java.security.policy",
    "java.security.properties", "java.security.auth.login.config", "java.home",
    "java.util.logging.config.file", "java.util.logging.config.class", "java.rmi.server.codebase",
    "jdk.module.path", "jdk.module.upgrade.path", "jdk.module.main", "sun.boot.class.path",
    "sun.boot.library.path", "javax.net.ssl.", "jdk.tls.", "jdk.internal.", "com.sun.management.",
};

bool property_allowed(const std::string& option)
{
    std::string name = option.substr(2, option.find('=') == std::string::npos
                                            ? std::string::npos
                                            : option.find('=') - 2);
    if (name.empty())
        return false;
    // A value that names a path or a host can lead a library to load code
    // from it (a temporary folder on a share, a library path, a home).
    size_t equals = option.find('=');
    if (equals != std::string::npos &&
        option.find_first_of("\\/:@", equals + 1) != std::string::npos)
        return false;
    for (const char* loading : loading_properties) {
        size_t length = strlen(loading);
        bool family = loading[length - 1] == '.';
        if (family ? starts_with(name, loading) : name == loading)
            return false;
    }
    return true;
}

bool assertion_option(const std::string& option)
{
    static const char* const names[] = {"-ea", "-da", "-esa", "-dsa", "-enableassertions",
                                        "-disableassertions", "-enablesystemassertions",
                                        "-disablesystemassertions"};
    for (const char* name : names) {
        if (option == name)
            return true;
        size_t length = strlen(name);
        if (option.size() > length + 1 && starts_with(option, name) && option[length] == ':') {
            std::string target = option.substr(length + 1);
            // "pkg..." names a package and those below it, "..." the unnamed one.
            if (target.size() >= 3 && target.compare(target.size() - 3, 3, "...") == 0)
                target.erase(target.size() - 3);
            return target.empty() || dotted_names(target.data(), target.data() + target.size());
        }
    }
    return false;
}

bool flag_option(const std::string& option)
{
    std::string flag = option.substr(strlen("-XX:"));
    if (!flag.empty() && (flag[0] == '+' || flag[0] == '-'))
        return dotted_names(flag.data() + 1, flag.data() + flag.size()) &&
               flag.find('.') == std::string::npos;
    size_t equals = flag.find('=');
    return equals != std::string::npos && equals > 0 &&
           dotted_names(flag.data(), flag.data() + equals) &&
           flag.find('.') > equals && flag_number(flag.substr(equals + 1));
}

const char* const module_options[] = {"--add-opens", "--add-exports", "--add-modules",
                                      "--enable-native-access"};

// The --add-* option that option is, without a value; null for another.
const char* module_option(const std::string& option)
{
    for (const char* name : module_options) {
        if (option == name || (starts_with(option, name) && option[strlen(name)] == '='))
            return name;
    }
    return nullptr;
}

// One option standing alone (an --add-* option with its value after "=").
bool option_allowed(const std::string& option)
{
    if (option.find('"') != std::string::npos)
        return false;
    if (starts_with(option, "-D"))
        return property_allowed(option);
    for (const char* size_option : {"-Xmx", "-Xms", "-Xss", "-Xmn"}) {
        if (starts_with(option, size_option))
            return size_value(option.substr(strlen(size_option)));
    }
    if (starts_with(option, "-XX:"))
        return flag_option(option);
    if (const char* name = module_option(option))
        return option.size() > strlen(name) + 1 && module_value(option.substr(strlen(name) + 1));
    return option == "-server" || option == "-client" || assertion_option(option);
}

// vmargs split by the C runtime's rules; false when it ends inside quotes.
bool split(const char* text, std::vector<std::string>* out)
{
    bool quoted = false;
    bool in_argument = false;
    std::string argument;
    for (const char* c = text;; c++) {
        if (*c == '\0' || (!quoted && (*c == ' ' || *c == '\t'))) {
            if (in_argument)
                out->push_back(argument);
            argument.clear();
            in_argument = false;
            if (*c == '\0')
                return !quoted;
            continue;
        }
        in_argument = true;
        size_t backslashes = 0;
        while (c[backslashes] == '\\')
            backslashes++;
        if (c[backslashes] == '"') {
            argument.append(backslashes / 2, '\\');
            if (backslashes % 2)
                argument += '"';
            else
                quoted = !quoted;
            c += backslashes;
        } else if (backslashes) {
            argument.append(backslashes, '\\');
            c += backslashes - 1;
        } else {
            argument += *c;
        }
    }
}

} // namespace

int java_command_class_valid(const char* text)
{
    const char* end = text + strlen(text);
    const char* slash = strchr(text, '/');
    if (!slash)
        return dotted_names(text, end);
    return dotted_names(text, slash) && dotted_names(slash + 1, end);
}

int java_command_quote(const char* text, char* out, size_t size)
{
    std::string quoted;
    if (*text && !strpbrk(text, " \t\"")) {
        quoted = text;
    } else {
        quoted = "\"";
        for (const char* c = text;; c++) {
            size_t backslashes = 0;
            while (c[backslashes] == '\\')
                backslashes++;
            c += backslashes;
            if (*c == '\0') {
                quoted.append(backslashes * 2, '\\');
                break;
            }
            quoted.append(*c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
            quoted += *c;
        }
        quoted += '"';
    }
    if (quoted.size() >= size) {
        if (size > 0)
            out[0] = '\0';
        return 0;
    }
    memcpy(out, quoted.c_str(), quoted.size() + 1);
    return 1;
}

int java_command_check_vmargs(const char* vmargs, char* out, size_t size, char* refused,
                              size_t refused_size)
{
    std::vector<std::string> options;
    snprintf(refused, refused_size, "%s", "");
    if (size > 0)
        out[0] = '\0';
    if (!split(vmargs, &options)) {
        snprintf(refused, refused_size, "%s", vmargs);
        return 0;
    }
    std::string checked;
    for (size_t i = 0; i < options.size(); i++) {
        std::string option = options[i];
        // "--add-opens value": the value is the next option.
        bool separate = module_option(option) && option.find('=') == std::string::npos &&
                        i + 1 < options.size();
        std::string whole = separate ? option + "=" + options[i + 1] : option;
        if (!option_allowed(whole)) {
            snprintf(refused, refused_size, "%s", whole.c_str());
            return 0;
        }
        size_t pieces = separate ? 2 : 1;
        for (size_t piece = 0; piece < pieces; piece++) {
            // A piece longer than out could hold never fits it.
            std::vector<char> quoted(size + 1);
            if (!java_command_quote(options[i + piece].c_str(), quoted.data(), quoted.size()))
                return 0;
            checked += checked.empty() ? "" : " ";
            checked += quoted.data();
        }
        i += pieces - 1;
    }
    if (checked.size() >= size)
        return 0;
    memcpy(out, checked.c_str(), checked.size() + 1);
    return 1;
}
