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
    // Rights: full control, modify, read and execute, create folders / append.
    const unsigned long FULL = 0x1F01FF, MODIFY = 0x1301BF, READ = 0x1200A9, APPEND = 0x4;
    const unsigned long GENERIC_WRITE = 0x40000000;
    const struct {
        const char* owner;
        bool dacl_present;
        std::vector<RootAce> aces;
        RootVerdict verdict;
    } cases[] = {
        // As made: the user's alone.
        {USER, true, {{true, USER, FULL}, {true, SYSTEM, FULL}, {true, ADMINISTRATORS, FULL}},
         ROOT_KEEP},
        // Made by an earlier build below C:\: signed-in users may modify.
        {USER, true, {{true, USER, FULL}, {true, AUTHENTICATED, MODIFY}}, ROOT_SET_LIST},
        {USER, true, {{true, USERS, APPEND}}, ROOT_SET_LIST},
        {USER, true, {{true, "S-1-1-0", GENERIC_WRITE}}, ROOT_SET_LIST},
        {USER, true, {{true, "", ~0ul}}, ROOT_SET_LIST},
        {USER, false, {}, ROOT_SET_LIST},
        // Others may read; a deny entry grants nothing; the creator-owner
        // placeholder only matters to those who may create.
        {USER, true, {{true, USERS, READ}, {false, OTHER, FULL}, {true, "S-1-3-0", FULL}},
         ROOT_KEEP},
        // An administrator's folder closed to others serves; open, it is not ours to fix.
        {ADMINISTRATORS, true, {{true, ADMINISTRATORS, FULL}, {true, USERS, READ}}, ROOT_KEEP},
        {SYSTEM, true, {{true, USERS, MODIFY}}, ROOT_REFUSED},
        // Another user's folder: they can change its list at any time.
        {OTHER, true, {{true, OTHER, FULL}}, ROOT_REFUSED},
        {OTHER, true, {{true, OTHER, FULL}, {true, USER, FULL}}, ROOT_REFUSED},
    };
    for (const auto& c : cases) {
        bool open = root_access_open_to_others(c.dacl_present, c.aces, USER);
        EXPECT_EQ(root_access_verdict(c.owner, USER, open), c.verdict)
            << c.owner << " with " << c.aces.size() << " entries";
    }
}

} // namespace
