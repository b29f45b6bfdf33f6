// The shell's link object (IShellLinkW saved through IPersistFile), the
// user's desktop and Start menu folders, and the record of the application
// shortcuts in the install root.
#include "install/shortcut.h"

#include "base/fileutil.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/utf8.h"

#include <windows.h>
#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdlib>

// Held around a change of the record, which every launch may rewrite.
static const char record_lock[] = "Local\\quorvel-shortcuts";
// A launch gives up on its shortcuts rather than wait longer.
static const DWORD RECORD_WAIT_MS = 10000;
// Room for a title's file name: SHORTCUT_TITLE_MAX characters of up to 4
// bytes, each "_" a device name may add, and the NUL.
enum { FILE_NAME_SIZE = 4 * SHORTCUT_TITLE_MAX + 2 };

// The place's folder as the shell knows it, made when it is missing.
static HRESULT place_folder(int place, std::wstring* out)
{
    PWSTR folder = nullptr;
    HRESULT result = SHGetKnownFolderPath(place == SHORTCUT_MENU ? FOLDERID_Programs
                                                                 : FOLDERID_Desktop,
                                          KF_FLAG_CREATE, nullptr, &folder);
    if (SUCCEEDED(result))
        *out = folder;
    CoTaskMemFree(folder);
    return result;
}

// "<place>\<file name>.lnk", or "<place>\<file name> (<number>).lnk" from
// number 2 on, within MAX_PATH characters.
static HRESULT link_path(int place, const char* name, std::wstring* out, int number = 1)
{
    char file_name[FILE_NAME_SIZE];
    if (!shortcut_file_name(name, file_name, sizeof file_name))
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    std::wstring folder;
    HRESULT result = place_folder(place, &folder);
    if (FAILED(result))
        return result;
    std::wstring numbered = number > 1 ? L" (" + std::to_wstring(number) + L")" : L"";
    *out = folder + L"\\" + utf8_widen(file_name) + numbered + L".lnk";
    return out->size() < MAX_PATH ? S_OK : HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
}

static HRESULT fill_link(IShellLinkW* link, const ShortcutLink* texts)
{
    HRESULT result = link->SetPath(utf8_widen(texts->target).c_str());
    if (SUCCEEDED(result))
        result = link->SetArguments(utf8_widen(texts->arguments).c_str());
    if (SUCCEEDED(result))
        result = link->SetWorkingDirectory(utf8_widen(texts->folder).c_str());
    if (SUCCEEDED(result))
        result = link->SetDescription(utf8_widen(texts->description).c_str());
    if (SUCCEEDED(result))
        result = link->SetIconLocation(utf8_widen(texts->icon).c_str(), 0);
    if (SUCCEEDED(result))
        result = link->SetShowCmd(SW_SHOWNORMAL);
    return result;
}

// Makes the shell's link object, fills it and saves it at path, replacing
// any file there. On a failure, step says which step failed.
static HRESULT save_link(const wchar_t* path, const ShortcutLink* texts, const char** step)
{
    IShellLinkW* link = nullptr;
    *step = "the shell's link object is unavailable";
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkW, reinterpret_cast<void**>(&link));
    if (FAILED(result))
        return result;
    *step = "its fields could not be set";
    result = fill_link(link, texts);
    IPersistFile* file = nullptr;
    if (SUCCEEDED(result)) {
        *step = "it could not be saved";
        result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    }
    if (SUCCEEDED(result))
        result = file->Save(path, TRUE);
    if (file)
        file->Release();
    link->Release();
    return result;
}

// COM for the calls of one function: a thread already in another
// apartment keeps it, and COM works there.
struct ComScope {
    ComScope() : result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComScope()
    {
        if (SUCCEEDED(result))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    HRESULT result;
};

// Saves the link at wide, a path found for name (result says whether one
// was) and logs it as who.
static bool save_at(const std::wstring& wide, HRESULT result, const char* name,
                    const ShortcutLink* link, const char* who, std::string* path)
{
    ComScope com;
    const char* step = "its folder is unknown or the path too long";
    // The log names the shortcut's file once its folder is known.
    std::string shown = "the " + std::string(name) + " shortcut";
    if (SUCCEEDED(result)) {
        shown = utf8_narrow(wide.c_str());
        result = save_link(wide.c_str(), link, &step);
    }
    if (FAILED(result)) {
        log_line("%s: %s not made: %s (HRESULT 0x%08lX)", who, shown.c_str(), step,
                 static_cast<unsigned long>(result));
        return false;
    }
    log_line("%s: %s made", who, shown.c_str());
    *path = shown;
    return true;
}

bool shortcut_save(int place, const char* name, const ShortcutLink* link, const char* who,
                   std::string* path)
{
    std::wstring wide;
    HRESULT result = link_path(place, name, &wide);
    return save_at(wide, result, name, link, who, path);
}

// Windows compares paths without regard to letter case.
static bool same_path(const std::string& a, const std::string& b)
{
    return CompareStringOrdinal(utf8_widen(a.c_str()).c_str(), -1,
                                utf8_widen(b.c_str()).c_str(), -1, TRUE) == CSTR_EQUAL;
}

static std::vector<ShortcutEntry> read_record()
{
    int length = 0;
    char* text = read_whole_file(shortcut_record, &length);
    if (!text)
        return {};
    std::vector<ShortcutEntry> entries = shortcut_record_parse(text);
    free(text);
    return entries;
}

// Replaces the record whole, so a launch that is killed leaves the old one.
static void write_record(const std::vector<ShortcutEntry>& entries)
{
    std::string text;
    std::string staged = std::string(shortcut_record) + ".new";
    bool written = shortcut_record_format(entries, &text) &&
                   write_whole_file(staged.c_str(), text.data(), text.size()) ==
                       static_cast<int>(text.size()) &&
                   file_move(staged.c_str(), shortcut_record, MOVEFILE_REPLACE_EXISTING);
    if (!written) {
        file_delete(staged.c_str());
        log_line("shortcuts: %s not written (error %lu)", shortcut_record, GetLastError());
    }
}

static void remove_link(const std::string& path, const char* who)
{
    if (file_delete(path.c_str()))
        log_line("%s: %s removed", who, path.c_str());
    else if (GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND)
        log_line("%s: %s not removed (error %lu)", who, path.c_str(), GetLastError());
}

// True when the link at path starts the installed launcher on descriptor
// (the copy in the sites folder), as the launcher made it.
static bool link_opens(const std::string& path, const std::string& descriptor)
{
    ComScope com;
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = L"";
    wchar_t arguments[1024] = L"";
    bool read = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IShellLinkW, reinterpret_cast<void**>(&link))) &&
                SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                SUCCEEDED(file->Load(utf8_widen(path.c_str()).c_str(), STGM_READ)) &&
                SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
                SUCCEEDED(link->GetArguments(arguments, 1024));
    if (file)
        file->Release();
    if (link)
        link->Release();
    std::string given = utf8_narrow(arguments);
    return read && same_path(utf8_narrow(target), installed_launcher) && given.size() > 2 &&
           given.front() == '"' && given.back() == '"' &&
           same_path(given.substr(1, given.size() - 2), descriptor);
}

static bool named_by(const std::vector<ShortcutEntry>& entries, const std::string& link)
{
    for (const ShortcutEntry& entry : entries) {
        for (const std::string& named : entry.links) {
            if (same_path(named, link))
                return true;
        }
    }
    return false;
}

// A link of the record that still starts the application's copy: the
// launcher's own, which it may replace or remove. Anything else at its
// path (the user's file of the same name) is not the launcher's to touch.
static bool own_link(const ShortcutEntry* entry, const std::string& path)
{
    return entry && named_by({*entry}, path) && link_opens(path, entry->descriptor);
}

// Saves wanted's link at place under the first name of "<title>",
// "<title> (2)", ... "<title> (SHORTCUT_NAMES_MAX)" that is free or old's
// own link; none when every one is taken by another file (logged).
static bool save_own(int place, const ShortcutEntry& wanted, const ShortcutEntry* old,
                     const ShortcutLink* link, std::string* path)
{
    for (int number = 1; number <= SHORTCUT_NAMES_MAX; number++) {
        std::wstring wide;
        HRESULT result = link_path(place, wanted.title.c_str(), &wide, number);
        if (FAILED(result))
            return save_at(wide, result, wanted.title.c_str(), link, "shortcuts", path);
        std::string taken = utf8_narrow(wide.c_str());
        bool free = GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES &&
                    GetLastError() == ERROR_FILE_NOT_FOUND;
        if (free || own_link(old, taken))
            return save_at(wide, result, wanted.title.c_str(), link, "shortcuts", path);
        log_line("shortcuts: %s is not the launcher's link of %s: left as it is", taken.c_str(),
                 wanted.descriptor.c_str());
    }
    log_line("shortcuts: no free name for the %s shortcut of %s: none made",
             wanted.title.c_str(), wanted.descriptor.c_str());
    return false;
}

// The record's lines in place of old: the links made for wanted, and old's
// links that are not wanted any more removed when they are still its own.
static void renew_entry(std::vector<ShortcutEntry>* entries, const ShortcutEntry* old,
                        ShortcutEntry wanted)
{
    std::string arguments = "\"" + wanted.descriptor + "\"";
    ShortcutLink link = {installed_launcher, arguments.c_str(), install_root,
                         wanted.icon.c_str(), wanted.title.c_str()};
    for (int place : {SHORTCUT_DESKTOP, SHORTCUT_MENU}) {
        std::string path;
        if ((wanted.places & place) && save_own(place, wanted, old, &link, &path))
            wanted.links.push_back(path);
    }
    std::vector<ShortcutEntry> kept;
    for (const ShortcutEntry& entry : *entries) {
        if (&entry != old)
            kept.push_back(entry);
    }
    for (const std::string& made : old ? old->links : std::vector<std::string>()) {
        if (named_by({wanted}, made) || named_by(kept, made))
            continue;
        if (own_link(old, made))
            remove_link(made, "shortcuts");
        else
            log_line("shortcuts: %s no longer starts %s: left as it is", made.c_str(),
                     old->descriptor.c_str());
    }
    if (wanted.places)
        kept.push_back(wanted);
    *entries = kept;
}

void shortcut_renew(const char* descriptor, const char* title, const char* icon, int places)
{
    ShortcutEntry wanted = {descriptor, title ? title : "", icon, title ? places : 0, {}};
    HANDLE lock = CreateMutexA(nullptr, FALSE, record_lock);
    DWORD waited = lock ? WaitForSingleObject(lock, RECORD_WAIT_MS) : WAIT_FAILED;
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        log_line("shortcuts: %s not renewed: another launch holds the record", descriptor);
        if (lock)
            CloseHandle(lock);
        return;
    }
    std::vector<ShortcutEntry> entries = read_record();
    const ShortcutEntry* old = nullptr;
    for (const ShortcutEntry& entry : entries)
        old = !old && same_path(entry.descriptor, descriptor) ? &entry : old;
    bool unchanged = old ? old->title == wanted.title && old->icon == wanted.icon &&
                               old->places == wanted.places
                         : wanted.places == 0;
    if (!unchanged) {
        renew_entry(&entries, old, wanted);
        write_record(entries);
    }
    ReleaseMutex(lock);
    CloseHandle(lock);
}

void shortcut_remove_all(void)
{
    for (const ShortcutEntry& entry : read_record()) {
        for (const std::string& link : entry.links) {
            if (own_link(&entry, link))
                remove_link(link, "uninstall");
            else
                log_line("uninstall: %s does not start %s: left as it is", link.c_str(),
                         entry.descriptor.c_str());
        }
    }
    // The installation made the Cameras shortcut over any other of that name.
    std::wstring cameras;
    if (SUCCEEDED(link_path(SHORTCUT_DESKTOP, "Cameras", &cameras)))
        remove_link(utf8_narrow(cameras.c_str()), "uninstall");
}
