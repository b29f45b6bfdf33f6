// The fixture of the end-to-end tests of Launcher.exe under Wine: each test
// starts from an empty C:\quorvel, no .nlp or link registration, no trusted
// site and no administrator's list of sites, with a watcher that records
// and dismisses every message box, and helpers to run the program, read
// the registry and place the Java stand-in.
#pragma once

#include "base/utf8.h"
#include "tests/support/tempdir.h"
#include "tests/win/dialog_watcher.h"
#include "tests/win/harness.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>
#include <wincrypt.h>

#include <cstring>
#include <string>
#include <vector>

inline const DWORD RUN_TIMEOUT_MS = 60000;
inline const char INSTALLED[] = "C:\\quorvel\\launcher\\Launcher.exe";
inline const char JAVA[] = "C:\\quorvel\\launcher\\java\\bin\\java.exe";
inline const char JAVA_STARTS[] = "C:\\quorvel\\launcher\\java\\bin\\java-starts.txt";
inline const std::string LAUNCH_LOG = "C:\\quorvel\\launcher\\launcher.log";

// The end of the launch log: what a launch that did not end was doing.
inline std::string launch_log_tail()
{
    std::string text = read_file(LAUNCH_LOG);
    return text.size() > 3000 ? text.substr(text.size() - 3000) : text;
}

inline const DialogRecord INSTALLED_NOTICE = {"Install", "Quorvel launcher installed", "information"};

inline DialogRecord error_box(const std::string& text)
{
    return {"Error", text, "error"};
}

// Where .nlp can be registered: the per-user classes, where the launcher
// writes, and HKEY_CLASSES_ROOT, the view the shell's association query
// reads. Wine 8 does not merge the per-user classes into that view: there it
// is the machine's classes alone.
inline const char USER_CLASSES[] = "Software\\Classes\\";
inline const char UNINSTALL_KEY[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuorvelLauncher";

struct RegistryValue {
    bool key_found;
    bool found;
    DWORD type;
    std::string data; // a text without its terminator
    DWORD number;     // a REG_DWORD's value
};

inline RegistryValue read_value(HKEY root, const std::string& key_name, const char* name = "")
{
    RegistryValue value = {false, false, 0, "", 0};
    HKEY key;
    if (RegOpenKeyExA(root, key_name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    value.key_found = true;
    char data[1024];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS) {
        value.found = true;
        value.data.assign(data, size);
        if (value.type == REG_DWORD && size == sizeof value.number)
            memcpy(&value.number, data, sizeof value.number);
        // The stored count may or may not include a terminator; the text
        // itself must be exact.
        else if (!value.data.empty() && value.data.back() == '\0')
            value.data.pop_back();
    }
    RegCloseKey(key);
    return value;
}

inline RegistryValue user_class(const std::string& key_name)
{
    return read_value(HKEY_CURRENT_USER, USER_CLASSES + key_name);
}

inline RegistryValue uninstall_value(const char* name)
{
    return read_value(HKEY_CURRENT_USER, UNINSTALL_KEY, name);
}

inline void write_default_value(HKEY root, const std::string& key_name, const std::string& text)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(root, key_name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

inline bool file_exists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The desktop's "Cameras" shortcut.
inline std::string cameras_shortcut()
{
    char desktop[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop);
    return std::string(desktop) + "\\Cameras.lnk";
}

// A folder the shell knows (FOLDERID_Desktop, FOLDERID_Programs), UTF-8.
inline std::string known_folder(REFKNOWNFOLDERID id)
{
    PWSTR folder = nullptr;
    std::string path;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &folder)))
        path = utf8_narrow(folder);
    CoTaskMemFree(folder);
    return path;
}

struct Shortcut {
    bool loaded;
    std::string target, arguments, folder, description, icon; // UTF-8
    int icon_index, show;
};

// The shortcut at path (UTF-8) as the shell's link object reads it back.
inline Shortcut read_shortcut(const std::string& path)
{
    Shortcut shortcut = {false, "", "", "", "", "", -1, -1};
    CoInitialize(nullptr);
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t text[5][1024] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IShellLinkW, reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(utf8_widen(path.c_str()).c_str(), STGM_READ))) {
        shortcut.loaded = SUCCEEDED(link->GetPath(text[0], 1024, nullptr, 0)) &&
                          SUCCEEDED(link->GetArguments(text[1], 1024)) &&
                          SUCCEEDED(link->GetWorkingDirectory(text[2], 1024)) &&
                          SUCCEEDED(link->GetDescription(text[3], 1024)) &&
                          SUCCEEDED(link->GetIconLocation(text[4], 1024,
                                                          &shortcut.icon_index)) &&
                          SUCCEEDED(link->GetShowCmd(&shortcut.show));
        shortcut.target = utf8_narrow(text[0]);
        shortcut.arguments = utf8_narrow(text[1]);
        shortcut.folder = utf8_narrow(text[2]);
        shortcut.description = utf8_narrow(text[3]);
        shortcut.icon = utf8_narrow(text[4]);
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    CoUninitialize();
    return shortcut;
}

struct ProcessEnd {
    bool found;
    DWORD exit_code;
};

// Waits for the running process named name (if any) to end.
inline ProcessEnd wait_for_process_named(const char* name)
{
    ProcessEnd end = {false, 0};
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, name) != 0)
            continue;
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                     entry.th32ProcessID);
        if (!process)
            continue;
        end.found = WaitForSingleObject(process, RUN_TIMEOUT_MS) == WAIT_OBJECT_0;
        GetExitCodeProcess(process, &end.exit_code);
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return end;
}

// The renames and removals waiting for the next restart, as pairs of texts:
// a path, then its new path, empty for a removal.
inline std::vector<std::string> pending_file_operations()
{
    char data[16384];
    DWORD size = sizeof data;
    std::vector<std::string> texts;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                     "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, data,
                     &size) != ERROR_SUCCESS)
        return texts;
    // Empty texts belong to the list: only the final terminator ends it.
    for (DWORD at = 0; at + 1 < size; at += static_cast<DWORD>(strlen(data + at)) + 1)
        texts.emplace_back(data + at);
    return texts;
}

// Makes the machine's root store trust the certificate in the PEM file at
// path, as an administrator's would. Wine 8 keeps a certificate added to
// its root store with CertAddEncodedCertificateToStore in the adding
// process only, so it goes where Windows keeps the store for every process:
// the registry, as a serialized certificate named by its SHA-1 hash.
inline bool trust_root(const std::string& path)
{
    std::string pem = read_file(path);
    BYTE der[8192];
    DWORD size = sizeof der;
    if (!CryptStringToBinaryA(pem.c_str(), 0, CRYPT_STRING_BASE64HEADER, der, &size, nullptr,
                              nullptr))
        return false;
    PCCERT_CONTEXT root = CertCreateCertificateContext(X509_ASN_ENCODING, der, size);
    BYTE hash[20];
    DWORD hash_size = sizeof hash;
    // The size is asked for first, then the element written.
    DWORD blob_size = 0;
    std::vector<BYTE> blob;
    bool made = root &&
                CertGetCertificateContextProperty(root, CERT_SHA1_HASH_PROP_ID, hash,
                                                  &hash_size) &&
                CertSerializeCertificateStoreElement(root, 0, nullptr, &blob_size);
    blob.resize(blob_size);
    made = made && CertSerializeCertificateStoreElement(root, 0, blob.data(), &blob_size);
    if (root)
        CertFreeCertificateContext(root);
    std::string key = "Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\";
    for (DWORD i = 0; i < hash_size; i++) {
        char digits[3];
        snprintf(digits, sizeof digits, "%02X", hash[i]);
        key += digits;
    }
    return made && RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Blob", REG_BINARY,
                                   blob.data(), blob_size) == ERROR_SUCCESS;
}

class LauncherE2E : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(harness_remove_tree("C:\\quorvel"));
        forget_installation();
        java_started_ = CreateEventA(nullptr, TRUE, FALSE, "quorvel-fake-java");
    }

    void TearDown() override
    {
        CloseHandle(java_started_);
        EXPECT_TRUE(harness_remove_tree("C:\\quorvel"));
        forget_installation();
    }

    void forget_installation()
    {
        for (const char* name : {".nlp", "nlp", "nlps"}) {
            RegDeleteTreeA(HKEY_CLASSES_ROOT, name);
            RegDeleteTreeA(HKEY_CURRENT_USER, (std::string(USER_CLASSES) + name).c_str());
        }
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quorvel");
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Policies\\Quorvel");
        RegDeleteTreeA(HKEY_CURRENT_USER, UNINSTALL_KEY);
        DeleteFileA(cameras_shortcut().c_str());
    }

    std::string built_launcher() const { return harness_program_folder() + "Launcher.exe"; }

    // Runs the launcher (the built one unless program is given) and expects
    // it to end with exit code 0 within the time-out.
    void run(const std::string& arguments, const std::string& program = "")
    {
        std::string line = "\"" + (program.empty() ? built_launcher() : program) + "\"";
        if (!arguments.empty())
            line += " " + arguments;
        RunResult result = harness_run(line, RUN_TIMEOUT_MS);
        ASSERT_TRUE(result.started) << line << " (error " << result.start_error << ")";
        ASSERT_TRUE(result.finished) << line << "\n" << launch_log_tail();
        EXPECT_EQ(result.exit_code, 0u) << line;
    }

    // Starts the launcher (the built one unless program is given) without
    // waiting; the caller ends it.
    PROCESS_INFORMATION start(const std::string& arguments, const std::string& program = "")
    {
        std::wstring line = utf8_widen(
            ("\"" + (program.empty() ? built_launcher() : program) + "\" " + arguments).c_str());
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        EXPECT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &process));
        CloseHandle(process.hThread);
        return process;
    }

    void install_copy()
    {
        harness_make_folders("C:\\quorvel\\launcher\\");
        ASSERT_TRUE(CopyFileA(built_launcher().c_str(), INSTALLED, FALSE));
    }

    void place_fake_java()
    {
        harness_make_folders("C:\\quorvel\\launcher\\java\\bin\\");
        ASSERT_TRUE(CopyFileA((harness_program_folder() + "fake_java.exe").c_str(), JAVA, FALSE));
    }

    std::string write_descriptor(const std::string& name, const std::string& text)
    {
        std::string path = dir_.file(name);
        write_file(path, text);
        return path;
    }

    bool wait_for_java() { return WaitForSingleObject(java_started_, RUN_TIMEOUT_MS) == WAIT_OBJECT_0; }

    // The command lines the Java stand-in recorded, in java\bin\ unless
    // record names another stand-in's record.
    std::vector<std::string> java_starts(const std::string& record = JAVA_STARTS)
    {
        std::vector<std::string> lines;
        std::string text = read_file(record);
        if (text == "<missing>")
            return lines;
        for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(text.substr(start, end - start));
        return lines;
    }

    TempDir dir_;
    DialogWatcher dialogs_;
    HANDLE java_started_ = nullptr;
};

// After a failed launch the window stays until the user closes it: waits
// for the run's boxes to reach count, then closes the window.
inline void close_main_window_after_box(DialogWatcher& dialogs, size_t count, PROCESS_INFORMATION process)
{
    ASSERT_TRUE(dialogs.wait_for(count, RUN_TIMEOUT_MS));
    HWND window = FindWindowA("Quorvel Launcher", "Quorvel Launcher");
    ASSERT_NE(window, nullptr);
    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, RUN_TIMEOUT_MS), WAIT_OBJECT_0);
    DWORD exit_code = 1;
    GetExitCodeProcess(process.hProcess, &exit_code);
    EXPECT_EQ(exit_code, 0u);
    CloseHandle(process.hProcess);
}
