#include "base/fileutil.h"

#include "tests/support/tempdir.h"
#include "tests/win/harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class MakeFolderChain : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(harness_remove_tree("C:\\quorvel")); }
    void TearDown() override { EXPECT_TRUE(harness_remove_tree("C:\\quorvel")); }
};

TEST_F(MakeFolderChain, CreatesEveryFolderEndingInABackslash)
{
    make_folder_chain("C:\\quorvel\\launcher\\cache\\");
    EXPECT_TRUE(harness_folder_exists("C:\\quorvel\\launcher\\cache"));
    // A second run finds everything there and changes nothing.
    make_folder_chain("C:\\quorvel\\launcher\\cache\\");
    EXPECT_TRUE(harness_folder_exists("C:\\quorvel\\launcher\\cache"));
}

TEST_F(MakeFolderChain, LastComponentWithoutBackslashIsNotCreated)
{
    make_folder_chain("C:\\quorvel\\launcher\\java");
    EXPECT_TRUE(harness_folder_exists("C:\\quorvel\\launcher"));
    EXPECT_FALSE(harness_folder_exists("C:\\quorvel\\launcher\\java"));
}

TEST_F(MakeFolderChain, ForwardSlashesAreNotSeparators)
{
    make_folder_chain("C:\\quorvel\\a/b\\");
    EXPECT_FALSE(harness_folder_exists("C:\\quorvel\\a"));
    EXPECT_TRUE(harness_folder_exists("C:\\quorvel"));
}

TEST_F(MakeFolderChain, PathWithoutBackslashCreatesNothing)
{
    TempDir dir;
    SetCurrentDirectoryA(dir.folder().c_str());
    make_folder_chain("quorvel-no-backslash");
    make_folder_chain("");
    EXPECT_FALSE(harness_folder_exists(dir.file("quorvel-no-backslash")));
    SetCurrentDirectoryA("C:\\");
}

TEST_F(MakeFolderChain, StopsBeforeAPrefixTooLongForThePathBuffer)
{
    // "C:\quorvel\" is 11 characters: 11 + 247 + "\" is 259, the longest
    // prefix a 260-byte buffer holds; one more character is refused.
    std::string fits = "C:\\quorvel\\" + std::string(247, 'd');
    std::string too_long = fits + "\\e";
    make_folder_chain((too_long + "\\").c_str());
    EXPECT_TRUE(harness_folder_exists(fits));
    EXPECT_FALSE(harness_folder_exists(too_long));
}

struct Recorded {
    bool signalled;
    std::string sent;         // the command line handed to run_hidden
    std::string command_line; // the one the started program got
    std::string console;
};

// Starts record_args through run_hidden and waits for its report.
Recorded run_hidden_recorded(const std::string& arguments)
{
    TempDir dir;
    std::string output = dir.file("recorded.txt");
    std::string event_name = "quorvel-record-" + std::to_string(GetCurrentProcessId());
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, event_name.c_str());
    std::string line = "\"" + harness_program_folder() + "record_args.exe\" " + output + " " +
                       event_name + arguments;
    Recorded recorded = {false, line, "", ""};
    run_hidden(&line[0]);
    recorded.signalled = WaitForSingleObject(event, 30000) == WAIT_OBJECT_0;
    CloseHandle(event);
    std::string text = read_file(output);
    size_t first = text.find('\n');
    if (first != std::string::npos) {
        recorded.command_line = text.substr(0, first);
        recorded.console = text.substr(first + 1, text.find('\n', first + 1) - first - 1);
    }
    return recorded;
}

// This program's code page is Windows-1252, as a process's is on Windows
// before 1903: Polish and Chinese arrive whole all the same.
TEST(RunHidden, StartsTheCommandLineAsGivenWithoutAConsole)
{
    for (const char* arguments :
         {" -cp C:\\x\\* app.Main  \"quoted arg\" ",
          " --miasto \"\xC5\x81\xC3\xB3\x64\xC5\xBA\" \xE6\x91\x84\xE5\x83\x8F"}) {
        Recorded recorded = run_hidden_recorded(arguments);
        ASSERT_TRUE(recorded.signalled) << arguments;
        EXPECT_EQ(recorded.command_line, recorded.sent);
        EXPECT_EQ(recorded.console, "no console");
    }
    std::string missing = "C:\\quorvel\\missing.exe";
    EXPECT_FALSE(run_hidden(missing.c_str()));
}

TEST_F(MakeFolderChain, NamesBeyondTheCodePageAreMadeWhole)
{
    const std::string folder = "C:\\quorvel\\Kamery \xC5\x81\xC3\xB3\x64\xC5\xBA\\";
    const std::string file = folder + "\xE6\x91\x84.nlp";
    make_folder_chain(folder.c_str());
    ASSERT_EQ(write_whole_file(file.c_str(), "{}", 2), 2);
    ASSERT_TRUE(file_copy(file.c_str(), (file + "2").c_str()));
    ASSERT_TRUE(file_move((file + "2").c_str(), (folder + "b").c_str(), 0));
    EXPECT_TRUE(file_delete((folder + "b").c_str()));
    EXPECT_EQ(file_attributes((folder + "b").c_str()), INVALID_FILE_ATTRIBUTES);
    int length = 0;
    char* text = read_whole_file(file.c_str(), &length);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "{}");
    free(text);
    // The file system holds the very characters, as the wide calls see them.
    EXPECT_NE(GetFileAttributesW(L"C:\\quorvel\\Kamery \u0141\u00F3d\u017A\\\u6444.nlp"),
              INVALID_FILE_ATTRIBUTES);
}

} // namespace
