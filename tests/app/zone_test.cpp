#include "app/zone.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

TEST(Zone, TheZoneIdOfTheZoneTransferSection)
{
    const char raw[] = "\xFF\xFE[\0Z\0o\0n\0e\0T\0r\0a\0n\0s\0f\0e\0r\0]\0\r\0\n\0"
                       "Z\0o\0n\0e\0I\0d\0=\0004\0";
    const std::string utf16(raw, sizeof raw - 1);
    const std::pair<std::string, int> cases[] = {
        {"[ZoneTransfer]\r\nReferrerUrl=https://a/\r\nZoneId=3\r\n", 3},
        {"\xEF\xBB\xBF  [zonetransfer]  \n  ZONEID = 4  \n", 4}, {utf16, 4},
        {"[Other]\r\nZoneId=3\r\n[ZoneTransfer]\r\nZoneId=1\r\n", 1},
        {"[ZoneTransfer]\r\n[Other]\r\nZoneId=3\r\n", -1}, {"ZoneId=3\r\n", -1},
        {"[ZoneTransfer]\r\nZoneId=three\r\n", -1}, {"[ZoneTransfer]\r\nZoneId=\r\n", -1},
        {"[ZoneTransfer]\r\nZoneIdentifier=3\r\n", -1}, {"", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(zone_of_identifier(c.first.data(), c.first.size()), c.second) << c.first;
    EXPECT_FALSE(zone_is_remote(-1));
    EXPECT_FALSE(zone_is_remote(2));
    EXPECT_TRUE(zone_is_remote(3));
    EXPECT_TRUE(zone_is_remote(4));
}

} // namespace
