// The real Launcher.exe under Wine, end to end: installation, options, the
// descriptor's messages, the window and the Java start. Each test starts
// from an empty C:\quorvel and no .nlp registration.
#include "tests/support/tempdir.h"
#include "tests/win/dialog_watcher.h"
#include "tests/win/harness.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

const DWORD RUN_TIMEOUT_MS = 60000;
const char INSTALLED[] = "C:\\quorvel\\launcher\\Launcher.exe";
const char JAVA[] = "C:\\quorvel\\launcher\\java\\bin\\java.exe";
const char JAVA_STARTS[] = "C:\\quorvel\\launcher\\java\\bin\\java-starts.txt";

const DialogRecord INSTALLED_NOTICE = {"Install", "Quorvel launcher installed", "information"};

DialogRecord error_box(const std::string& text)
{
    return {"Error", text, "error"};
}

struct RegistryText {
    bool found;
    DWORD type;
    std::string data;
};

RegistryText read_default_value(const char* key_name)
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

void write_default_value(const char* key_name, const std::string& text)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, key_name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
}

bool file_exists(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class LauncherE2E : public testing::Test {
protected:
    void SetUp() override
    {
        harness_remove_tree("C:\\quorvel");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ".nlp");
        java_started_ = CreateEventA(nullptr, TRUE, FALSE, "quorvel-fake-java");
    }

    void TearDown() override
    {
        CloseHandle(java_started_);
        harness_remove_tree("C:\\quorvel");
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

    // Starts the launcher without waiting; the caller ends it.
    PROCESS_INFORMATION start(const std::string& arguments)
    {
        std::string line = "\"" + built_launcher() + "\" " + arguments;
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

TEST_F(LauncherE2E, InstallsFromElsewhereAndTellsTheUser)
{
    run("");
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{INSTALLED_NOTICE});
    EXPECT_TRUE(harness_folder_exists("C:\\quorvel\\launcher\\cache"));
    EXPECT_TRUE(harness_folder_exists("C:\\quorvel\\launcher\\sites"));
    EXPECT_EQ(read_file(INSTALLED), read_file(built_launcher()));
    RegistryText type = read_default_value(".nlp");
    EXPECT_TRUE(type.found);
    EXPECT_EQ(type.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(type.data, "Network Launch Protocol");
    RegistryText command = read_default_value(".nlp\\shell\\open\\command");
    EXPECT_EQ(command.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(command.data, "\"C:\\quorvel\\launcher\\Launcher.exe\" \"%1\"");
    EXPECT_FALSE(file_exists("C:\\quorvel\\launcher\\shortcut.vbs"));
}

TEST_F(LauncherE2E, SilentOptionsInstallWithoutANotice)
{
    for (const char* option : {"--silent", "/S", "/s", "--SILENT"}) {
        SCOPED_TRACE(option);
        harness_remove_tree("C:\\quorvel");
        run(option);
        EXPECT_EQ(read_file(INSTALLED), read_file(built_launcher()));
    }
    EXPECT_TRUE(dialogs_.records().empty());
}

TEST_F(LauncherE2E, TheInstalledLauncherInstallsNothing)
{
    install_copy();
    run("", INSTALLED);
    run("", "C:\\QUORVEL\\LAUNCHER\\LAUNCHER.EXE");
    EXPECT_TRUE(dialogs_.records().empty());
    EXPECT_TRUE(harness_folder_exists("C:\\quorvel\\launcher\\cache"));
    EXPECT_TRUE(harness_folder_exists("C:\\quorvel\\launcher\\sites"));
    EXPECT_FALSE(read_default_value(".nlp").found);
}

// The shortcut script is written over, run and deleted at the same path, so
// a file left there shows whether the shortcut step ran.
TEST_F(LauncherE2E, NoCamerasShortcutLeavesOutOnlyTheShortcut)
{
    harness_make_folders("C:\\quorvel\\launcher\\");
    write_file("C:\\quorvel\\launcher\\shortcut.vbs", "untouched");
    run("--no-cameras-shortcut");
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\shortcut.vbs"), "untouched");
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{INSTALLED_NOTICE});
    EXPECT_EQ(read_default_value(".nlp").data, "Network Launch Protocol");

    run("--silent");
    EXPECT_FALSE(file_exists("C:\\quorvel\\launcher\\shortcut.vbs"));
}

TEST_F(LauncherE2E, AnAssociationNamingTheLauncherIsLeftAlone)
{
    write_default_value(".nlp", "Kept description");
    write_default_value(".nlp\\shell\\open\\command", "\"C:\\QUORVEL\\Launcher\\launcher.EXE\" \"%1\"");
    run("/S");
    EXPECT_EQ(read_default_value(".nlp").data, "Kept description");
    EXPECT_EQ(read_default_value(".nlp\\shell\\open\\command").data,
              "\"C:\\QUORVEL\\Launcher\\launcher.EXE\" \"%1\"");
}

TEST_F(LauncherE2E, AnAssociationNamingAnotherProgramIsReplaced)
{
    write_default_value(".nlp", "Other");
    write_default_value(".nlp\\shell\\open\\command", "\"C:\\other\\viewer.exe\" \"%1\"");
    run("/S");
    EXPECT_EQ(read_default_value(".nlp").data, "Network Launch Protocol");
    EXPECT_EQ(read_default_value(".nlp\\shell\\open\\command").data,
              "\"C:\\quorvel\\launcher\\Launcher.exe\" \"%1\"");
}

// After a failed launch the window stays until the user closes it: waits
// for the run's boxes to reach count, then closes the window.
void close_main_window_after_box(DialogWatcher& dialogs, size_t count, PROCESS_INFORMATION process)
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

TEST_F(LauncherE2E, DescriptorMessagesComeFromTheRealProgram)
{
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"{\"codebase\": \"c/\"", "Error parsing nlp file"},
        {"\xEF\xBB\xBF{\"codebase\": \"c/\", \"resources\": [], \"mainclass\": \"M\"}",
         "Error parsing nlp file"},
        {"[1]", "Error, \"codebase\" not found in nlp file"},
        {"{\"codebase\": \"c/\"}", "Error, \"resources\" not found in nlp file"},
        {"{\"codebase\": \"c/\", \"resources\": []}", "Error, \"mainclass\" not found in nlp file"},
    };
    std::vector<DialogRecord> expected;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::string path = write_descriptor("app.nlp", c.text);
        expected.push_back(error_box(c.message));
        close_main_window_after_box(dialogs_, expected.size(), start("/S \"" + path + "\""));
    }
    EXPECT_EQ(dialogs_.records(), expected);
}

TEST_F(LauncherE2E, MinusSIsNoOptionButADescriptorPath)
{
    close_main_window_after_box(dialogs_, 1, start("-S"));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{error_box("Error loading nlp file")});
}

TEST_F(LauncherE2E, ADescriptorPathTooLongIsRefused)
{
    run("/S C:\\" + std::string(300, 'p') + ".nlp");
    EXPECT_EQ(dialogs_.records(),
              std::vector<DialogRecord>{error_box("Error, nlp file path too long")});
}

TEST_F(LauncherE2E, TheWindowStandsCentredWithItsControls)
{
    PROCESS_INFORMATION process = start("/S missing.nlp");
    ASSERT_TRUE(dialogs_.wait_for(1, RUN_TIMEOUT_MS));
    HWND window = FindWindowA("Quorvel Launcher", "Quorvel Launcher");
    ASSERT_NE(window, nullptr);
    RECT area;
    GetWindowRect(window, &area);
    EXPECT_EQ(area.right - area.left, 400);
    EXPECT_EQ(area.bottom - area.top, 180);
    EXPECT_EQ(area.left, (GetSystemMetrics(SM_CXSCREEN) - 400) / 2);
    EXPECT_EQ(area.top, (GetSystemMetrics(SM_CYSCREEN) - 180) / 2);
    EXPECT_TRUE(GetWindowLongA(window, GWL_STYLE) & WS_THICKFRAME);

    HWND label = FindWindowExA(window, nullptr, "Static", nullptr);
    HWND bar = FindWindowExA(window, nullptr, "msctls_progress32", nullptr);
    ASSERT_NE(label, nullptr);
    ASSERT_NE(bar, nullptr);
    char text[64] = "?";
    GetWindowTextA(label, text, sizeof text);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
    RECT control;
    GetWindowRect(label, &control);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&control), 2);
    EXPECT_EQ(control.right - control.left, 340);
    GetWindowRect(bar, &control);
    EXPECT_EQ(control.bottom - control.top, 20);

    // Sizing is held at the minimum tracking size.
    SetWindowPos(window, nullptr, 0, 0, 50, 30, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(window, &area);
    EXPECT_EQ(area.right - area.left, 220);
    EXPECT_EQ(area.bottom - area.top, 110);

    PostMessageA(window, WM_CLOSE, 0, 0);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, RUN_TIMEOUT_MS), WAIT_OBJECT_0);
    CloseHandle(process.hProcess);
}

TEST_F(LauncherE2E, AnEmptyResourceListStartsJavaOnTheCachedClassPath)
{
    place_fake_java();
    std::string path = write_descriptor("app.nlp", R"({"codebase": "http://host:81/app/",
        "resources": [], "mainclass": "app.Main"})");
    run("\"" + path + "\"");
    ASSERT_TRUE(wait_for_java());
    EXPECT_EQ(java_starts(), std::vector<std::string>{
        "C:\\quorvel\\launcher\\java\\bin\\java.exe -cp "
        "C:\\quorvel\\launcher\\cache\\http###host#81#app#\\* app.Main "});
    EXPECT_TRUE(harness_folder_exists("C:\\quorvel\\launcher\\cache\\http###host#81#app#"));
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\sites\\app.nlp"), read_file(path));
    EXPECT_TRUE(dialogs_.records().empty());
}

TEST_F(LauncherE2E, ArgumentsEndTheJavaCommandLine)
{
    place_fake_java();
    std::string path = write_descriptor("with args.nlp", R"({"codebase": "c/", "resources": [],
        "MainClass": "a.B", "Arguments": "-x \"y z\" 1"})");
    run("--silent \"" + path + "\" --no-cameras-shortcut");
    ASSERT_TRUE(wait_for_java());
    EXPECT_EQ(java_starts(), std::vector<std::string>{
        "C:\\quorvel\\launcher\\java\\bin\\java.exe -cp C:\\quorvel\\launcher\\cache\\c#\\* "
        "a.B -x \"y z\" 1"});
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\sites\\with args.nlp"), read_file(path));
}

TEST_F(LauncherE2E, ADescriptorInTheSitesFolderIsNotCopiedOntoItself)
{
    place_fake_java();
    harness_make_folders("C:\\quorvel\\launcher\\sites\\");
    const std::string text = R"({"codebase": "c/", "resources": [], "mainclass": "M"})";
    write_file("C:\\quorvel\\launcher\\sites\\app.nlp", text);
    install_copy();
    run("C:\\QUORVEL\\LAUNCHER\\SITES\\APP.NLP", INSTALLED);
    ASSERT_TRUE(wait_for_java());
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\sites\\app.nlp"), text);
    EXPECT_EQ(java_starts().size(), 1u);
}

} // namespace
