// The data files shipped in assets/work: "statfile" and "zffile" must read
// with the game's own readers, hold whole armies and legal formations, and
// let a new battle start without any message.
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
#include "records/fileio.h"
#include "records/layout.h"
#include "support/files_support.h"
#include "support/scene.h"
#include "view/deployment.h"

namespace jq {
namespace {

using test::ReadBytes;
using test::TestGame;

const std::string kShipped = std::string(JQ_SOURCE_DIR) + "/assets/work/";

class ShippedData : public ::testing::Test {
protected:
    void SetUp() override {
        stat = ReadBytes(kShipped + kStatFileName);
        zf = ReadBytes(kShipped + kZfFileName);
        ASSERT_EQ(stat.size(), static_cast<size_t>(kStatFileBytes)) << "assets/work/statfile";
        ASSERT_EQ(zf.size(), static_cast<size_t>(kZfFileBytes)) << "assets/work/zffile";
        ASSERT_EQ(DecodePieceStats(stat.data(), stat.size(), *tables), StatError::kNone);
        const ZfDecodeResult read = DecodeZfDatabase(zf);
        ASSERT_EQ(read.error, ZfError::kNone);
        db = std::make_unique<ZfDatabase>(read.db);
    }

    std::vector<uint8_t> stat;
    std::vector<uint8_t> zf;
    std::unique_ptr<PieceStatTables> tables = std::make_unique<PieceStatTables>();
    std::unique_ptr<ZfDatabase> db;
};

TEST_F(ShippedData, WholeArmiesAndLegalUnratedFormations) {
    // Summed over the slots, each code's share is 100 times its number of pieces.
    for (int c = 0; c < 12; ++c) {
        float total = 0;
        for (int p = 0; p < 25; ++p) total += tables->slotTable[p][c];
        EXPECT_NEAR(total, 100.0f * kArmyCounts[c], 0.05f) << "code " << c + 1;
    }
    ASSERT_GE(db->count, 100);
    ASSERT_LE(db->count, kStudyRecordLimit + 3);  // the study's cut
    TestGame t;
    GameState& g = t.g();
    const NameTable names;
    for (int n = 0; n < db->count; ++n) {
        const ZfRecord& rec = db->slots[n];
        ASSERT_TRUE(IsLegalFormation(rec.codes)) << "record " << n;
        EXPECT_EQ(rec.score, 0) << "record " << n;
        // The same formation on all four seats passes the deployment check.
        CodeTable codes;
        for (int s = 0; s < 4; ++s)
            for (int k = 0; k < 25; ++k) codes.rows[s][k] = rec.codes[k];
        LayoutBattle(g, 0, codes, names);
        ASSERT_EQ(ValidateDeployment(g), 0) << "record " << n;
    }
    EXPECT_TRUE(t.ui.boxes.empty());
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(ShippedData, ANewBattleStartsWithoutAnyMessage) {
    TestGame t;
    GameState& g = t.g();
    namespace fs = std::filesystem;
    fs::copy_file(kShipped + kStatFileName, t.Path(kStatFileName));
    fs::copy_file(kShipped + kZfFileName, t.Path(kZfFileName));
    g.mainRandom.Seed(2024);
    ASSERT_TRUE(NewBattleAgainstComputer(g));
    EXPECT_TRUE(t.ui.boxes.empty()) << (t.ui.boxes.empty() ? "" : t.ui.boxes[0].text);
    EXPECT_TRUE(t.ui.messages.empty()) << (t.ui.messages.empty() ? "" : t.ui.messages[0]);

    // Every seat was given a record of the database, laid out legally.
    for (int s = 0; s < 4; ++s) {
        const int chosen = g.zfChosenIndex[s];
        ASSERT_GE(chosen, 0);
        ASSERT_LT(chosen, db->count);
        for (int k = 0; k < 25; ++k) EXPECT_EQ(g.pieces[s * 25 + k].code, db->slots[chosen].codes[k]);
    }
    EXPECT_EQ(ValidateDeployment(g), 0);
    // The link table was loaded as it stands in the file.
    EXPECT_EQ(std::memcmp(g.slotCorrelation, tables->linkTable, sizeof tables->linkTable), 0);
}

}  // namespace
}  // namespace jq
