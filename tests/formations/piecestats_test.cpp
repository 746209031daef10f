#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "core/text.h"
#include "formations/formation.h"
#include "formations/piecestats.h"
#include "records/battlefile.h"
#include "records/fileio.h"
#include "support/files_support.h"

namespace jq {
namespace {

using test::ReadBytes;
using test::TestGame;
using test::WriteBytes;

const std::string kDefaultsMessage = "采用默认子力分布！！     ";

float RowSum(const float* row) {
    float sum = 0;
    for (int c = 0; c < 12; ++c) sum += row[c];
    return sum;
}

// A battle record whose four seats hold formations dealt from `seed`.
BattleFile MakeRecord(uint32_t seed) {
    BattleFile file;
    GameRandom rng;
    rng.Seed(seed);
    for (int s = 0; s < 4; ++s) GenerateFormation(rng, file.codes.rows[s]);
    return file;
}

std::string KbtFolder(TestGame& t) {
    const std::string folder = t.Path("kbtfiles");
    std::filesystem::create_directory(folder);
    return folder;
}

void ExpectDefaultBeliefs(const GameState& g) {
    for (int i = 0; i < 100; ++i) {
        const int slot = i % 25;
        for (int o = 0; o < 4; ++o) {
            const float* row = g.pieces[i].beliefs[o];
            EXPECT_NEAR(RowSum(row), 100.0f, 0.01f) << i;
            if (slot != 21 && slot != 23) {
                EXPECT_EQ(row[kFlag - 1], 0.0f) << i;
            }
            if (slot < 15) {
                EXPECT_EQ(row[kMine - 1], 0.0f) << i;
            }
            if (slot < 5) {
                EXPECT_EQ(row[kBomb - 1], 0.0f) << i;
            }
        }
    }
    // Balanced: the flag beliefs of a seat share 100 between the two
    // headquarters.
    EXPECT_NEAR(g.pieces[21].beliefs[1][0] + g.pieces[23].beliefs[1][0], 100.0f, 1.0f);
}

TEST(PieceStatsFile, DecodeReadsShortFilesIntoZeroedTables) {
    PieceStatTables tables;
    tables.slotTable[3][4] = 12.5f;
    tables.linkTable[24][11][2][11] = 100.0f;
    const std::vector<uint8_t> image = EncodePieceStats(tables);
    ASSERT_EQ(image.size(), 44700u);
    EXPECT_EQ(GetF32(image.data() + 4 * (15 * 3 + 4)), 12.5f);

    PieceStatTables back;
    back.linkTable[24][11][2][11] = 55.0f;  // must not survive a short read
    ASSERT_EQ(DecodePieceStats(image.data(), 1500 + 10, back), StatError::kNone);
    EXPECT_EQ(back.slotTable[3][4], 12.5f);
    EXPECT_EQ(back.linkTable[24][11][2][11], 0.0f);

    std::vector<uint8_t> longer = image;
    longer.resize(50000, 0xFF);  // NaN bytes after the end are not read
    ASSERT_EQ(DecodePieceStats(longer.data(), longer.size(), back), StatError::kNone);
    EXPECT_EQ(back.linkTable[24][11][2][11], 100.0f);
}

TEST(PieceStatsFile, DecodeRefusesValuesThatAreNoPercentages) {
    const std::vector<uint8_t> good = EncodePieceStats(PieceStatTables{});
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(), -0.5f, 100.01f, 1e30f};
    for (float v : bad)
        for (size_t offset : {size_t{0}, size_t{1500 + 4 * 777}, size_t{44696}}) {
            std::vector<uint8_t> image = good;
            PutF32(image.data() + offset, v);
            PieceStatTables out;
            EXPECT_EQ(DecodePieceStats(image.data(), image.size(), out), StatError::kBadValue) << v << " @" << offset;
        }
    std::vector<uint8_t> edge = good;
    PutF32(edge.data(), 100.0f);
    PutF32(edge.data() + 4, -0.0f);
    PieceStatTables out;
    EXPECT_EQ(DecodePieceStats(edge.data(), edge.size(), out), StatError::kNone);
}

TEST(PieceStatsLoad, MissingFileGivesDefaultsAndKeepsTheLinks) {
    TestGame t;
    t.g().slotCorrelation[7][2][1][5] = 42.0f;
    LoadPieceStats(t.g());
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0], Gb(kDefaultsMessage));
    EXPECT_EQ(t.g().slotCorrelation[7][2][1][5], 42.0f);
    ExpectDefaultBeliefs(t.g());
}

TEST(PieceStatsLoad, HostileFilesGiveDefaults) {
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -1.0f,
                         250.0f};
    for (float v : bad) {
        TestGame t;
        PieceStatTables tables;
        for (auto& row : tables.slotTable)
            for (int c = 0; c < 12; ++c) row[c] = 100.0f / 12;
        tables.linkTable[10][3][0][6] = v;
        ASSERT_TRUE(ReplaceFile(PieceStatsPath(t.g()), EncodePieceStats(tables)));
        t.g().slotCorrelation[0][0][0][0] = 9.0f;
        LoadPieceStats(t.g());
        ASSERT_EQ(t.ui.messages.size(), 1u) << v;
        EXPECT_EQ(t.ui.messages[0], Gb(kDefaultsMessage));
        EXPECT_EQ(t.g().slotCorrelation[0][0][0][0], 9.0f);
        EXPECT_EQ(t.g().slotCorrelation[10][3][0][6], 0.0f);
        ExpectDefaultBeliefs(t.g());
    }
}

TEST(PieceStatsLoad, GoodFileSeedsBeliefsAndReplacesTheLinksWhole) {
    TestGame t;
    PieceStatTables tables;
    for (int p = 0; p < 25; ++p)
        for (int c = 0; c < 12; ++c) tables.slotTable[p][c] = 100.0f / 12;
    tables.linkTable[0][0][0][0] = 100.0f;
    std::vector<uint8_t> image = EncodePieceStats(tables);
    image.resize(1500 + 400);  // the rest of the link table is missing
    WriteBytes(PieceStatsPath(t.g()), image);
    t.g().slotCorrelation[20][5][1][3] = 77.0f;  // stale, beyond the short file
    LoadPieceStats(t.g());
    EXPECT_TRUE(t.ui.messages.empty());
    EXPECT_EQ(t.g().slotCorrelation[0][0][0][0], 100.0f);
    EXPECT_EQ(t.g().slotCorrelation[20][5][1][3], 0.0f);
    ExpectDefaultBeliefs(t.g());
}

TEST(PieceStatsBalance, RowNormalisingCleansSmallAndBrokenWeights) {
    PieceTable table{};
    float* row = table[0].beliefs[0];
    row[0] = 0.0001f;
    row[1] = 0.00005f;
    row[2] = -3.0f;
    row[3] = std::numeric_limits<float>::quiet_NaN();
    row[4] = std::numeric_limits<float>::infinity();
    row[5] = 1.0f;
    row[6] = 3.0f;
    float* tiny = table[1].beliefs[2];
    tiny[0] = 0.0001f;
    tiny[11] = 0.00009f;
    NormalisePieceStatRows(table);
    for (int c : {0, 1, 2, 3, 4, 7}) EXPECT_EQ(row[c], 0.0f) << c;
    EXPECT_FLOAT_EQ(row[5], 25.0f);
    EXPECT_FLOAT_EQ(row[6], 75.0f);
    for (int c = 0; c < 12; ++c) EXPECT_EQ(tiny[c], 0.0f);
}

TEST(PieceStatsBalance, AZeroSeatColumnEndsThePass) {
    PieceTable table{};
    for (PieceRec& p : table)
        for (auto& row : p.beliefs)
            for (float& w : row) w = 1.0f;
    // Observer 0, code 3 (index 2): seat 2's column is empty.
    for (int slot = 0; slot < 25; ++slot) table[50 + slot].beliefs[0][2] = 0.0f;
    ScalePieceStatColumns(table);
    // Codes 1 and 2 of observer 0 were scaled to their targets (100, 300 per
    // seat over 25 slots); code 4 and observer 1 were not.
    EXPECT_FLOAT_EQ(table[0].beliefs[0][0], 4.0f);
    EXPECT_FLOAT_EQ(table[30].beliefs[0][1], 12.0f);
    EXPECT_FLOAT_EQ(table[0].beliefs[0][3], 1.0f);
    EXPECT_FLOAT_EQ(table[0].beliefs[1][0], 1.0f);
}

TEST(PieceStatsBuild, CountsTheRecordsOfTheFolder) {
    TestGame t;
    const std::string folder = KbtFolder(t);
    std::vector<BattleFile> records;
    for (uint32_t seed : {11u, 22u, 33u}) {
        records.push_back(MakeRecord(seed));
        WriteBytes(folder + "/b" + std::to_string(seed) + ".kbt", EncodeBattleFile(records.back()));
    }
    ASSERT_TRUE(BuildPieceStatsFile(t.g()));
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.boxes[0].text, Gb("成功分析3个文件！"));
    EXPECT_EQ(t.ui.boxes[0].caption, Gb("确认"));

    const std::vector<uint8_t> image = ReadBytes(PieceStatsPath(t.g()));
    PieceStatTables stats;
    ASSERT_EQ(DecodePieceStats(image.data(), image.size(), stats), StatError::kNone);
    const auto& links = Board().deploySlotLinks;
    for (int p = 0; p < 25; ++p) {
        EXPECT_NEAR(RowSum(stats.slotTable[p]), 100.0f, 1e-3f) << p;
        // Nine deployments (seats 1..3 of three files): each counts 100/9.
        for (int c = 0; c < 12; ++c) {
            int n = 0;
            for (const BattleFile& f : records)
                for (int s = 1; s < 4; ++s) n += f.codes.rows[s][p] == c + 1;
            EXPECT_NEAR(stats.slotTable[p][c], n * 100.0f / 9, 1e-3f) << p << "," << c;
        }
        for (int k = 0; k < 12; ++k)
            for (int j = 0; j < 3; ++j) {
                const float sum = RowSum(stats.linkTable[p][k][j]);
                if (links[p][j] < 0 || stats.slotTable[p][k] == 0.0f)
                    EXPECT_EQ(sum, 0.0f);
                else
                    EXPECT_NEAR(sum, 100.0f, 1e-3f);
            }
    }
    EXPECT_EQ(stats.slotTable[21][0] + stats.slotTable[23][0], 100.0f);
}

TEST(PieceStatsBuild, EmptyFolderWritesZeros) {
    TestGame t;  // no "kbtfiles" folder at all
    ASSERT_TRUE(BuildPieceStatsFile(t.g()));
    EXPECT_EQ(ReadBytes(PieceStatsPath(t.g())), std::vector<uint8_t>(44700, 0));
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.boxes[0].text, Gb("成功分析0个文件！"));
}

TEST(PieceStatsBuild, SeatsLeftOutAndBadCodes) {
    PieceStatTables counts;
    BattleFile file = MakeRecord(5);
    std::vector<uint8_t> image = EncodeBattleFile(file);
    ASSERT_EQ(AccumulateFormationStats(image.data(), image.size(), counts), AccumulateResult::kCounted);
    EXPECT_EQ(RowSum(counts.slotTable[0]), 3.0f);  // seats 1..3

    counts = PieceStatTables{};
    image[30] = 0x81;  // -127: a negative remainder leaves no seat out
    image[31 + 45 * 2 + 20] = kFlag;  // seat 2's flag on slot 0: not counted
    ASSERT_EQ(AccumulateFormationStats(image.data(), image.size(), counts), AccumulateResult::kCounted);
    EXPECT_EQ(RowSum(counts.slotTable[0]), 3.0f);  // seats 0, 1, 3

    counts = PieceStatTables{};
    image = EncodeBattleFile(file);
    image[31 + 45 * 2 + 20 + 24] = 13;  // seat 2, slot 24 (linked from 19 and 23)
    EXPECT_EQ(AccumulateFormationStats(image.data(), image.size(), counts), AccumulateResult::kBadCode);
    EXPECT_EQ(RowSum(counts.slotTable[0]), 1.0f);  // seat 1 only

    // A file that ends inside seat 1's codes: seat 1 reads code 0.
    counts = PieceStatTables{};
    image = EncodeBattleFile(file);
    image.resize(31 + 45 + 30);
    EXPECT_EQ(AccumulateFormationStats(image.data(), image.size(), counts), AccumulateResult::kBadCode);
    EXPECT_EQ(RowSum(counts.slotTable[0]), 0.0f);
    EXPECT_EQ(AccumulateFormationStats(nullptr, 0, counts), AccumulateResult::kBadCode);
}

TEST(PieceStatsBuild, ABadFileIsNamedAndTheScanGoesOn) {
    TestGame t;
    const std::string folder = KbtFolder(t);
    std::vector<uint8_t> bad = EncodeBattleFile(MakeRecord(1));
    bad[31 + 45 + 20 + 3] = 0;  // seat 1, slot 3
    WriteBytes(folder + "/a.kbt", bad);
    WriteBytes(folder + "/b.kbt", EncodeBattleFile(MakeRecord(2)));
    WriteBytes(folder + "/notes.txt", {1, 2, 3});
    ASSERT_TRUE(BuildPieceStatsFile(t.g()));
    ASSERT_EQ(t.ui.boxes.size(), 2u);
    EXPECT_EQ(t.ui.boxes[0].text, Gb("棋子格式非法，请删除文件---") + Gb(folder + "/a.kbt"));
    EXPECT_EQ(t.ui.boxes[0].caption, Gb("警告"));
    EXPECT_EQ(t.ui.boxes[1].text, Gb("成功分析2个文件！"));
}

TEST(PieceStatsBuild, UnwritableResultIsReported) {
    TestGame t;
    t.g().appFolder = t.Path("missing/");
    EXPECT_FALSE(BuildPieceStatsFile(t.g()));
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.boxes[0].text, Gb("保存结果文件不成功！！！"));
    EXPECT_EQ(t.ui.boxes[0].caption, Gb("警告"));
}

}  // namespace
}  // namespace jq
