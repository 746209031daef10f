#include <gtest/gtest.h>

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

}  // namespace
}  // namespace jq
