#include <gtest/gtest.h>

#include <string>

#include "core/text.h"

namespace jq {
namespace {

TEST(Text, Gb2312RoundTripAndBoundedFields) {
    const std::string gb = Gb("确定");
    EXPECT_EQ(gb, "\xC8\xB7\xB6\xA8");
    EXPECT_EQ(Utf8FromGb(gb), "确定");
    char field[4] = {'a', 'b', 'c', 'd'};  // no terminating NUL
    EXPECT_EQ(BoundedText(field, sizeof field), "abcd");
    PutBoundedText(field, sizeof field, "hello");
    EXPECT_EQ(BoundedText(field, sizeof field), "hel");
    EXPECT_EQ(field[3], '\0');
}

// Texts are written in code page 936: a character it lacks, or a broken
// sequence, is one '?', never a four-byte sequence.
TEST(Text, WrittenInCodePage936) {
    const std::pair<const char*, std::string> rows[] = {
        {"a\xF0\x9F\x98\x80" "b", "a?b"},            // an emoji
        {"x\xE3\x90\x80\xF0\x9F\x98\x80y", "x??y"},  // U+3400 (four bytes in GB18030), then an emoji
        {"\xFF" "a", "?a"},                          // not UTF-8
        {"\xE5\xBC", "?"},                           // cut-off sequence at the end
    };
    for (const auto& [utf8, bytes] : rows) EXPECT_EQ(Gb(utf8), bytes) << utf8;
    EXPECT_EQ(Utf8FromGb("\x81\x39\xEE\x39"), "\xE3\x90\x80");  // reading still accepts GB18030
}

}  // namespace
}  // namespace jq
