// The data files shipped in assets/work: "statfile" and "zffile" must read
// with the game's own readers, hold sound numbers and legal formations, and
// let a new battle start without any message.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "core/board.h"
#include "formations/formation.h"
#include "formations/newbattle.h"
#include "formations/piecestats.h"
#include "formations/study.h"
#include "formations/zffile.h"
#include "records/fileio.h"
#include "records/layout.h"
#include "support/files_support.h"
#include "view/deployment.h"

namespace jq {
namespace {

using test::ReadBytes;
using test::TestGame;

const std::string kShipped = std::string(JQ_SOURCE_DIR) + "/assets/work/";

float Sum12(const float* run) {
    float sum = 0;
    for (int c = 0; c < 12; ++c) sum += run[c];
    return sum;
}

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

TEST_F(ShippedData, SlotTableHoldsPercentagesOfWholeArmies) {
    for (int p = 0; p < 25; ++p) {
        const float* row = tables->slotTable[p];
        for (int c = 0; c < kStatSlotColumns; ++c) {
            ASSERT_TRUE(std::isfinite(row[c]));
            EXPECT_GE(row[c], 0.0f);
            EXPECT_LE(row[c], 100.0f);
            if (c >= 12) {
                EXPECT_EQ(row[c], 0.0f) << "slot " << p;
            }
        }
        // Every slot was counted, so no row is empty.
        EXPECT_NEAR(Sum12(row), 100.0f, 0.01f) << "slot " << p;
        // What the deployment rules forbid never stood there.
        if (p != 21 && p != 23) {
            EXPECT_EQ(row[kFlag - 1], 0.0f) << "slot " << p;
        }
        if (p < 15) {
            EXPECT_EQ(row[kMine - 1], 0.0f) << "slot " << p;
        }
        if (p < 5) {
            EXPECT_EQ(row[kBomb - 1], 0.0f) << "slot " << p;
        }
    }
    // Every counted deployment is one army: summed over the slots, each
    // code's share is 100 times its number of pieces.
    for (int c = 0; c < 12; ++c) {
        float total = 0;
        for (int p = 0; p < 25; ++p) total += tables->slotTable[p][c];
        EXPECT_NEAR(total, 100.0f * kArmyCounts[c], 0.05f) << "code " << c + 1;
    }
}

TEST_F(ShippedData, LinkTableAgreesWithTheSlotTable) {
    const auto& links = Board().deploySlotLinks;
    for (int p = 0; p < 25; ++p) {
        for (int j = 0; j < 3; ++j) {
            const int linked = links[p][j];
            float marginal[12] = {};
            for (int k = 0; k < 12; ++k) {
                const float* run = tables->linkTable[p][k][j];
                for (int m = 0; m < 12; ++m) {
                    ASSERT_TRUE(std::isfinite(run[m]));
                    EXPECT_GE(run[m], 0.0f);
                    EXPECT_LE(run[m], 100.0f);
                }
                const float sum = Sum12(run);
                if (linked < 0 || tables->slotTable[p][k] == 0.0f) {
                    EXPECT_EQ(sum, 0.0f) << "slot " << p << " code " << k + 1 << " link " << j;
                    continue;
                }
                EXPECT_NEAR(sum, 100.0f, 0.01f) << "slot " << p << " code " << k + 1 << " link " << j;
                for (int m = 0; m < 12; ++m) marginal[m] += tables->slotTable[p][k] / 100.0f * run[m];
            }
            // Over all codes of slot p, the codes beside it on the linked slot
            // add up to that slot's own row.
            if (linked < 0) continue;
            for (int m = 0; m < 12; ++m)
                EXPECT_NEAR(marginal[m], tables->slotTable[linked][m], 0.01f)
                    << "slot " << p << " link " << j << " code " << m + 1;
        }
    }
}

TEST_F(ShippedData, EveryFormationIsLegalAndUnrated) {
    ASSERT_GE(db->count, 100);
    ASSERT_LE(db->count, kStudyRecordLimit + 3);  // the study's cut
    TestGame t;
    GameState& g = t.g();
    const NameTable names;
    for (int n = 0; n < db->count; ++n) {
        const ZfRecord& rec = db->slots[n];
        ASSERT_TRUE(IsLegalFormation(rec.codes)) << "record " << n;
        EXPECT_EQ(rec.score, 0) << "record " << n;
        const uint8_t* raw = zf.data() + 4 + 32 * n;
        EXPECT_EQ(raw[25] | raw[26] | raw[27], 0) << "record " << n;
        // The same formation on all four seats passes the deployment check.
        CodeTable codes;
        for (int s = 0; s < 4; ++s)
            for (int k = 0; k < 25; ++k) codes.rows[s][k] = rec.codes[k];
        LayoutBattle(g, 0, codes, names);
        ASSERT_EQ(ValidateDeployment(g), 0) << "record " << n;
    }
    for (size_t i = 4 + 32 * static_cast<size_t>(db->count); i < zf.size(); ++i)
        ASSERT_EQ(zf[i], 0) << "unused slots are zero, byte " << i;
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
    // The statistics seeded the beliefs: each vector sums to 100, and the
    // computer expects no flag outside a headquarters.
    for (int i = 0; i < 100; ++i)
        for (int o = 0; o < 4; ++o) {
            const float* row = g.pieces[i].beliefs[o];
            EXPECT_NEAR(Sum12(row), 100.0f, 0.01f) << "piece " << i;
            if (i % 25 != 21 && i % 25 != 23) {
                EXPECT_EQ(row[kFlag - 1], 0.0f) << "piece " << i;
            }
        }
    // The link table was loaded as it stands in the file.
    EXPECT_EQ(std::memcmp(g.slotCorrelation, tables->linkTable, sizeof tables->linkTable), 0);

    // "其它阵法" draws from the same database, again silently.
    OtherFormationForSeat0(g);
    EXPECT_TRUE(t.ui.boxes.empty());
    int8_t seat0[25];
    for (int k = 0; k < 25; ++k) seat0[k] = static_cast<int8_t>(g.pieces[k].code);
    EXPECT_TRUE(IsLegalFormation(seat0));
}

}  // namespace
}  // namespace jq
