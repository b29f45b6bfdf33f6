// The fixture of the end-to-end tests of Launcher.exe under Wine: each test
// starts from an empty C:\quorvel and no .nlp registration, with a watcher
// that records and dismisses every message box, and helpers to run the
// program, read the registry and place the Java stand-in.
#pragma once

#include "tests/support/tempdir.h"
#include "tests/win/dialog_watcher.h"
#include "tests/win/harness.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

inline const DWORD RUN_TIMEOUT_MS = 60000;
inline const char INSTALLED[] = "C:\\quorvel\\launcher\\Launcher.exe";
inline const char JAVA[] = "C:\\quorvel\\launcher\\java\\bin\\java.exe";
inline const char JAVA_STARTS[] = "C:\\quorvel\\launcher\\java\\bin\\java-starts.txt";

inline const DialogRecord INSTALLED_NOTICE = {"Install", "Quorvel launcher installed", "information"};

inline DialogRecord error_box(const std::string& text)
{
    return {"Error", text, "error"};
}

struct RegistryText {
    bool found;
    DWORD type;
    std::string data;
};

inline RegistryText read_default_value(const char* key_name)
{
    RegistryText value = {false, 0, ""};
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key_name, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    char data[1024];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, "", nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS) {
        value.found = true;
        value.data.assign(data, size);
        // The stored count may or may not include a terminator; the text
        // itself must be exact.
        if (!value.data.empty() && value.data.back() == '\0')
            value.data.pop_back();
    }
    RegCloseKey(key);
    return value;
}

inline void write_default_value(const char* key_name, const std::string& text)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, key_name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
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

class LauncherE2E : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(harness_remove_tree("C:\\quorvel"));
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ".nlp");
        java_started_ = CreateEventA(nullptr, TRUE, FALSE, "quorvel-fake-java");
    }

    void TearDown() override
    {
        CloseHandle(java_started_);
        EXPECT_TRUE(harness_remove_tree("C:\\quorvel"));
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ".nlp");
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
        ASSERT_TRUE(result.started) << line;
        ASSERT_TRUE(result.finished) << line;
        EXPECT_EQ(result.exit_code, 0u) << line;
    }

    // Starts the launcher (the built one unless program is given) without
    // waiting; the caller ends it.
    PROCESS_INFORMATION start(const std::string& arguments, const std::string& program = "")
    {
        std::string line =
            "\"" + (program.empty() ? built_launcher() : program) + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        EXPECT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
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

    std::vector<std::string> java_starts()
    {
        std::vector<std::string> lines;
        std::string text = read_file(JAVA_STARTS);
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
