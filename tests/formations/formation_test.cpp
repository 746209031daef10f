#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "core/text.h"
#include "formations/formation.h"
#include "formations/formationfile.h"
#include "formations/newbattle.h"
#include "formations/piecestats.h"
#include "formations/study.h"
#include "formations/zffile.h"
#include "records/battlefile.h"
#include "records/fileio.h"
#include "support/dealt.h"
#include "support/fake_computer.h"
#include "support/files_support.h"
#include "support/scene.h"
#include "view/deployment.h"

namespace jq {
namespace {

using test::TestGame;
using test::WriteBytes;

TEST(Formation, GeneratedFormationsAreLegalAndReproducible) {
    bool flagLeft = false, flagRight = false;
    for (uint32_t seed = 0; seed < 2000; ++seed) {
        const BattleFile a = test::DealRecord(seed), b = test::DealRecord(seed);
        const int8_t* codes = a.codes.rows[1];
        ASSERT_TRUE(IsLegalFormation(codes) && std::memcmp(codes, b.codes.rows[1], 25) == 0) << "seed " << seed;
        flagLeft |= codes[21] == kFlag;
        flagRight |= codes[23] == kFlag;
    }
    EXPECT_TRUE(flagLeft && flagRight);
}

TEST(Formation, EachBrokenRuleIsRefused) {
    int8_t legal[25];
    std::copy(test::kArmy, test::kArmy + 25, legal);
    ASSERT_TRUE(IsLegalFormation(legal));
    const auto changed = [&](int a, int b, int code = 0) {
        int8_t c[25];
        std::memcpy(c, legal, 25);
        std::swap(c[a], c[b]);
        if (code != 0) c[a] = static_cast<int8_t>(code);
        return IsLegalFormation(c);
    };
    // The flag outside a headquarters and in the other one, a mine before and in the last two rows, a
    // bomb in the front row and behind it.
    EXPECT_TRUE(!changed(21, 20) && changed(21, 23) && !changed(16, 14) && changed(16, 15) && !changed(19, 4) && changed(19, 5));
    EXPECT_FALSE(changed(15, 15, kEngineer));  // one commander too few, one engineer too many
    for (int bad : {13, -1}) EXPECT_FALSE(changed(4, 4, bad)) << bad;
}

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
    WriteBytes(t.Path("zero.kjq"), (bad[30 + 24] = 0, bad));
    WriteBytes(t.Path("thirteen.kjq"), (bad[30 + 24] = 13, bad));
    WriteBytes(t.Path("good.kbt"), good);
    const SeatCodes before = Deal(t.g(), 6);
    for (const char* name : {"zero.kjq", "thirteen.kjq", "cut.kjq", "missing.kjq"}) {
        EXPECT_FALSE(LoadFormationFile(t.g(), t.Path(name)));
        EXPECT_EQ(t.ui.boxes.back().text, Gb("棋子格式非法，请删除文件---") + Gb(t.Path(name)));
    }
    // Other extensions load nothing at all.
    for (const char* name : {"good.kbt", "kjq", "good.kjq.bak"}) EXPECT_FALSE(LoadFormationByExtension(t.g(), t.Path(name)));
    EXPECT_TRUE(SeatZeroCodes(t.g()) == before && t.ui.redraws == 0 && t.ui.boxes.size() == 4);
    EXPECT_FALSE(SaveFormationFile(t.g(), t.Path("no/such/folder.kjq")));
    EXPECT_EQ(t.ui.boxes.back().text, Gb("保存结果文件不成功！！！"));
}

TEST(FormationGrid, CellValuesMapOnlyThroughTheTable) {
    const int32_t cells[][2] = {{1, 5}, {8, 12}, {9, 1}, {10, 4}, {11, 2}, {12, 3}, {101, 5}, {109, 1}, {110, 4},
                                {0, 1}, {13, 1}, {113, 1}, {99, 1}, {-1, 1}, {-110, 1}, {INT_MIN, 1}, {INT_MAX, 1}};
    for (const auto& c : cells) EXPECT_EQ(JqsPieceCode(c[0]), c[1]) << c[0];
}

TEST(FormationGrid, SeatOnesPointsGiveTheSlotsAndAShortFileReadsAsZero) {
    auto cellOf = [](int k) { return 17 * (Board().boardPoints[30 + k].gridX - 12) + Board().boardPoints[30 + k].gridY - 12; };
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
    EXPECT_FALSE(LoadFormationGrid(t.g(), t.Path("missing.jqs")));
    EXPECT_EQ(t.g().pieces[0].code, JqsPieceCode(1));
}

bool SeatIsLegal(const GameState& g, int seat) {
    int8_t codes[25];
    for (int k = 0; k < 25; ++k) codes[k] = static_cast<int8_t>(g.pieces[seat * 25 + k].code);
    return IsLegalFormation(codes);
}

TEST(NewBattle, ResetsAReplayInTheMiddleAndDealsLegalFormations) {
    TestGame t;
    GameState& g = t.g();
    test::FakeComputer computer;
    computer.idle = false;
    g.computer = &computer;
    // A replay with the other seats face up, steps taken, pieces gone.
    g.replayFileName = "some.kbt";
    g.clickStepCount = 10;
    g.autoPlay = g.peaceAgreed = g.stepLimitReached = g.viewOtherFormations = 1;
    g.selectedPiece = 7;
    g.stepCount = 123;
    g.stepRecords[515] = StepRec{1, 2, 3, 4, 5, 6, 7};
    std::memset(g.eliminatedPieces, 3, sizeof g.eliminatedPieces);
    g.optionsRecord.turnDirectionOption = 0;  // a record that was never saved
    g.optionsRecord.aiLevel = 1;
    std::strcpy(g.optionsRecord.playerNames[0], "  Me ");
    ASSERT_TRUE(NewBattleAgainstComputer(g));

    // Neither a formation database nor the statistics file is there.
    EXPECT_TRUE(computer.stops == 1 && t.ui.boxes.size() == 1);
    EXPECT_EQ(t.ui.messages, std::vector<std::string>{Gb("采用默认子力分布！！     ")});
    for (int s = 0; s < 4; ++s) EXPECT_TRUE(SeatIsLegal(g, s) && g.zfChosenIndex[s] == -1) << "seat " << s;
    for (int i = 0; i < 100; ++i)  // the deployed copy is what a save during the deployment writes
        EXPECT_TRUE(g.pieces[i].alive == 1 && g.deployedPieces[i].code == g.pieces[i].code) << i;
    EXPECT_EQ(g.battleRunning + g.deployPhase + g.practiceMode + g.clickStepCount + g.turnDirection, 5);
    EXPECT_EQ(g.computerSeat[0] * 10 + g.computerSeat[1] + g.computerSeat[2] + g.computerSeat[3], 3);
    EXPECT_EQ(g.replayFileName, "NONE");
    EXPECT_EQ(g.autoPlay + g.peaceAgreed + g.stepLimitReached + g.netConnected + g.viewOtherFormations, 0);
    EXPECT_EQ(std::pair(g.selectedPiece, g.stepCount), std::pair(int{kNoPiece}, 0));
    for (int i = 0; i < 510; ++i) ASSERT_EQ(g.stepRecords[i], (StepRec{-2, -2, 0, 0, 0, 0, 0})) << i;
    EXPECT_EQ(g.stepRecords[515], (StepRec{0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(std::count(&g.eliminatedPieces[0][0], &g.eliminatedPieces[0][0] + sizeof g.eliminatedPieces, -2),
              static_cast<long>(sizeof g.eliminatedPieces));
    EXPECT_EQ(t.ui.viewOtherCaption + t.ui.status[1], Gb("看别人棋级别：中级"));
    EXPECT_TRUE(t.ui.labels[0] == "Me" && g.seatNames[0] == "Me" && g.gameLogicDepth == 0);
    EXPECT_TRUE(t.ui.deploymentControls && t.ui.saveEnabled && t.ui.giveUpEnabled && t.ui.timerOn);
    EXPECT_FALSE(t.ui.rotateEnabled || t.ui.prevStepEnabled || t.ui.nextStep || t.ui.viewOtherEnabled);
}

TEST(NewBattle, FormationsComeFromTheDatabaseAndOtherFormationRedrawsSeatZeroOnly) {
    TestGame t;
    GameState& g = t.g();
    const ZfDatabase db = test::DealDatabase(200, 500);
    ASSERT_TRUE(WriteZfFile(ZfFilePath(g), db));
    ASSERT_TRUE(NewBattleAgainstComputer(g));
    const PieceTable before = g.pieces;
    GameRandom expect = g.mainRandom;
    OtherFormationForSeat0(g);
    const int r = DrawZfIndex(expect, 200);
    for (int k = 0; k < 25; ++k) EXPECT_EQ(g.pieces[k].code, db.slots[r].codes[k]);
    for (int s = 1; s < 4; ++s) EXPECT_EQ(g.zfChosenIndex[s], DrawZfIndex(expect, 200));  // all four were drawn
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE((i < 25 || g.pieces[i].code == before[i].code) && g.pieces[i].x == before[i].x && g.pieces[i].y == before[i].y);
    EXPECT_EQ(t.ui.ownRedraws, 1);
    g.deployPhase = 0;  // outside a deployment nothing changes
    OtherFormationForSeat0(g);
    EXPECT_EQ(t.ui.ownRedraws, 1);
}

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
