#include "install/link_scheme.h"

#include "base/log.h"
#include "install/install.h"

#include <windows.h>
#include <shlwapi.h>

#include <cstring>
#include <string>

static std::string scheme_key(const char* scheme)
{
    return std::string("Software\\Classes\\") + scheme;
}

static std::string command_key(const char* scheme)
{
    return scheme_key(scheme) + "\\shell\\open\\command";
}

// What the shell runs for the scheme's links, in the merged view of the
// user's and the machine's classes.
static bool shell_opens_with(const char* scheme, const char* executable)
{
    char program[MAX_PATH];
    DWORD size = sizeof program;
    return AssocQueryStringA(0, ASSOCSTR_EXECUTABLE, scheme, nullptr, program, &size) == S_OK &&
           _stricmp(program, executable) == 0;
}

static bool set_text(const std::string& key_name, const char* name, const std::string& text)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG set = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

static bool register_scheme(const char* scheme, const char* executable)
{
    const std::string key = scheme_key(scheme);
    return set_text(key, "", link_scheme_description) && set_text(key, "URL Protocol", "") &&
           set_text(key + "\\DefaultIcon", "", std::string(executable) + ",0") &&
           set_text(command_key(scheme), "", "\"" + std::string(executable) + "\" \"%1\"");
}

void link_scheme_register(const char* executable)
{
    for (const char* scheme : link_schemes) {
        if (shell_opens_with(scheme, executable)) {
            log_line("install: %s:// links already open with %s", scheme, executable);
            continue;
        }
        bool registered = register_scheme(scheme, executable);
        log_line(registered ? "install: %s:// links open with %s"
                            : "install: %s:// links not registered for %s",
                 scheme, executable);
    }
}

static bool names(const char* scheme, const char* executable)
{
    char command[MAX_PATH];
    DWORD size = sizeof command;
    return RegGetValueA(HKEY_CURRENT_USER, command_key(scheme).c_str(), "", RRF_RT_REG_SZ,
                        nullptr, command, &size) == ERROR_SUCCESS &&
           install_command_names(command, executable);
}

bool link_scheme_names(const char* executable)
{
    for (const char* scheme : link_schemes) {
        if (names(scheme, executable))
            return true;
    }
    return false;
}

void link_scheme_remove(const char* executable)
{
    for (const char* scheme : link_schemes) {
        if (names(scheme, executable) &&
            RegDeleteTreeA(HKEY_CURRENT_USER, scheme_key(scheme).c_str()) == ERROR_SUCCESS)
            log_line("uninstall: the %s:// link registration removed", scheme);
    }
}
