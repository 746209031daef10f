#include <gtest/gtest.h>

#include <cstring>

#include "ai/computer.h"
#include "core/text.h"
#include "formations/formation.h"
#include "formations/newbattle.h"
#include "formations/zffile.h"
#include "support/fake_computer.h"
#include "support/files_support.h"

namespace jq {
namespace {

using test::TestGame;

void SeatCodes(const GameState& g, int seat, int8_t out[25]) {
    for (int k = 0; k < 25; ++k) out[k] = static_cast<int8_t>(g.pieces[seat * 25 + k].code);
}

ZfDatabase Database(int count) {
    ZfDatabase db;
    db.count = count;
    for (int n = 0; n < count; ++n) {
        GameRandom rng;
        rng.Seed(500 + n);
        GenerateFormation(rng, db.slots[n].codes);
    }
    return db;
}

// A game in the middle of something else: a replay with the other seats
// face up, steps taken, pieces gone.
void Dirty(GameState& g) {
    g.replayFileName = "some.kbt";
    g.clickStepCount = 10;
    g.autoPlay = 1;
    g.peaceAgreed = 1;
    g.stepLimitReached = 1;
    g.viewOtherFormations = 1;
    g.selectedPiece = 7;
    g.stepCount = 123;
    g.moveHistory[5] = MoveRec{18, 17, 18, 16};
    g.stepRecords[515] = StepRec{1, 2, 3, 4, 5, 6, 7};
    std::memset(g.eliminatedPieces, 3, sizeof g.eliminatedPieces);
    g.optionsRecord.turnDirectionOption = 0;  // a record that was never saved
    g.optionsRecord.aiLevel = 1;
    std::strcpy(g.optionsRecord.playerNames[0], "  Me ");
    std::strcpy(g.optionsRecord.playerNames[2], "");
}

TEST(NewBattle, WithoutADatabaseEverySeatGetsALegalFormation) {
    TestGame t;
    GameState& g = t.g();
    test::FakeComputer computer;
    computer.idle = false;
    computer.busyAfterResume = true;
    g.computer = &computer;
    Dirty(g);
    ASSERT_TRUE(NewBattleAgainstComputer(g));

    EXPECT_EQ(computer.stops, 1);
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.boxes[0].caption, Gb("警告"));
    // The statistics file is missing as well.
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0], Gb("采用默认子力分布！！     "));

    for (int s = 0; s < 4; ++s) {
        int8_t codes[25];
        SeatCodes(g, s, codes);
        EXPECT_TRUE(IsLegalFormation(codes)) << "seat " << s;
        EXPECT_EQ(g.zfChosenIndex[s], -1);
    }
    for (const PieceRec& p : g.pieces) {
        EXPECT_EQ(p.alive, 1);
        float sum = 0;
        for (float w : p.beliefs[1]) sum += w;
        EXPECT_NEAR(sum, 100.0f, 0.01f);
    }
    EXPECT_EQ(g.battleRunning, 1);
    EXPECT_EQ(g.deployPhase, 1);
    EXPECT_EQ(g.practiceMode, 1);
    EXPECT_EQ(g.computerSeat[0], 0);
    EXPECT_EQ(g.computerSeat[1] + g.computerSeat[2] + g.computerSeat[3], 3);
    EXPECT_EQ(g.replayFileName, "NONE");
    EXPECT_EQ(g.clickStepCount, 1);
    EXPECT_EQ(g.autoPlay + g.peaceAgreed + g.stepLimitReached + g.netConnected, 0);
    EXPECT_EQ(g.turnDirection, 1);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_GE(g.curSeat, 0);
    EXPECT_LE(g.curSeat, 3);
    EXPECT_EQ(g.stepCount, 0);
    EXPECT_EQ(g.moveHistory[5].fromX + g.moveHistory[5].fromY + g.moveHistory[5].toX + g.moveHistory[5].toY, 0);
    for (int i = 0; i < 510; ++i) EXPECT_EQ(g.stepRecords[i], (StepRec{-2, -2, 0, 0, 0, 0, 0})) << i;
    EXPECT_EQ(g.stepRecords[515], (StepRec{0, 0, 0, 0, 0, 0, 0}));
    for (const auto& row : g.eliminatedPieces)
        for (int8_t v : row) EXPECT_EQ(v, -2);
    EXPECT_EQ(g.viewOtherFormations, 0);
    EXPECT_FALSE(t.ui.viewOtherEnabled);
    EXPECT_EQ(t.ui.viewOtherCaption, Gb("看别人棋"));

    EXPECT_EQ(t.ui.status[1], Gb("级别：中级"));
    EXPECT_EQ(t.ui.labels[0], "Me");
    EXPECT_EQ(t.ui.labels[2], "");
    EXPECT_EQ(g.seatNames[0], "Me");
    EXPECT_TRUE(t.ui.deploymentControls);
    EXPECT_TRUE(t.ui.saveEnabled);
    EXPECT_TRUE(t.ui.giveUpEnabled);
    EXPECT_FALSE(t.ui.rotateEnabled);
    EXPECT_FALSE(t.ui.prevStepEnabled);
    EXPECT_FALSE(t.ui.nextStep);
    EXPECT_TRUE(t.ui.timerOn);
    EXPECT_EQ(t.ui.playModes, (std::vector<bool>{false, true}));
    EXPECT_EQ(t.ui.titleResets, 1);
    // A save before the deployment ends writes these formations.
    for (int i = 0; i < 100; ++i) EXPECT_EQ(g.deployedPieces[i].code, g.pieces[i].code);
    EXPECT_EQ(g.gameLogicDepth, 0);
}

TEST(NewBattle, FormationsComeFromTheDatabaseWithTheMainGenerator) {
    TestGame t;
    GameState& g = t.g();
    const ZfDatabase db = Database(30);
    ASSERT_TRUE(WriteZfFile(ZfFilePath(g), db));
    g.mainRandom.Seed(99);
    GameRandom expect = g.mainRandom;
    ASSERT_TRUE(NewBattleAgainstComputer(g));
    EXPECT_TRUE(t.ui.boxes.empty());
    for (int s = 0; s < 4; ++s) {
        const int r = DrawZfIndex(expect, 30);
        EXPECT_EQ(g.zfChosenIndex[s], r);
        int8_t codes[25];
        SeatCodes(g, s, codes);
        EXPECT_EQ(std::memcmp(codes, db.slots[r].codes, 25), 0) << s;
    }
    EXPECT_EQ(g.curSeat, expect.Next() % 4);
}

TEST(OtherFormation, ReplacesSeatZeroOnly) {
    TestGame t;
    GameState& g = t.g();
    ASSERT_TRUE(WriteZfFile(ZfFilePath(g), Database(200)));
    g.mainRandom.Seed(3);
    ASSERT_TRUE(NewBattleAgainstComputer(g));
    const PieceTable before = g.pieces;
    int changed = 0;
    for (int attempt = 0; attempt < 20 && changed == 0; ++attempt) {
        OtherFormationForSeat0(g);
        for (int k = 0; k < 25; ++k) changed += g.pieces[k].code != before[k].code;
    }
    EXPECT_GT(changed, 0);
    int8_t codes[25];
    SeatCodes(g, 0, codes);
    EXPECT_TRUE(IsLegalFormation(codes));
    for (int i = 25; i < 100; ++i) EXPECT_EQ(g.pieces[i].code, before[i].code);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(g.pieces[i].x, before[i].x);
        EXPECT_EQ(g.pieces[i].y, before[i].y);
    }
    EXPECT_GE(t.ui.ownRedraws, 1);

    // All four draws were made again.
    GameRandom expect = g.mainRandom;
    OtherFormationForSeat0(g);
    for (int s = 0; s < 4; ++s) EXPECT_EQ(g.zfChosenIndex[s], DrawZfIndex(expect, 200));
}

TEST(OtherFormation, WithoutADatabaseOrOutsideADeployment) {
    TestGame t;
    GameState& g = t.g();
    ASSERT_TRUE(NewBattleAgainstComputer(g));
    OtherFormationForSeat0(g);
    int8_t codes[25];
    SeatCodes(g, 0, codes);
    EXPECT_TRUE(IsLegalFormation(codes));

    g.deployPhase = 0;
    const PieceTable before = g.pieces;
    const int boxes = static_cast<int>(t.ui.boxes.size());
    OtherFormationForSeat0(g);
    for (int k = 0; k < 25; ++k) EXPECT_EQ(g.pieces[k].code, before[k].code);
    EXPECT_EQ(static_cast<int>(t.ui.boxes.size()), boxes);
}

}  // namespace
}  // namespace jq
