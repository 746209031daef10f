#include <gtest/gtest.h>

#include <cstring>

#include "core/text.h"
#include "view/rotation.h"
#include "view_support.h"

namespace jq {
namespace {

using testing::LayOutBattle;
using testing::PieceOf;
using testing::RecordingUi;

bool SameTable(const PieceTable& a, const PieceTable& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class RotationTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        LayOutBattle(g);
        for (int s = 0; s < 4; ++s) ui.labels[s] = Gb("位置") + std::to_string(s + 1);
    }
    GameState g;
    RecordingUi ui;
};

TEST_F(RotationTest, PiecesPassOneSeatDownAndTurnTheirPoints) {
    g.pieces[PieceOf(1, 0)].beliefs[1][3] = 42.0f;  // seat 1's view of its own piece
    g.pieces[PieceOf(1, 0)].beliefs[0][5] = 7.0f;
    RotateView(g);
    // Seat 1's slot 0 on (23, 18) becomes index 0 on (18, 17).
    EXPECT_EQ(g.pieces[0].x, 18);
    EXPECT_EQ(g.pieces[0].y, 17);
    EXPECT_EQ(g.pieces[0].startX, 18);
    EXPECT_EQ(g.pieces[0].startY, 17);
    EXPECT_EQ(g.pieces[0].code, testing::kLegalFormation[0]);
    // The old seat 1 observes as the new seat 0.
    EXPECT_EQ(g.pieces[0].beliefs[0][3], 42.0f);
    EXPECT_EQ(g.pieces[0].beliefs[3][5], 7.0f);
    // Seat 0's slot 0 on (18, 17) becomes index 75 on (17, 22).
    EXPECT_EQ(g.pieces[75].x, 17);
    EXPECT_EQ(g.pieces[75].y, 22);
    // Every piece still stands on its seat's deployment point.
    for (int i = 0; i < kPieceCount; ++i) {
        const BoardPoint& p = g.board->boardPoints[SeatOf(i) * 30 + i % 25];
        EXPECT_EQ(g.pieces[i].x, p.gridX) << i;
        EXPECT_EQ(g.pieces[i].y, p.gridY) << i;
    }
    EXPECT_EQ(ui.placed.size(), 100u);
    EXPECT_EQ(ui.redraws, 1);
    EXPECT_EQ(ui.arrowHides, 1);
    EXPECT_EQ(g.myNetSeat, 1);
}

TEST_F(RotationTest, StepRecordsTurn) {
    g.stepRecords[0] = StepRec{30, 57, 23, 18, 24, 18, 1};
    g.stepRecords[1] = StepRec{-2, -2, 22, 22, 22, 22, 0};
    g.stepRecords[2] = StepRec{-2, -2, 255, 255, 255, 255, 2};
    g.stepRecords[3] = StepRec{10, -2, 18, 17, 18, 18, 1};
    g.stepRecords[4] = StepRec{12, 34, 0, 5, 6, 7, 8};  // empty: fromX 0
    g.stepRecords[5] = StepRec{5, 60, 22, 22, 22, 23, 0};  // from the centre: an ordinary move
    RotateStepRecords(g);
    EXPECT_EQ(g.stepRecords[0], (StepRec{5, 32, 18, 17, 18, 16, 1}));
    EXPECT_EQ(g.stepRecords[1], (StepRec{-2, -2, 22, 22, 22, 22, 3}));
    EXPECT_EQ(g.stepRecords[2], (StepRec{-2, -2, 255, 255, 255, 255, 1}));
    EXPECT_EQ(g.stepRecords[3], (StepRec{85, -2, 17, 22, 18, 22, 1}));
    EXPECT_EQ(g.stepRecords[4], (StepRec{12, 34, 0, 5, 6, 7, 8}));
    EXPECT_EQ(g.stepRecords[5], (StepRec{80, 35, 22, 18, 23, 18, 0}));
}

TEST_F(RotationTest, ReplayMovesTurnExceptEmptyAndSpecialOnes) {
    g.moveHistory[0] = MoveRec{23, 18, 24, 18};
    g.moveHistory[1] = MoveRec{22, 22, 22, 22};
    g.moveHistory[2] = MoveRec{255, 255, 255, 255};
    g.moveHistory[3] = MoveRec{0, 19, 20, 21};
    RotateView(g);
    EXPECT_EQ(g.moveHistory[0].fromX, 18);
    EXPECT_EQ(g.moveHistory[0].fromY, 17);
    EXPECT_EQ(g.moveHistory[0].toX, 18);
    EXPECT_EQ(g.moveHistory[0].toY, 16);
    EXPECT_EQ(g.moveHistory[1].toY, 22);
    EXPECT_EQ(g.moveHistory[2].toY, 255);
    EXPECT_EQ(g.moveHistory[3].fromY, 19);
    EXPECT_EQ(g.moveHistory[3].toY, 21);
}

TEST_F(RotationTest, EliminatedPiecesTurnBySeatAndIndex) {
    g.eliminatedPieces[0][0] = 10;
    g.eliminatedPieces[1][0] = 30;
    g.eliminatedPieces[1][1] = 31;
    RotateView(g);
    EXPECT_EQ(g.eliminatedPieces[0][0], 5);  // row of seat 1 is now the row of seat 0
    EXPECT_EQ(g.eliminatedPieces[0][1], 6);
    EXPECT_EQ(g.eliminatedPieces[0][2], kNoPiece);
    EXPECT_EQ(g.eliminatedPieces[3][0], 85);
    EXPECT_EQ(g.eliminatedPieces[3][1], kNoPiece);
    EXPECT_EQ(g.eliminatedPieces[1][0], kNoPiece);
}

TEST_F(RotationTest, SeatLabelsNamesAndSeatToMove) {
    g.curSeat = 0;
    RotateView(g);
    const std::string expected[4] = {Gb("位置2"), Gb("位置3"), Gb("位置4"), Gb("位置1")};
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(ui.labels[s], expected[s]);
        EXPECT_EQ(g.seatNames[s], expected[s]);
    }
    EXPECT_EQ(g.curSeat, 3);
    g.curSeat = 2;
    RotateView(g);
    EXPECT_EQ(g.curSeat, 1);
}

TEST_F(RotationTest, FourTurnsComeBackToTheStart) {
    g.pieces[PieceOf(2, 5)].x = 20;  // a piece that moved into the centre
    g.pieces[PieceOf(2, 5)].y = 20;
    g.pieces[PieceOf(3, 7)].alive = 0;
    g.pieces[PieceOf(1, 1)].beliefs[2][4] = 13.0f;
    g.stepRecords[0] = StepRec{30, 57, 23, 18, 24, 18, 1};
    g.stepRecords[1] = StepRec{-2, -2, 22, 22, 22, 22, 2};
    g.moveHistory[0] = MoveRec{23, 18, 24, 18};
    g.eliminatedPieces[2][0] = 55;
    g.curSeat = 1;
    g.myNetSeat = 2;
    const GameState before = g;
    const std::string labels[4] = {ui.labels[0], ui.labels[1], ui.labels[2], ui.labels[3]};
    for (int t = 0; t < 4; ++t) RotateView(g);
    EXPECT_TRUE(SameTable(g.pieces, before.pieces));
    EXPECT_EQ(std::memcmp(g.stepRecords, before.stepRecords, sizeof g.stepRecords), 0);
    EXPECT_EQ(std::memcmp(g.moveHistory, before.moveHistory, sizeof g.moveHistory), 0);
    EXPECT_EQ(std::memcmp(g.eliminatedPieces, before.eliminatedPieces, sizeof g.eliminatedPieces), 0);
    EXPECT_EQ(g.curSeat, 1);
    EXPECT_EQ(g.myNetSeat, 6);
    for (int s = 0; s < 4; ++s) EXPECT_EQ(ui.labels[s], labels[s]);
}

TEST_F(RotationTest, TurnEndsTheSelectionAndKeepsTheTurnedDeployment) {
    g.selectedPiece = 3;
    ui.visible[3] = false;  // caught by the blink
    g.deployedPieces[0].code = 0;
    RotateView(g);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_TRUE(ui.visible[3 + 75]);  // the old piece 3 is now piece 78, shown
    EXPECT_TRUE(SameTable(g.deployedPieces, g.pieces));
    // A taken piece stays hidden under its new number.
    g.pieces[PieceOf(1, 4)].alive = 0;
    ui.visible[PieceOf(1, 4)] = false;
    RotateView(g);
    EXPECT_FALSE(ui.visible[PieceOf(0, 4)]);
    EXPECT_EQ(g.pieces[PieceOf(0, 4)].alive, 0);
}

TEST_F(RotationTest, ViewOtherSwitchTogglesCaptionAndRedraws) {
    EXPECT_EQ(ViewOtherCaption(g), Gb("看别人棋"));
    EXPECT_EQ(ToggleViewOtherFormations(g), Gb("不看棋了"));
    EXPECT_EQ(g.viewOtherFormations, 1);
    EXPECT_EQ(ToggleViewOtherFormations(g), Gb("看别人棋"));
    EXPECT_EQ(g.viewOtherFormations, 0);
    EXPECT_EQ(ui.redraws, 2);
}

TEST_F(RotationTest, UnplacedPiecesTurnWithoutComplaint) {
    GameState fresh;
    RecordingUi quiet;
    fresh.ui = &quiet;
    RotateView(fresh);
    EXPECT_TRUE(quiet.messages.empty());
    EXPECT_TRUE(quiet.placed.empty());
    for (int t = 0; t < 3; ++t) RotateView(fresh);
    EXPECT_EQ(fresh.pieces[0].x, 0);
    EXPECT_EQ(fresh.pieces[0].y, 0);
}

}  // namespace
}  // namespace jq
