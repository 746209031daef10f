#include <gtest/gtest.h>

#include <climits>

#include "core/text.h"
#include "formations/formation.h"
#include "formations/formationfile.h"
#include "records/battlefile.h"
#include "records/fileio.h"
#include "support/files_support.h"

namespace jq {
namespace {

using test::TestGame;
using test::WriteBytes;

SeatCodes Deal(GameState& g, uint32_t seed) {
    g.mainRandom.Seed(seed);
    int8_t codes[kPiecesPerSeat];
    GenerateFormation(g.mainRandom, codes);
    for (int k = 0; k < kPiecesPerSeat; ++k) g.pieces[k].code = codes[k];
    return SeatZeroCodes(g);
}

TEST(FormationFile, SaveThenLoadRestoresSeatZeroWhateverTheHeadAndCase) {
    TestGame t;
    const SeatCodes saved = Deal(t.g(), 1);
    ASSERT_TRUE(SaveFormationFile(t.g(), t.Path("mine.kjq")));
    std::vector<uint8_t> bytes = test::ReadBytes(t.Path("mine.kjq"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).substr(0, 30), kBattleMagic);
    for (int i = 0; i < 30; ++i) bytes[i] = 0xEE;
    WriteBytes(t.Path("OTHER.KJQ"), bytes);
    for (const char* name : {"mine.kjq", "OTHER.KJQ"}) {
        Deal(t.g(), 2);
        ASSERT_TRUE(LoadFormationByExtension(t.g(), t.Path(name))) << name;
        EXPECT_EQ(SeatZeroCodes(t.g()), saved) << name;
    }
    EXPECT_EQ(t.ui.redraws, 2);
}

TEST(FormationFile, RefusedFilesChangeNothingAndNameThePath) {
    TestGame t;
    const std::vector<uint8_t> good = EncodeFormationFile(Deal(t.g(), 4));
    std::vector<uint8_t> bad = good;
    WriteBytes(t.Path("cut.kjq"), std::vector<uint8_t>(good.begin(), good.end() - 1));
    bad[30 + 24] = 0;
    WriteBytes(t.Path("zero.kjq"), bad);
    bad[30 + 24] = 13;
    WriteBytes(t.Path("thirteen.kjq"), bad);
    WriteBytes(t.Path("good.kbt"), good);
    const SeatCodes before = Deal(t.g(), 6);
    for (const char* name : {"zero.kjq", "thirteen.kjq", "cut.kjq", "missing.kjq"}) {
        t.ui.boxes.clear();
        EXPECT_FALSE(LoadFormationFile(t.g(), t.Path(name)));
        ASSERT_EQ(t.ui.boxes.size(), 1u) << name;
        EXPECT_EQ(t.ui.boxes[0].text, Gb("棋子格式非法，请删除文件---") + Gb(t.Path(name)));
    }
    // Other extensions load nothing at all.
    for (const char* name : {"good.kbt", "kjq", "good.kjq.bak"}) EXPECT_FALSE(LoadFormationByExtension(t.g(), t.Path(name)));
    EXPECT_EQ(SeatZeroCodes(t.g()), before);
    EXPECT_EQ(t.ui.redraws, 0);

    t.ui.boxes.clear();
    EXPECT_FALSE(SaveFormationFile(t.g(), t.Path("no/such/folder.kjq")));
    EXPECT_EQ(t.ui.boxes.at(0).text, Gb("保存结果文件不成功！！！"));
}

TEST(FormationGrid, CellValuesMapOnlyThroughTheTable) {
    const int32_t cells[][2] = {{1, 5}, {8, 12}, {9, 1}, {10, 4}, {11, 2}, {12, 3}, {101, 5}, {109, 1}, {110, 4},
                                {0, 1}, {13, 1}, {113, 1}, {99, 1}, {-1, 1}, {-110, 1}, {INT_MIN, 1}, {INT_MAX, 1}};
    for (const auto& c : cells) EXPECT_EQ(JqsPieceCode(c[0]), c[1]) << c[0];
}

TEST(FormationGrid, SeatOnesPointsGiveTheSlotsAndAShortFileReadsAsZero) {
    auto cellOf = [](int k) {
        const BoardPoint& p = Board().boardPoints[30 + k];
        return 17 * (p.gridX - 12) + p.gridY - 12;
    };
    // Foreign code 1 + k % 12 on point 30 + k, 10 everywhere else.
    std::vector<uint8_t> image(kJqsFileBytes, 0);
    for (int cell = 0; cell < kJqsSide * kJqsSide; ++cell) PutI32(image.data() + 108 + 4 * cell, 10);
    for (int k = 0; k < kPiecesPerSeat; ++k) PutI32(image.data() + 108 + 4 * cellOf(k), 201 + k % 12);
    // Cut within seat 1's area: slots it no longer reaches get code 1.
    const int cut = cellOf(12);
    image.resize(108 + 4 * cut);
    TestGame t;
    WriteBytes(t.Path("b.JQS"), image);
    ASSERT_TRUE(LoadFormationByExtension(t.g(), t.Path("b.JQS")));
    for (int k = 0; k < kPiecesPerSeat; ++k)
        EXPECT_EQ(t.g().pieces[k].code, cellOf(k) < cut ? JqsPieceCode(1 + k % 12) : int{kFlag}) << k;
    const SeatCodes before = SeatZeroCodes(t.g());
    EXPECT_FALSE(LoadFormationGrid(t.g(), t.Path("missing.jqs")));
    EXPECT_EQ(SeatZeroCodes(t.g()), before);
}

}  // namespace
}  // namespace jq
