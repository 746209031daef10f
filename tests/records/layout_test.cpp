#include <gtest/gtest.h>

#include "core/text.h"
#include "records/layout.h"

namespace jq {
namespace {

TEST(NameRows, LongNamesAreCutOnACharacterBoundary) {
    NameTable names;
    const std::string chinese = Gb("一二三四五六七八九十壹贰叁肆伍");  // 30 bytes
    PutNameRow(names, 0, chinese);
    EXPECT_EQ(NameRow(names, 0), chinese.substr(0, 28));
    PutNameRow(names, 1, "x" + chinese);
    EXPECT_EQ(NameRow(names, 1), "x" + chinese.substr(0, 28));
    PutNameRow(names, 2, std::string(40, 'n'));
    EXPECT_EQ(NameRow(names, 2), std::string(29, 'n'));
    EXPECT_EQ(names.rows[2][29], '\0');
    PutNameRow(names, 3, std::string(26, 'n') + "\x81\x30\x81\x30");  // a four-byte character
    EXPECT_EQ(NameRow(names, 3), std::string(26, 'n'));
    PutNameRow(names, 9, "ignored");
    EXPECT_EQ(NameRow(names, 9), "");
}

}  // namespace
}  // namespace jq
