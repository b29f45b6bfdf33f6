// The root's folders' owner and access list through the security calls.
#include "install/root_access.h"

#include "base/paths.h"
#include "base/utf8.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>

namespace {

// The root's folders, outermost first: whoever can change the outer one
// can move the inner one away and put their own in its place.
const char* const root_folders[] = {"C:\\quorvel\\", install_root};

std::string sid_text(PSID sid)
{
    LPSTR text = nullptr;
    if (!sid || !ConvertSidToStringSidA(sid, &text))
        return "";
    std::string copy = text;
    LocalFree(text);
    return copy;
}

std::string user_sid()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return "";
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    bool read = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) != 0;
    CloseHandle(token);
    return read ? sid_text(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) : "";
}

// The descriptor the folders get, owned; null when it cannot be made.
PSECURITY_DESCRIPTOR own_descriptor(const std::string& user)
{
    char text[512];
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (user.empty() || !root_access_descriptor(user.c_str(), text, sizeof text) ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorA(text, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return nullptr;
    return descriptor;
}

std::vector<RootAce> aces_of(PACL dacl)
{
    std::vector<RootAce> aces;
    for (DWORD i = 0; dacl && i < dacl->AceCount; i++) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&header)))
            continue;
        // Only the plain allow and deny entries name a trustee by the same layout.
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
            auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
            aces.push_back({header->AceType == ACCESS_ALLOWED_ACE_TYPE,
                            sid_text(&ace->SidStart), ace->Mask});
        } else {
            // An entry of another kind may grant anything: count it as open.
            aces.push_back({true, "", ~0ul});
        }
    }
    return aces;
}

// One folder of the root, there already: kept, given the list or refused.
bool settle_folder(const char* folder, const std::string& user, PSECURITY_DESCRIPTOR own,
                   RootAccess* access)
{
    std::wstring wide = utf8_widen(folder);
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR found = nullptr;
    DWORD read = GetNamedSecurityInfoW(wide.c_str(), SE_FILE_OBJECT,
                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       &owner, nullptr, &dacl, nullptr, &found);
    if (read != ERROR_SUCCESS) {
        access->said.push_back("install root: the access list of " + std::string(folder) +
                               " cannot be read (error " + std::to_string(read) + ")");
        return false;
    }
    std::string owner_text = sid_text(owner);
    bool open = root_access_open_to_others(dacl != nullptr, aces_of(dacl), user.c_str());
    LocalFree(found);
    RootVerdict verdict = root_access_verdict(owner_text.c_str(), user.c_str(), open);
    if (verdict == ROOT_KEEP)
        return true;
    if (verdict == ROOT_REFUSED) {
        access->said.push_back("install root: " + std::string(folder) + ", owned by " +
                               owner_text + (open ? ", can be changed by other users" : "") +
                               ": not used");
        return false;
    }
    BOOL present = FALSE, defaulted = FALSE;
    PACL list = nullptr;
    DWORD set = GetSecurityDescriptorDacl(own, &present, &list, &defaulted)
                    ? SetNamedSecurityInfoW(&wide[0], SE_FILE_OBJECT,
                                            DACL_SECURITY_INFORMATION |
                                                PROTECTED_DACL_SECURITY_INFORMATION,
                                            nullptr, nullptr, list, nullptr)
                    : GetLastError();
    access->said.push_back("install root: " + std::string(folder) +
                           " could be changed by other users: " +
                           (set == ERROR_SUCCESS ? "now the user's alone"
                                                 : "its list not set (error " +
                                                       std::to_string(set) + ")"));
    return set == ERROR_SUCCESS;
}

} // namespace

RootAccess root_access_prepare(void)
{
    RootAccess access = {true, {}};
    std::string user = user_sid();
    PSECURITY_DESCRIPTOR own = own_descriptor(user);
    if (!own) {
        access.said.push_back("install root: the user's access list cannot be made (error " +
                              std::to_string(GetLastError()) + ")");
        access.usable = false;
        return access;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, own, FALSE};
    for (const char* folder : root_folders) {
        std::wstring wide = utf8_widen(folder);
        if (CreateDirectoryW(wide.c_str(), &attributes)) {
            access.said.push_back("install root: " + std::string(folder) +
                                  " made, the user's alone");
            continue;
        }
        // A folder that cannot be made is no one else's either: the launch
        // goes on and meets the error where it writes.
        DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) {
            access.said.push_back("install root: " + std::string(folder) +
                                  " not made (error " + std::to_string(error) + ")");
            continue;
        }
        if (!settle_folder(folder, user, own, &access)) {
            access.usable = false;
            break;
        }
    }
    LocalFree(own);
    return access;
}
