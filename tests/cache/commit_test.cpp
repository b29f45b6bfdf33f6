// The commit of a release: whole or not at all, also when it is cut after
// any of its moves, and undone when a target is held open (Windows).
#include "cache/commit.h"

#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

// An old release of a.jar and b.jar in site/, and a new one aside in
// staged/ that changes both and adds c.jar.
struct Release {
    Release()
    {
        for (const char* folder : {"site", "staged", "previous"})
            std::filesystem::create_directory(dir.path / folder);
        write_file(dir.file("site/a.jar"), "old a");
        write_file(dir.file("site/b.jar"), "old b");
        for (const char* name : {"a.jar", "b.jar", "c.jar"}) {
            write_file(dir.file(std::string("staged/") + name), std::string("new ") + name[0]);
            CommitEntry entry;
            snprintf(entry.target, sizeof entry.target, "%s", dir.file(std::string("site/") + name).c_str());
            snprintf(entry.staged, sizeof entry.staged, "%s", dir.file(std::string("staged/") + name).c_str());
            snprintf(entry.previous, sizeof entry.previous, "%s",
                     dir.file(std::string("previous/") + name).c_str());
            entries.push_back(entry);
        }
        journal = dir.file("journal");
    }

    std::map<std::string, std::string> site() const
    {
        std::map<std::string, std::string> files;
        for (const std::string& name : listing(dir.file("site")))
            files[name] = read_file(dir.file("site/" + name));
        return files;
    }

    bool aside_only(const std::string& folder) const { return listing(dir.file(folder)).empty(); }

    TempDir dir;
    std::vector<CommitEntry> entries;
    std::string journal;
};

const std::map<std::string, std::string> OLD = {{"a.jar", "old a"}, {"b.jar", "old b"}};
const std::map<std::string, std::string> NEW = {
    {"a.jar", "new a"}, {"b.jar", "new b"}, {"c.jar", "new c"}};

TEST(Commit, MovesEveryStagedFileInAndLeavesNothingAside)
{
    Release release;
    char why[COMMIT_WHY_SIZE];
    EXPECT_EQ(commit_release(release.entries.data(), 3, release.journal.c_str(), why, sizeof why), 1)
        << why;
    EXPECT_EQ(release.site(), NEW);
    EXPECT_TRUE(release.aside_only("staged"));
    EXPECT_TRUE(release.aside_only("previous"));
    EXPECT_FALSE(std::filesystem::exists(release.journal));
    EXPECT_EQ(commit_recover(release.journal.c_str(), why, sizeof why), 0);
}

TEST(Commit, ACommitCutAfterAnyStepIsFinishedByTheNextLaunch)
{
    // The documented order: each target aside (when it has a file), then
    // its staged file in; then the previous files go, then the journal.
    const std::vector<std::pair<std::string, std::string>> moves = {
        {"site/a.jar", "previous/a.jar"}, {"staged/a.jar", "site/a.jar"},
        {"site/b.jar", "previous/b.jar"}, {"staged/b.jar", "site/b.jar"},
        {"staged/c.jar", "site/c.jar"}};
    for (size_t cut = 0; cut <= moves.size() + 1; cut++) {
        SCOPED_TRACE(cut);
        Release release;
        ASSERT_EQ(commit_write_journal(release.entries.data(), 3, release.journal.c_str()), 1);
        for (size_t i = 0; i < cut && i < moves.size(); i++)
            std::filesystem::rename(release.dir.file(moves[i].first),
                                    release.dir.file(moves[i].second));
        if (cut > moves.size())
            std::filesystem::remove(release.dir.file("previous/a.jar"));
        char why[COMMIT_WHY_SIZE];
        EXPECT_EQ(commit_recover(release.journal.c_str(), why, sizeof why), 1) << why;
        EXPECT_EQ(release.site(), NEW);
        EXPECT_TRUE(release.aside_only("staged"));
        EXPECT_TRUE(release.aside_only("previous"));
        EXPECT_FALSE(std::filesystem::exists(release.journal));
    }
}

TEST(Commit, AJournalThatIsNotWholeIsLeftAlone)
{
    Release release;
    for (const std::string& text : {std::string("quorvel release commit\r\n"),
                                    std::string("quorvel release commit\r\na\tb\r\nend\r\n"), std::string("")}) {
        write_file(release.journal, text);
        char why[COMMIT_WHY_SIZE];
        EXPECT_EQ(commit_recover(release.journal.c_str(), why, sizeof why), -1);
        EXPECT_EQ(release.site(), OLD);
        EXPECT_TRUE(std::filesystem::exists(release.journal));
    }
}

TEST(Commit, OnlyThisCommitsMovesAreUndoneOrRetried)
{
    // A leftover of an earlier commit in a previous place is removed first,
    // so undoing never moves it back.
    {
        Release release;
        write_file(release.dir.file("previous/b.jar"), "older b");
        ASSERT_EQ(commit_write_journal(release.entries.data(), 3, release.journal.c_str()), 1);
        std::filesystem::remove(release.journal);
        char why[COMMIT_WHY_SIZE];
        EXPECT_EQ(commit_release(release.entries.data(), 3, release.journal.c_str(), why, sizeof why),
                  1) << why;
        EXPECT_EQ(release.site(), NEW);
        EXPECT_TRUE(release.aside_only("previous"));
    }
    // A previous file that cannot be removed yet (here a folder holding a
    // file) keeps the journal, marked as moved: the next recovery removes
    // it and never moves in the body a later launch staged meanwhile.
    Release release;
    char why[COMMIT_WHY_SIZE];
    ASSERT_EQ(commit_release(release.entries.data(), 3, release.journal.c_str(), why, sizeof why), 1);
    std::filesystem::create_directories(release.dir.file("previous/a.jar/held"));
    ASSERT_EQ(commit_write_journal(release.entries.data(), 3, release.journal.c_str()), 1);
    std::string moved = read_file(release.journal);
    moved.replace(0, strlen("quorvel release commit"), "quorvel release commit moved");
    write_file(release.journal, moved);
    write_file(release.dir.file("staged/a.jar"), "a later release's a");
    EXPECT_EQ(commit_recover(release.journal.c_str(), why, sizeof why), -1) << why;
    EXPECT_TRUE(std::filesystem::exists(release.journal));
    std::filesystem::remove_all(release.dir.file("previous/a.jar"));
    EXPECT_EQ(commit_recover(release.journal.c_str(), why, sizeof why), 1) << why;
    EXPECT_FALSE(std::filesystem::exists(release.journal));
    EXPECT_EQ(release.site(), NEW);
    EXPECT_EQ(read_file(release.dir.file("staged/a.jar")), "a later release's a");
}

#ifdef _WIN32
// A running program holds a jar open without sharing deletion: it can be
// neither moved nor replaced.
HANDLE hold(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                       nullptr);
}

TEST(Commit, AHeldTargetUndoesTheCommitAndKeepsTheNewFilesAside)
{
    for (const char* held_name : {"a.jar", "b.jar"}) {
        SCOPED_TRACE(held_name);
        Release release;
        write_file(release.dir.file("previous/b.jar"), "an earlier release's b");
        HANDLE held = hold(release.dir.file(std::string("site/") + held_name));
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        char why[COMMIT_WHY_SIZE];
        EXPECT_EQ(commit_release(release.entries.data(), 3, release.journal.c_str(), why, sizeof why),
                  0);
        EXPECT_NE(std::string(why).find(held_name), std::string::npos) << why;
        EXPECT_EQ(release.site(), OLD);
        EXPECT_EQ(listing(release.dir.file("staged")),
                  (std::set<std::string>{"a.jar", "b.jar", "c.jar"}));
        EXPECT_TRUE(release.aside_only("previous"));
        EXPECT_FALSE(std::filesystem::exists(release.journal));
        CloseHandle(held);
    }
}

TEST(Commit, ACutCommitWhoseRestIsHeldIsUndone)
{
    Release release;
    ASSERT_EQ(commit_write_journal(release.entries.data(), 3, release.journal.c_str()), 1);
    std::filesystem::rename(release.dir.file("site/a.jar"), release.dir.file("previous/a.jar"));
    std::filesystem::rename(release.dir.file("staged/a.jar"), release.dir.file("site/a.jar"));
    HANDLE held = hold(release.dir.file("site/b.jar"));
    char why[COMMIT_WHY_SIZE];
    EXPECT_EQ(commit_recover(release.journal.c_str(), why, sizeof why), 2) << why;
    CloseHandle(held);
    EXPECT_EQ(release.site(), OLD);
    EXPECT_EQ(read_file(release.dir.file("staged/a.jar")), "new a");
    EXPECT_FALSE(std::filesystem::exists(release.journal));
}
#endif

} // namespace
