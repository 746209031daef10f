#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/text.h"
#include "formations/formation.h"
#include "formations/newbattle.h"
#include "formations/zffile.h"
#include "support/dealt.h"
#include "support/fake_computer.h"
#include "support/files_support.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::TestGame;

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
    g.moveHistory[5] = MoveRec{18, 17, 18, 16};
    g.stepRecords[515] = StepRec{1, 2, 3, 4, 5, 6, 7};
    std::memset(g.eliminatedPieces, 3, sizeof g.eliminatedPieces);
    g.optionsRecord.turnDirectionOption = 0;  // a record that was never saved
    g.optionsRecord.aiLevel = 1;
    std::strcpy(g.optionsRecord.playerNames[0], "  Me ");
    ASSERT_TRUE(NewBattleAgainstComputer(g));

    EXPECT_EQ(computer.stops, 1);  // neither a formation database nor the statistics file is there
    ASSERT_EQ(t.ui.boxes.size(), 1u);
    EXPECT_EQ(t.ui.messages, std::vector<std::string>{Gb("采用默认子力分布！！     ")});
    for (int s = 0; s < 4; ++s) EXPECT_TRUE(SeatIsLegal(g, s) && g.zfChosenIndex[s] == -1) << "seat " << s;
    for (int i = 0; i < 100; ++i)  // the deployed copy is what a save during the deployment writes
        EXPECT_TRUE(g.pieces[i].alive == 1 && g.deployedPieces[i].code == g.pieces[i].code) << i;
    EXPECT_EQ(g.battleRunning + g.deployPhase + g.practiceMode + g.clickStepCount + g.turnDirection, 5);
    EXPECT_EQ(g.computerSeat[0] * 10 + g.computerSeat[1] + g.computerSeat[2] + g.computerSeat[3], 3);
    EXPECT_EQ(g.replayFileName, "NONE");
    EXPECT_EQ(g.autoPlay + g.peaceAgreed + g.stepLimitReached + g.netConnected + g.viewOtherFormations, 0);
    EXPECT_EQ(std::pair(g.selectedPiece, g.stepCount), std::pair(int{kNoPiece}, 0));
    EXPECT_EQ(g.moveHistory[5].fromX + g.moveHistory[5].toY, 0);
    for (int i = 0; i < 510; ++i) ASSERT_EQ(g.stepRecords[i], (StepRec{-2, -2, 0, 0, 0, 0, 0})) << i;
    EXPECT_EQ(g.stepRecords[515], (StepRec{0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(std::count(&g.eliminatedPieces[0][0], &g.eliminatedPieces[0][0] + sizeof g.eliminatedPieces, -2),
              static_cast<long>(sizeof g.eliminatedPieces));
    EXPECT_EQ(t.ui.viewOtherCaption + t.ui.status[1], Gb("看别人棋级别：中级"));
    EXPECT_TRUE(t.ui.labels[0] == "Me" && g.seatNames[0] == "Me");
    EXPECT_TRUE(t.ui.deploymentControls && t.ui.saveEnabled && t.ui.giveUpEnabled && t.ui.timerOn);
    EXPECT_FALSE(t.ui.rotateEnabled || t.ui.prevStepEnabled || t.ui.nextStep || t.ui.viewOtherEnabled);
    EXPECT_EQ(g.gameLogicDepth, 0);
}

TEST(NewBattle, FormationsComeFromTheDatabaseAndOtherFormationRedrawsSeatZeroOnly) {
    TestGame t;
    GameState& g = t.g();
    const ZfDatabase db = test::DealDatabase(200, 500);
    ASSERT_TRUE(WriteZfFile(ZfFilePath(g), db));
    g.mainRandom.Seed(99);
    GameRandom expect = g.mainRandom;
    ASSERT_TRUE(NewBattleAgainstComputer(g));
    EXPECT_TRUE(t.ui.boxes.empty());
    for (int s = 0; s < 4; ++s) {
        const int r = DrawZfIndex(expect, 200);
        EXPECT_EQ(g.zfChosenIndex[s], r);
        for (int k = 0; k < 25; ++k) EXPECT_EQ(g.pieces[s * 25 + k].code, db.slots[r].codes[k]) << s;
    }
    EXPECT_EQ(g.curSeat, expect.Next() % 4);

    const PieceTable before = g.pieces;
    expect = g.mainRandom;
    OtherFormationForSeat0(g);
    int r = DrawZfIndex(expect, 200);
    for (int k = 0; k < 25; ++k) EXPECT_EQ(g.pieces[k].code, db.slots[r].codes[k]);
    for (int s = 1; s < 4; ++s) EXPECT_EQ(g.zfChosenIndex[s], DrawZfIndex(expect, 200));  // all four were drawn
    for (int i = 25; i < 100; ++i) EXPECT_EQ(g.pieces[i].code, before[i].code);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(g.pieces[i].x * 100 + g.pieces[i].y, before[i].x * 100 + before[i].y);
    EXPECT_EQ(t.ui.ownRedraws, 1);

    g.deployPhase = 0;  // outside a deployment nothing changes
    const PieceTable deployed = g.pieces;
    OtherFormationForSeat0(g);
    for (int k = 0; k < 25; ++k) EXPECT_EQ(g.pieces[k].code, deployed[k].code);
    EXPECT_EQ(t.ui.ownRedraws, 1);
}

}  // namespace
}  // namespace jq
