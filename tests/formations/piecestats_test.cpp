#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

#include "core/text.h"
#include "formations/formation.h"
#include "formations/piecestats.h"
#include "records/battlefile.h"
#include "records/fileio.h"
#include "support/dealt.h"
#include "support/files_support.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::ReadBytes;
using test::TestGame;
using test::WriteBytes;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Every belief row sums to 100 and expects nothing the deployment rules forbid.
void ExpectDeploymentBeliefs(const GameState& g) {
    for (int i = 0; i < 100; ++i)
        for (int o = 0; o < 4; ++o) {
            const float* row = g.pieces[i].beliefs[o];
            const int slot = i % 25;
            ASSERT_NEAR(test::Sum12(row), 100.0f, 0.01f) << i;
            ASSERT_TRUE((slot == 21 || slot == 23 || row[kFlag - 1] == 0.0f) && (slot >= 15 || row[kMine - 1] == 0.0f) &&
                        (slot >= 5 || row[kBomb - 1] == 0.0f)) << i;
        }
    EXPECT_NEAR(g.pieces[21].beliefs[1][0] + g.pieces[23].beliefs[1][0], 100.0f, 1.0f);
}

TEST(PieceStatsFile, ShortFilesReadAsZeroAndValuesThatAreNoPercentagesAreRefused) {
    PieceStatTables tables;
    tables.slotTable[3][4] = 12.5f;
    tables.linkTable[24][11][2][11] = 100.0f;
    const std::vector<uint8_t> image = EncodePieceStats(tables);
    ASSERT_EQ(image.size(), 44700u);
    EXPECT_EQ(GetF32(image.data() + 4 * (15 * 3 + 4)), 12.5f);
    PieceStatTables back;
    back.linkTable[24][11][2][11] = 55.0f;  // must not survive a short read
    ASSERT_EQ(DecodePieceStats(image.data(), 1500 + 10, back), StatError::kNone);
    EXPECT_TRUE(back.slotTable[3][4] == 12.5f && back.linkTable[24][11][2][11] == 0.0f);
    std::vector<uint8_t> longer = image;
    longer.resize(50000, 0xFF);  // NaN bytes after the end are not read
    ASSERT_EQ(DecodePieceStats(longer.data(), longer.size(), back), StatError::kNone);
    EXPECT_EQ(back.linkTable[24][11][2][11], 100.0f);

    for (float v : {kNaN, kInf, -kInf, -0.5f, 100.01f, 1e30f})
        for (size_t offset : {size_t{0}, size_t{1500 + 4 * 777}, size_t{44696}}) {
            std::vector<uint8_t> bad = image;
            PutF32(bad.data() + offset, v);
            EXPECT_EQ(DecodePieceStats(bad.data(), bad.size(), back), StatError::kBadValue) << v << " @" << offset;
            EXPECT_EQ(back.slotTable[3][4], 0.0f);
        }
    std::vector<uint8_t> edge = image;
    PutF32(edge.data(), 100.0f);
    PutF32(edge.data() + 4, -0.0f);
    EXPECT_EQ(DecodePieceStats(edge.data(), edge.size(), back), StatError::kNone);
}

TEST(PieceStatsLoad, DefaultsForAMissingOrHostileFileElseTheFileSeedsTheBeliefs) {
    for (float v : {-1.0f /* no file */, kNaN, kInf, 250.0f, 0.0f /* good */}) {
        TestGame t;
        PieceStatTables tables;
        for (auto& row : tables.slotTable)
            for (int c = 0; c < 12; ++c) row[c] = 100.0f / 12;
        tables.slotTable[7][2] = v;
        tables.linkTable[0][0][0][0] = 100.0f;
        std::vector<uint8_t> image = EncodePieceStats(tables);
        image.resize(1500 + 400);  // the rest of the link table is missing
        if (v != -1.0f) WriteBytes(PieceStatsPath(t.g()), image);
        t.g().slotCorrelation[0][0][0][0] = 9.0f;
        t.g().slotCorrelation[20][5][1][3] = 77.0f;  // beyond the short file
        LoadPieceStats(t.g());
        const bool good = v == 0.0f;
        EXPECT_EQ(t.ui.messages, good ? std::vector<std::string>{} : std::vector<std::string>{Gb("采用默认子力分布！！     ")});
        // The links are replaced whole, or kept as they were.
        EXPECT_EQ(t.g().slotCorrelation[0][0][0][0], good ? 100.0f : 9.0f) << v;
        EXPECT_EQ(t.g().slotCorrelation[20][5][1][3], good ? 0.0f : 77.0f) << v;
        ExpectDeploymentBeliefs(t.g());
    }
}

TEST(PieceStatsBalance, RowsAndColumns) {
    PieceTable table{};
    float* row = table[0].beliefs[0];
    const float weights[8] = {0.0001f, 0.00005f, -3.0f, kNaN, kInf, 1.0f, 3.0f, 0.0f};
    std::copy(weights, weights + 8, row);
    float* tiny = table[1].beliefs[2];
    tiny[0] = 0.0001f;
    tiny[11] = 0.00009f;
    NormalisePieceStatRows(table);
    EXPECT_EQ(std::vector<float>(row, row + 8), (std::vector<float>{0, 0, 0, 0, 0, 25, 75, 0}));
    EXPECT_EQ(test::Sum12(tiny), 0.0f);

    for (PieceRec& p : table)
        for (auto& r : p.beliefs)
            for (float& w : r) w = 1.0f;
    // Observer 0, code 3: seat 2's column is empty, which ends the pass.
    for (int slot = 0; slot < 25; ++slot) table[50 + slot].beliefs[0][2] = 0.0f;
    ScalePieceStatColumns(table);
    // Codes 1 and 2 of observer 0 were scaled to their targets (100, 300 per
    // seat over 25 slots); code 4 and observer 1 were not.
    EXPECT_FLOAT_EQ(table[0].beliefs[0][0], 4.0f);
    EXPECT_FLOAT_EQ(table[30].beliefs[0][1], 12.0f);
    EXPECT_FLOAT_EQ(table[0].beliefs[0][3], 1.0f);
    EXPECT_FLOAT_EQ(table[0].beliefs[1][0], 1.0f);
}

TEST(PieceStatsBuild, CountsTheRecordsOfTheFolderNamingTheBadOnes) {
    TestGame t;
    const std::string folder = t.Path("kbtfiles");
    std::filesystem::create_directory(folder);
    std::vector<BattleFile> records;
    for (uint32_t seed : {11u, 22u, 33u}) {
        records.push_back(test::DealRecord(seed));
        WriteBytes(folder + "/b" + std::to_string(seed) + ".kbt", EncodeBattleFile(records.back()));
    }
    std::vector<uint8_t> bad = EncodeBattleFile(test::DealRecord(1));
    bad[31 + 45 + 20 + 3] = 0;  // seat 1, slot 3: nothing of this file counts
    WriteBytes(folder + "/a.kbt", bad);
    WriteBytes(folder + "/notes.txt", {1, 2, 3});
    ASSERT_TRUE(BuildPieceStatsFile(t.g()));
    ASSERT_EQ(t.ui.boxes.size(), 2u);
    EXPECT_EQ(t.ui.boxes[0].text + t.ui.boxes[0].caption, Gb("棋子格式非法，请删除文件---") + Gb(folder + "/a.kbt") + Gb("警告"));
    EXPECT_EQ(t.ui.boxes[1].text + t.ui.boxes[1].caption, Gb("成功分析4个文件！确认"));
    const std::vector<uint8_t> image = ReadBytes(PieceStatsPath(t.g()));
    PieceStatTables stats;
    ASSERT_EQ(DecodePieceStats(image.data(), image.size(), stats), StatError::kNone);
    const auto& links = Board().deploySlotLinks;
    for (int p = 0; p < 25; ++p) {
        int flags = 0;  // nine deployments (seats 1..3 of three files): each counts 100/9
        for (const BattleFile& f : records)
            for (int s = 1; s < 4; ++s) flags += f.codes.rows[s][p] == kFlag;
        EXPECT_NEAR(stats.slotTable[p][kFlag - 1], flags * 100.0f / 9, 1e-3f) << p;
        EXPECT_NEAR(test::Sum12(stats.slotTable[p]), 100.0f, 1e-3f) << p;
        for (int k = 0; k < 12; ++k)
            for (int j = 0; j < 3; ++j) {
                const bool counted = links[p][j] >= 0 && stats.slotTable[p][k] != 0.0f;
                EXPECT_NEAR(test::Sum12(stats.linkTable[p][k][j]), counted ? 100.0f : 0.0f, 1e-3f);
            }
    }
    // What stands beside the flag on slot 21 (links 16, 20, 22) is counted
    // from the linked slots of the same deployments.
    for (int j = 0; j < 3; ++j) {
        const int linked = links[21][j];
        for (int m = 0; m < 12; ++m) {
            int n = 0, flags = 0;
            for (const BattleFile& f : records)
                for (int s = 1; s < 4; ++s) {
                    flags += f.codes.rows[s][21] == kFlag;
                    n += f.codes.rows[s][21] == kFlag && f.codes.rows[s][linked] == m + 1;
                }
            ASSERT_GT(flags, 0);
            EXPECT_NEAR(stats.linkTable[21][0][j][m], n * 100.0f / flags, 1e-3f) << j << "," << m;
        }
    }
}

TEST(PieceStatsBuild, SeatsLeftOutEmptyFoldersAndUnwritableResults) {
    PieceStatTables counts;
    std::vector<uint8_t> image = EncodeBattleFile(test::DealRecord(5));
    ASSERT_EQ(AccumulateFormationStats(image.data(), image.size(), counts), AccumulateResult::kCounted);
    EXPECT_EQ(test::Sum12(counts.slotTable[0]), 3.0f);  // seats 1..3
    counts = PieceStatTables{};
    image[30] = 0x81;  // -127: a negative remainder leaves no seat out
    image[31 + 45 * 2 + 20] = kFlag;  // seat 2's flag on slot 0: not counted
    ASSERT_EQ(AccumulateFormationStats(image.data(), image.size(), counts), AccumulateResult::kCounted);
    EXPECT_EQ(test::Sum12(counts.slotTable[0]), 3.0f);  // seats 0, 1, 3
    counts = PieceStatTables{};
    image.resize(31 + 45 + 30);  // ends inside seat 1's codes
    EXPECT_EQ(AccumulateFormationStats(image.data(), image.size(), counts), AccumulateResult::kBadCode);
    EXPECT_EQ(test::Sum12(counts.slotTable[0]), 1.0f);  // seat 0 only
    EXPECT_EQ(AccumulateFormationStats(nullptr, 0, counts), AccumulateResult::kBadCode);

    TestGame t;  // no "kbtfiles" folder at all
    ASSERT_TRUE(BuildPieceStatsFile(t.g()));
    EXPECT_EQ(ReadBytes(PieceStatsPath(t.g())), std::vector<uint8_t>(44700, 0));
    EXPECT_EQ(t.ui.boxes.back().text, Gb("成功分析0个文件！"));
    t.g().appFolder = t.Path("missing/");
    EXPECT_FALSE(BuildPieceStatsFile(t.g()));
    EXPECT_EQ(t.ui.boxes.back().text + t.ui.boxes.back().caption, Gb("保存结果文件不成功！！！警告"));
}

}  // namespace
}  // namespace jq
