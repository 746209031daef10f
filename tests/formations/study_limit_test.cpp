#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/text.h"
#include "formations/study.h"
#include "records/battlefile.h"
#include "support/dealt.h"
#include "support/files_support.h"

namespace jq {
namespace {

// The study stops after the first file that takes the formations above 980: 327 records of three formations
// each make 981, and the records after them (bad ones, which would be reported) are not read. The message and
// the database written say so.
TEST(Study, StopsAfterTheFileThatPassesNineHundredEighty) {
    test::TestGame t;
    const std::vector<uint8_t> good = EncodeBattleFile(test::DealRecord(7));
    std::vector<uint8_t> bad = good;
    bad[31 + 45 + 20] = 13;  // seat 1, slot 0
    for (int n = 0; n < 330; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "r%03d.kbt", n);
        test::WriteBytes(t.Path(name), n < 327 ? good : bad);
    }
    ASSERT_TRUE(StudyChosenFolder(t.ui, t.Path("r000.kbt")));
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.boxes[0].text, Gb("成功分析327个文件的阵法！"));
    const std::vector<uint8_t> zf = test::ReadBytes(t.Path("zffile"));
    ASSERT_GE(zf.size(), 4u);
    EXPECT_EQ(zf[0] | zf[1] << 8 | zf[2] << 16 | zf[3] << 24, 981);
}

}  // namespace
}  // namespace jq
