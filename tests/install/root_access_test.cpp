#include "install/root_access.h"

#include <gtest/gtest.h>

namespace {

const char USER[] = "S-1-5-21-1-2-3-1001";
const char OTHER[] = "S-1-5-21-1-2-3-1002";
const char USERS[] = "S-1-5-32-545";
const char AUTHENTICATED[] = "S-1-5-11";
const char SYSTEM[] = "S-1-5-18";
const char ADMINISTRATORS[] = "S-1-5-32-544";

TEST(RootAccess, TheFoldersAreMadeWithAProtectedListOfThree)
{
    char out[160];
    ASSERT_EQ(root_access_descriptor(USER, out, sizeof out), 1);
    EXPECT_STREQ(out, "O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;S-1-5-21-1-2-3-1001)"
                      "(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
    EXPECT_EQ(root_access_descriptor(USER, out, 89), 0);
    EXPECT_STREQ(out, "");
}

TEST(RootAccess, AFolderOthersCanChangeIsTheUsersToFixOrRefused)
{
    // Full control, modify (what the drive root gives signed-in users
    // below it), read and execute, append (create folders).
    const unsigned long FULL = 0x1F01FF, MODIFY = 0x1301BF, READ = 0x1200A9, APPEND = 0x4;
    const RootAce mine = {true, USER, FULL}, system = {true, SYSTEM, FULL};
    const struct {
        const char* owner;
        bool dacl_present;
        std::vector<RootAce> aces;
        RootVerdict verdict;
    } cases[] = {
        {USER, true, {mine, system, {true, ADMINISTRATORS, FULL}}, ROOT_KEEP},
        {USER, true, {mine, {true, AUTHENTICATED, MODIFY}}, ROOT_SET_LIST},
        {USER, true, {{true, USERS, APPEND}}, ROOT_SET_LIST},
        {USER, true, {{true, "S-1-1-0", 0x40000000}}, ROOT_SET_LIST},  // generic write
        {USER, true, {{true, "", ~0ul}}, ROOT_SET_LIST},  // an entry of another kind
        {USER, false, {}, ROOT_SET_LIST},  // no list: open to all
        // Reading, a deny entry and the creator-owner placeholder give no one a way in.
        {USER, true, {{true, USERS, READ}, {false, OTHER, FULL}, {true, "S-1-3-0", FULL}}, ROOT_KEEP},
        {ADMINISTRATORS, true, {system, {true, USERS, READ}}, ROOT_KEEP},
        {SYSTEM, true, {{true, USERS, MODIFY}}, ROOT_REFUSED},
        // Another user can change their folder's list at any time.
        {OTHER, true, {{true, OTHER, FULL}, mine}, ROOT_REFUSED},
    };
    for (const auto& c : cases) {
        bool open = root_access_open_to_others(c.dacl_present, c.aces, USER);
        EXPECT_EQ(root_access_verdict(c.owner, USER, open), c.verdict) << c.owner;
    }
}

} // namespace
