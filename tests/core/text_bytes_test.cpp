#include <gtest/gtest.h>

#include <string>

#include "core/text.h"

namespace jq {
namespace {

// Texts are written in code page 936: one- and two-byte characters only.
// A character it lacks, or a broken sequence, is one '?', never a four-byte
// sequence.
TEST(CodePage, TextsAreWrittenInCodePage936) {
    struct Row {
        const char* utf8;
        std::string bytes;
    };
    const Row rows[] = {
        {"张三", "\xD5\xC5\xC8\xFD"},
        {"a\xF0\x9F\x98\x80" "b", "a?b"},           // an emoji
        {"\xE3\x90\x80", "?"},                      // U+3400: four bytes in GB18030
        {"x\xE3\x90\x80\xF0\x9F\x98\x80y", "x??y"},  // two in a row
        {"\xFF" "a", "?a"},                         // not UTF-8
        {"\xE5\xBC", "?"},                          // cut-off sequence at the end
    };
    for (const Row& r : rows) EXPECT_EQ(Gb(r.utf8), r.bytes) << r.utf8;
    // Reading still accepts GB18030.
    EXPECT_EQ(Utf8FromGb("\x81\x39\xEE\x39"), "\xE3\x90\x80");
}

}  // namespace
}  // namespace jq
