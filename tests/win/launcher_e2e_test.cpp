// The real Launcher.exe under Wine, end to end: installation, options, the
// descriptor's messages, the window and the Java start. Each test starts
// from an empty C:\quorvel and no .nlp registration.
#include "tests/win/launcher_fixture.h"

#include <commctrl.h>
#include <sddl.h>

namespace {

TEST_F(LauncherE2E, InstallsFromElsewhereAndTellsTheUser)
{
    run("");
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{INSTALLED_NOTICE});
    EXPECT_TRUE(harness_folder_exists("C:\\quorvel\\launcher\\cache"));
    EXPECT_TRUE(harness_folder_exists("C:\\quorvel\\launcher\\sites"));
    EXPECT_EQ(read_file(INSTALLED), read_file(built_launcher()));

    // Registered for this user alone: nothing lands in the machine's classes.
    RegistryValue type = user_class(".nlp");
    EXPECT_TRUE(type.found);
    EXPECT_EQ(type.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(type.data, "Network Launch Protocol");
    RegistryValue command = user_class(".nlp\\shell\\open\\command");
    EXPECT_EQ(command.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(command.data, "\"C:\\quorvel\\launcher\\Launcher.exe\" \"%1\"");
    EXPECT_FALSE(read_value(HKEY_LOCAL_MACHINE, "Software\\Classes\\.nlp").found);
    const struct {
        const char *key, *name, *data;
    } links[] = {{"", "", "URL:Network Launch Protocol"}, {"", "URL Protocol", ""},
                 {"\\DefaultIcon", "", "C:\\quorvel\\launcher\\Launcher.exe,0"},
                 {"\\shell\\open\\command", "", "\"C:\\quorvel\\launcher\\Launcher.exe\" \"%1\""}};
    for (const std::string scheme : {"nlp", "nlps"}) {
        for (const auto& link : links) {
            RegistryValue value =
                read_value(HKEY_CURRENT_USER, USER_CLASSES + scheme + link.key, link.name);
            EXPECT_TRUE(value.found && value.type == REG_SZ) << scheme << link.key << link.name;
            EXPECT_EQ(value.data, link.data) << scheme << link.key << link.name;
        }
    }

    const std::string quoted = "\"" + std::string(INSTALLED) + "\"";
    const std::pair<const char*, std::string> texts[] = {
        {"DisplayName", "Quorvel launcher"}, {"DisplayVersion", "1.2.1.0"},
        {"Publisher", "Quorvel"}, {"DisplayIcon", INSTALLED},
        {"InstallLocation", "C:\\quorvel\\launcher\\"},
        {"UninstallString", quoted + " --uninstall"},
        {"QuietUninstallString", quoted + " --uninstall --silent"}};
    for (const auto& [name, data] : texts) {
        EXPECT_EQ(uninstall_value(name).type, static_cast<DWORD>(REG_SZ)) << name;
        EXPECT_EQ(uninstall_value(name).data, data) << name;
    }
    // The install root is counted as the entry is written: the launcher and
    // the launch log up to that step's line.
    const std::string log = read_file("C:\\quorvel\\launcher\\launcher.log");
    const size_t logged = log.find("\r\n", log.find("the installed programs' entry written")) + 2;
    const DWORD kib = static_cast<DWORD>((read_file(INSTALLED).size() + logged + 1023) / 1024);
    const std::pair<const char*, DWORD> numbers[] = {
        {"NoModify", 1}, {"NoRepair", 1}, {"EstimatedSize", kib}};
    for (const auto& [name, number] : numbers) {
        EXPECT_EQ(uninstall_value(name).type, static_cast<DWORD>(REG_DWORD)) << name;
        EXPECT_EQ(uninstall_value(name).number, number) << name;
    }
}

// A key the user may not write stands for a standard user's failed write:
// the failure is told, even to a silent install, and never as "installed".
TEST_F(LauncherE2E, AFailedRegistrationIsReportedNotInstalled)
{
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(USER_CLASSES) + ".nlp").c_str(), 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR read_only = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:P(A;;KRSD;;;WD)", SDDL_REVISION_1, &read_only, nullptr));
    EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, read_only), ERROR_SUCCESS);
    LocalFree(read_only);
    RegCloseKey(key);

    run("");
    run("/S");
    const DialogRecord failed = error_box("Error, the .nlp file type could not be registered");
    EXPECT_EQ(dialogs_.records(), (std::vector<DialogRecord>{failed, failed}));
    EXPECT_EQ(read_file(INSTALLED), read_file(built_launcher()));
    EXPECT_FALSE(user_class(".nlp\\shell\\open\\command").found);
    EXPECT_EQ(uninstall_value("DisplayName").data, "Quorvel launcher");
}

TEST_F(LauncherE2E, SilentOptionsInstallWithoutANotice)
{
    for (const char* option : {"--silent", "/S", "/s", "--SILENT"}) {
        SCOPED_TRACE(option);
        ASSERT_TRUE(harness_remove_tree("C:\\quorvel"));
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
    EXPECT_FALSE(user_class(".nlp").found);
    EXPECT_FALSE(uninstall_value("DisplayName").found);
}

// The shell's own link object makes the shortcut: no script, and no command
// interpreter, which would print to the installer's output.
TEST_F(LauncherE2E, TheCamerasShortcutIsTheShellsOwnUnlessLeftOut)
{
    run("--no-cameras-shortcut");
    EXPECT_FALSE(file_exists(cameras_shortcut()));
    EXPECT_EQ(dialogs_.records(), std::vector<DialogRecord>{INSTALLED_NOTICE});
    EXPECT_EQ(user_class(".nlp").data, "Network Launch Protocol");

    const std::string output = dir_.file("output.txt");
    RunResult ended = harness_run("\"" + built_launcher() + "\" /S", RUN_TIMEOUT_MS, output);
    ASSERT_TRUE(ended.finished);
    EXPECT_EQ(read_file(output), "");
    Shortcut shortcut = read_shortcut(cameras_shortcut());
    ASSERT_TRUE(shortcut.loaded) << cameras_shortcut();
    EXPECT_EQ(shortcut.target, "C:\\quorvel\\launcher\\sites\\");
    EXPECT_EQ(shortcut.arguments, "");
    EXPECT_EQ(shortcut.folder, "C:\\quorvel\\launcher\\");
    EXPECT_EQ(shortcut.description, "Launcher Cameras Shortcut");
    EXPECT_EQ(shortcut.icon, INSTALLED);
    EXPECT_EQ(shortcut.icon_index, 0);
    EXPECT_EQ(shortcut.show, SW_SHOWNORMAL);
}

// The association is checked where the shell's query reads it, which under
// Wine is HKEY_CLASSES_ROOT without the per-user classes.
TEST_F(LauncherE2E, AnAssociationNamingTheLauncherIsLeftAlone)
{
    write_default_value(HKEY_CLASSES_ROOT, ".nlp", "Kept description");
    write_default_value(HKEY_CLASSES_ROOT, ".nlp\\shell\\open\\command",
                        "\"C:\\QUORVEL\\Launcher\\launcher.EXE\" \"%1\"");
    write_default_value(HKEY_CLASSES_ROOT, "nlps\\shell\\open\\command",
                        "\"C:\\QUORVEL\\Launcher\\launcher.EXE\" \"%1\"");
    run("/S");
    EXPECT_FALSE(user_class(".nlp").found);
    EXPECT_FALSE(user_class("nlps").key_found);
    EXPECT_EQ(user_class("nlp").data, "URL:Network Launch Protocol");
    EXPECT_EQ(read_value(HKEY_CLASSES_ROOT, ".nlp").data, "Kept description");
    EXPECT_EQ(read_value(HKEY_CLASSES_ROOT, ".nlp\\shell\\open\\command").data,
              "\"C:\\QUORVEL\\Launcher\\launcher.EXE\" \"%1\"");
}

// Another program's per-user association is replaced; one of the machine
// is overridden for this user and itself left as it is.
TEST_F(LauncherE2E, AnAssociationNamingAnotherProgramIsReplaced)
{
    for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER}) {
        const std::string base = root == HKEY_CURRENT_USER ? USER_CLASSES : "";
        write_default_value(root, base + ".nlp", "Other");
        write_default_value(root, base + ".nlp\\shell\\open\\command",
                            "\"C:\\other\\viewer.exe\" \"%1\"");
    }
    run("/S");
    EXPECT_EQ(user_class(".nlp").data, "Network Launch Protocol");
    EXPECT_EQ(user_class(".nlp\\shell\\open\\command").data,
              "\"C:\\quorvel\\launcher\\Launcher.exe\" \"%1\"");
    EXPECT_EQ(read_value(HKEY_CLASSES_ROOT, ".nlp").data, "Other");
    EXPECT_EQ(read_value(HKEY_CLASSES_ROOT, ".nlp\\shell\\open\\command").data,
              "\"C:\\other\\viewer.exe\" \"%1\"");
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

// The scan ends at the descriptor: a later option or a second path is
// ignored, so the shortcut step runs.
TEST_F(LauncherE2E, ArgumentsAfterTheDescriptorAreIgnored)
{
    place_fake_java();
    std::string path = write_descriptor("with args.nlp", R"({"codebase": "c/", "resources": [],
        "MainClass": "a.B", "Arguments": "-x \"y z\" 1"})");
    std::string second = write_descriptor("second.nlp", "{}");
    run("--silent \"" + path + "\" --no-cameras-shortcut \"" + second + "\"");
    ASSERT_TRUE(wait_for_java());
    EXPECT_EQ(java_starts(), std::vector<std::string>{
        "C:\\quorvel\\launcher\\java\\bin\\java.exe -cp C:\\quorvel\\launcher\\cache\\c#\\* "
        "a.B -x \"y z\" 1"});
    EXPECT_EQ(read_file("C:\\quorvel\\launcher\\sites\\with args.nlp"), read_file(path));
    EXPECT_FALSE(file_exists("C:\\quorvel\\launcher\\sites\\second.nlp"));
    EXPECT_TRUE(file_exists(cameras_shortcut()));
    EXPECT_TRUE(dialogs_.records().empty());
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
