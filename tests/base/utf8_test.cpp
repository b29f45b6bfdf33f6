#include "base/utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8, TellsWellFormedTextAndCountsItsCharacters)
{
    const std::pair<const char*, size_t> valid[] = {
        {"", 0}, {"Kamery", 6}, {"Kamery \xC5\x81\xC3\xB3\x64\xC5\xBA", 11},
        {"\xE6\x91\x84\xE5\x83\x8F", 2}, {"\xF0\x9F\x93\xB7", 1}, {"\xF4\x8F\xBF\xBF", 1}};
    for (const auto& [text, length] : valid) {
        EXPECT_EQ(utf8_valid(text), 1) << text;
        EXPECT_EQ(utf8_length(text), length) << text;
    }
    // Windows-1252 "é", a stray continuation byte, a sequence cut short,
    // overlong forms, a surrogate, and beyond U+10FFFF.
    for (const char* text : {"caf\xE9", "\x80", "\xC5", "\xE6\x91", "\xC0\xAF", "\xE0\x80\xAF",
                             "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80"})
        EXPECT_EQ(utf8_valid(text), 0) << text;
}

} // namespace
