// The data files shipped in assets/work: "statfile" and "zffile" read with
// the game's own readers, hold whole armies and legal unrated formations,
// and let a new battle start without any message.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "formations/formation.h"
#include "formations/newbattle.h"
#include "formations/piecestats.h"
#include "formations/study.h"
#include "formations/zffile.h"
#include "support/files_support.h"
#include "view/deployment.h"

namespace jq {
namespace {

TEST(ShippedData, WholeArmiesLegalFormationsAndANewBattleWithoutAnyMessage) {
    const std::string shipped = std::string(JQ_SOURCE_DIR) + "/assets/work/";
    const std::vector<uint8_t> stat = test::ReadBytes(shipped + kStatFileName);
    auto tables = std::make_unique<PieceStatTables>();
    ASSERT_EQ(stat.size(), static_cast<size_t>(kStatFileBytes));
    ASSERT_EQ(DecodePieceStats(stat.data(), stat.size(), *tables), StatError::kNone);
    const ZfDecodeResult zf = ReadZfFile(shipped + kZfFileName);
    ASSERT_EQ(zf.error, ZfError::kNone);
    // Summed over the slots, each code's share is 100 times its number of pieces.
    for (int c = 0; c < 12; ++c) {
        float total = 0;
        for (int p = 0; p < 25; ++p) total += tables->slotTable[p][c];
        EXPECT_NEAR(total, 100.0f * kArmyCounts[c], 0.05f) << "code " << c + 1;
    }
    ASSERT_TRUE(zf.db.count >= 100 && zf.db.count <= kStudyRecordLimit + 3);  // the study's cut
    for (int n = 0; n < zf.db.count; ++n) {
        ASSERT_TRUE(IsLegalFormation(zf.db.slots[n].codes)) << "record " << n;
        EXPECT_EQ(zf.db.slots[n].score, 0) << "record " << n;
    }

    test::TestGame t;
    GameState& g = t.g();
    std::filesystem::copy_file(shipped + kStatFileName, t.Path(kStatFileName));
    std::filesystem::copy_file(shipped + kZfFileName, t.Path(kZfFileName));
    g.mainRandom.Seed(2024);
    ASSERT_TRUE(NewBattleAgainstComputer(g));
    EXPECT_TRUE(t.ui.boxes.empty()) << (t.ui.boxes.empty() ? "" : t.ui.boxes[0].text);
    EXPECT_TRUE(t.ui.messages.empty()) << (t.ui.messages.empty() ? "" : t.ui.messages[0]);
    for (int s = 0; s < 4; ++s) {
        const int chosen = g.zfChosenIndex[s];
        ASSERT_TRUE(chosen >= 0 && chosen < zf.db.count);
        for (int k = 0; k < 25; ++k) EXPECT_EQ(g.pieces[s * 25 + k].code, zf.db.slots[chosen].codes[k]);
    }
    EXPECT_EQ(ValidateDeployment(g), 0);
    EXPECT_EQ(std::memcmp(g.slotCorrelation, tables->linkTable, sizeof tables->linkTable), 0);
}

}  // namespace
}  // namespace jq
