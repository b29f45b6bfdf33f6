// Uninstall by the real Launcher.exe under Wine: what the installation made
// goes, an .nlp registration another program took over stays, a file in use
// stays for a later uninstall, and nothing waits for a restart.
#include "tests/win/launcher_fixture.h"

namespace {

const char CACHED_JAR[] = "C:\\quorvel\\launcher\\cache\\site\\a.jar";
const char OPEN_COMMAND[] = ".nlp\\shell\\open\\command";
const char VIEWER[] = "\"C:\\other\\viewer.exe\" \"%1\"";
const DialogRecord QUESTION = {
    "Uninstall", "Remove Quorvel launcher, its Java runtime and its cached applications?",
    "question"};

DialogRecord notice(const std::string& text)
{
    return {"Uninstall", text, "information"};
}

class UninstallE2E : public LauncherE2E {
protected:
    // An installation with runtimes of two lines, a cached jar and the
    // desktop shortcut.
    void SetUp() override
    {
        LauncherE2E::SetUp();
        run("/S");
        place_fake_java();
        harness_make_folders("C:\\quorvel\\launcher\\runtimes\\17\\bin\\");
        write_file("C:\\quorvel\\launcher\\runtimes\\17\\bin\\java.exe", "java 17");
        harness_make_folders("C:\\quorvel\\launcher\\cache\\site\\");
        write_file(CACHED_JAR, "jar");
    }

    // The installed launcher's uninstall, finished by its temporary copy.
    void uninstall_installed()
    {
        run("--uninstall", INSTALLED);
        wait_for_process_named("Launcher-uninstall.exe");
    }
};

TEST_F(UninstallE2E, NoKeepsEverythingYesRemovesItAllOnce)
{
    dialogs_.answer(IDNO);
    run("/UNINSTALL", INSTALLED);
    EXPECT_EQ(read_file(CACHED_JAR), "jar");
    EXPECT_TRUE(file_exists(cameras_shortcut()));
    EXPECT_EQ(user_class(OPEN_COMMAND).data, "\"C:\\quorvel\\launcher\\Launcher.exe\" \"%1\"");
    EXPECT_EQ(uninstall_value("DisplayName").data, "Quorvel launcher");

    dialogs_.answer(IDYES);
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Quorvel\\Launcher\\TrustedSites",
                              "https://apps.example", REG_SZ, "", 1),
              ERROR_SUCCESS);
    uninstall_installed();
    EXPECT_FALSE(harness_folder_exists("C:\\quorvel"));
    EXPECT_FALSE(file_exists(cameras_shortcut()));
    EXPECT_FALSE(user_class(".nlp").key_found);
    EXPECT_FALSE(user_class("nlp").key_found);
    EXPECT_FALSE(user_class("nlps").key_found);
    EXPECT_FALSE(read_value(HKEY_CURRENT_USER, "Software\\Quorvel").key_found);
    EXPECT_FALSE(uninstall_value("DisplayName").key_found);

    // Run again, it finds nothing and changes nothing.
    run("--uninstall");
    EXPECT_FALSE(harness_folder_exists("C:\\quorvel"));
    EXPECT_EQ(dialogs_.records(),
              (std::vector<DialogRecord>{QUESTION, QUESTION, notice("Quorvel launcher removed"),
                                         notice("Quorvel launcher is not installed")}));
}

// Another program took over .nlp since the installation: its entry stays.
// What is in use stays, logged; the next uninstall removes it, and any
// start the finishing copy.
TEST_F(UninstallE2E, LeavesAFileInUseAndAnotherProgramsAssociation)
{
    write_default_value(HKEY_CURRENT_USER, USER_CLASSES + std::string(OPEN_COMMAND), VIEWER);
    write_default_value(HKEY_CURRENT_USER, USER_CLASSES + std::string("nlps\\shell\\open\\command"),
                        VIEWER);
    HANDLE held = CreateFileA(CACHED_JAR, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const std::vector<std::string> pending = pending_file_operations();
    uninstall_installed();
    EXPECT_EQ(dialogs_.records().back(),
              notice("Quorvel launcher removed; some files are in use and were left in "
                     "C:\\quorvel\\launcher\\"));
    EXPECT_EQ(listing("C:\\quorvel"), (std::set<std::string>{"launcher", "launcher/cache",
                                                             "launcher/cache/site",
                                                             "launcher/cache/site/a.jar",
                                                             "launcher/launcher.log"}));
    EXPECT_EQ(user_class(OPEN_COMMAND).data, VIEWER);
    EXPECT_EQ(user_class(".nlp").data, "Network Launch Protocol");
    EXPECT_EQ(user_class("nlps\\shell\\open\\command").data, VIEWER);
    EXPECT_FALSE(user_class("nlp").key_found);
    EXPECT_EQ(pending_file_operations(), pending);
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string copy = std::string(temp) + "Launcher-uninstall.exe";
    const std::string log = read_file("C:\\quorvel\\launcher\\launcher.log");
    for (const std::string& logged :
         {std::string("uninstall: ") + CACHED_JAR + " not removed (error 32)",
          "uninstall: " + copy + " not removed: it runs; the launcher's next start removes it"})
        EXPECT_NE(log.find("] " + logged + "\r\n"), std::string::npos) << logged << "\n" << log;
    EXPECT_TRUE(file_exists(copy));
    CloseHandle(held);

    run("--uninstall /S");
    EXPECT_FALSE(harness_folder_exists("C:\\quorvel"));
    EXPECT_FALSE(file_exists(copy));
    EXPECT_EQ(pending_file_operations(), pending);
}

} // namespace
