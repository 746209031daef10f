#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/combat.h"
#include "view/face.h"
#include "view/input.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::LayOutBattle;
using test::PieceOf;
using test::RecordingUi;

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        ui.ShowEverything();
        g.optionsRecord.soundOn = 1;
        LayOutBattle(g);
    }
    // Where the image of `piece` stands after it was placed on its point.
    ImagePlace Image(int piece) const {
        const PieceRec& r = g.pieces[piece];
        return PieceImagePlace(*g.board, piece, PointIndexAt(*g.board, r.x, r.y));
    }
    InputResult Press(int piece) { return PressPiece(g, Image(piece).left, Image(piece).top, false); }
    InputResult Hover(int piece) { return HoverPiece(g, Image(piece).left, Image(piece).top, false); }
    // A press at the centre of grid point (x, y) on the board picture.
    InputResult PressPoint(int x, int y, bool modifier = false) {
        const BoardPoint& p = g.board->boardPoints[PointIndexAt(*g.board, x, y)];
        return PressBoard(g, p.pixelX - 2, p.pixelY - 2, modifier);
    }
    InputResult HoverPoint(int x, int y) {
        const BoardPoint& p = g.board->boardPoints[PointIndexAt(*g.board, x, y)];
        return HoverBoard(g, p.pixelX - 2, p.pixelY - 2);
    }
    int Sounds(const std::string& name) const {
        int n = 0;
        for (const auto& s : ui.sounds) n += s == name;
        return n;
    }
    // An enemy piece (seat 1's slot 0) right in front of seat 0's
    // slot 4, on the centre point (22, 18).
    int PutEnemyInFront() {
        const int enemy = PieceOf(1, 0);
        g.pieces[enemy].x = 22;
        g.pieces[enemy].y = 18;
        return enemy;
    }

    GameState g;
    RecordingUi ui;
};

// Every placed image hits its own point; a pointer hits the square around
// each point.
TEST_F(InputTest, HitTests) {
    for (int j = 0; j < kPointCount; ++j) {
        for (int seat = 0; seat < 4; ++seat) {
            const ImagePlace p = PieceImagePlace(*g.board, seat * 25, j);
            EXPECT_EQ(PointUnderPieceImage(*g.board, p.left, p.top), j) << "point " << j << " seat " << seat;
        }
        const BoardPoint& p = g.board->boardPoints[j];
        // An image hits while its corner lies 7..16 pixels up-left of the point.
        EXPECT_EQ(PointUnderPieceImage(*g.board, p.pixelX - 16, p.pixelY - 16), j);
        EXPECT_EQ(PointUnderPieceImage(*g.board, p.pixelX - 7, p.pixelY - 7), j);
        for (auto [dx, dy] : {std::pair{17, 10}, std::pair{10, 17}, std::pair{6, 10}, std::pair{10, 6}})
            EXPECT_NE(PointUnderPieceImage(*g.board, p.pixelX - dx, p.pixelY - dy), j);
        EXPECT_EQ(PointUnderPointer(*g.board, p.pixelX - 2, p.pixelY - 2), j);
        EXPECT_EQ(PointUnderPointer(*g.board, p.pixelX - 12, p.pixelY + 8), j);
        EXPECT_EQ(PointUnderPointer(*g.board, p.pixelX + 8, p.pixelY - 12), j);
        EXPECT_NE(PointUnderPointer(*g.board, p.pixelX - 13, p.pixelY - 2), j);
        EXPECT_NE(PointUnderPointer(*g.board, p.pixelX + 9, p.pixelY - 2), j);
        EXPECT_NE(PointUnderPointer(*g.board, p.pixelX - 2, p.pixelY + 9), j);
    }
    EXPECT_EQ(PointUnderPieceImage(*g.board, 0, 0), kNoPoint);
    EXPECT_EQ(PointUnderPointer(*g.board, 5, 5), kNoPoint);
}

// ---- Refusal rules, in their order ----

TEST_F(InputTest, RefusalRulesInOrder) {
    EXPECT_EQ(PieceInputRefusal(g, true, true), InputRefusal::kNone);
    g.replayFileName = "a.kbt";
    g.battleRunning = 0;
    EXPECT_EQ(PieceInputRefusal(g, true, false), InputRefusal::kReplay);
    EXPECT_EQ(Press(0).cursor, CursorShape::kDefault);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    g.battleRunning = 1;  // a battle started over an open record
    EXPECT_EQ(PieceInputRefusal(g, true, true), InputRefusal::kNone);

    g.computerSeat[1] = 1;
    g.curSeat = 1;
    EXPECT_EQ(PieceInputRefusal(g, true, true), InputRefusal::kComputerToMove);
    EXPECT_EQ(PieceInputRefusal(g, false, true), InputRefusal::kNone);  // replay mode
    g.deployPhase = 1;
    EXPECT_EQ(PieceInputRefusal(g, true, true), InputRefusal::kNone);
    g.deployPhase = 0;

    g.netConnected = 1;
    g.seatTable[0].state = 1;
    EXPECT_EQ(PieceInputRefusal(g, false, false), InputRefusal::kOtherSeatsTurn);
    g.deployPhase = 1;
    EXPECT_EQ(PieceInputRefusal(g, false, true), InputRefusal::kNone);
    g.deployPhase = 0;
    g.curSeat = 0;
    EXPECT_EQ(PieceInputRefusal(g, false, true), InputRefusal::kNone);
    // Rules that hold only for a press.
    g.seatTable[0].state = 2;  // the host's own seat was released to the computer
    EXPECT_EQ(PieceInputRefusal(g, false, true), InputRefusal::kHostSeatTakenOver);
    EXPECT_EQ(PieceInputRefusal(g, false, false), InputRefusal::kNone);
    g.myNetSeat = 2;  // a joined player is not the host
    EXPECT_EQ(PieceInputRefusal(g, false, true), InputRefusal::kNone);
    g.netState = 24;  // own deployment sent
    g.deployPhase = 1;
    EXPECT_EQ(PieceInputRefusal(g, false, true), InputRefusal::kAwaitingStart);
    EXPECT_EQ(Hover(3).cursor, CursorShape::kHand);
    EXPECT_EQ(Press(3).cursor, CursorShape::kDefault);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
}

// ---- Deployment ----

TEST_F(InputTest, DeployingExchangesOwnPiecesOnly) {
    g.deployPhase = 1;
    EXPECT_EQ(Hover(PieceOf(3, 5)).cursor, CursorShape::kDefault);
    EXPECT_EQ(Press(PieceOf(2, 3)).cursor, CursorShape::kDefault);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    const int flag = PieceOf(0, 21);
    EXPECT_EQ(Hover(flag).cursor, CursorShape::kHand);  // a flag may be picked while deploying
    Press(flag);
    EXPECT_EQ(g.selectedPiece, flag);
    EXPECT_EQ(Press(PieceOf(1, 3)).cursor, CursorShape::kDefault);
    EXPECT_EQ(g.selectedPiece, flag);
    // Nothing moves on the board while deploying.
    EXPECT_EQ(PressPoint(20, 20).cursor, CursorShape::kDefault);
    EXPECT_EQ(HoverPoint(20, 20).cursor, CursorShape::kDefault);

    const InputResult r = Press(PieceOf(0, 0));
    EXPECT_EQ(g.pieces[flag].code, test::kArmy[0]);
    EXPECT_EQ(g.pieces[PieceOf(0, 0)].code, kFlag);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_TRUE(r.disableNextStep);
    EXPECT_FALSE(r.disableSaveFile);  // nothing played yet
    EXPECT_EQ(ui.swaps.size(), 1u);
    Press(7);
    Press(7);  // the same piece again lets it go, silently
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(Sounds("select.wav"), 2);
    EXPECT_EQ(g.stepCount, 0);
}

// ---- Play ----

TEST_F(InputTest, OnlyMovablePiecesOfTheSeatToMoveAreSelected) {
    for (int slot : {21, 16, 23}) {  // flag, mine, a piece in a headquarters
        EXPECT_EQ(Hover(PieceOf(0, slot)).cursor, CursorShape::kDefault);
        EXPECT_EQ(Press(PieceOf(0, slot)).cursor, CursorShape::kDefault);
        EXPECT_EQ(g.selectedPiece, kNoPiece);
    }
    EXPECT_EQ(Press(PieceOf(1, 0)).cursor, CursorShape::kDefault);  // not this seat's turn
    Press(PieceOf(0, 2));
    EXPECT_EQ(g.selectedPiece, PieceOf(0, 2));
    // An immovable own piece, the partner's and an unreachable enemy keep the selection.
    for (int p : {PieceOf(0, 21), PieceOf(2, 0), PieceOf(1, 20)}) {
        EXPECT_EQ(Press(p).cursor, CursorShape::kDefault) << p;
        EXPECT_EQ(g.selectedPiece, PieceOf(0, 2));
    }
    // Another movable own piece takes it over; pressing it again lets it go, silently.
    Press(PieceOf(0, 3));
    EXPECT_EQ(g.selectedPiece, PieceOf(0, 3));
    Press(PieceOf(0, 3));
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(Sounds("select.wav"), 2);
    EXPECT_EQ(g.stepCount, 0);
}

TEST_F(InputTest, HoverOnAReachableEnemyWritesTheMoveAndAPressCarriesItOut) {
    const int enemy = PutEnemyInFront();
    EXPECT_EQ(Hover(enemy).cursor, CursorShape::kDefault);  // nothing selected
    Press(4);
    EXPECT_EQ(Hover(PieceOf(1, 20)).cursor, CursorShape::kDefault);
    EXPECT_EQ(Hover(enemy).cursor, CursorShape::kHand);
    EXPECT_EQ((GridPoint{g.move.toX, g.move.toY}), (GridPoint{22, 18}));
    EXPECT_EQ(g.stepCount, 0);

    const InputResult r = Press(enemy);
    EXPECT_TRUE(r.disableNextStep);
    EXPECT_FALSE(r.sendMove);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(g.stepCount, 1);
    const int outcome = ResolveCombatCodes(g.pieces[4].code, g.pieces[enemy].code);
    EXPECT_EQ(g.stepRecords[0], (StepRec{4, enemy, 22, 17, 22, 18, outcome}));
    EXPECT_EQ(g.curSeat, 1);
}

// In a LAN battle the move is only written for the host; the rest of the
// record travels as it stands.
TEST_F(InputTest, LanAttackIsOnlyWrittenForTheHost) {
    g.netConnected = 1;
    g.seatTable[0].state = 1;
    g.netMoveRecord.score = 3.5f;
    const int enemy = PutEnemyInFront();
    Press(4);
    EXPECT_TRUE(Press(enemy).sendMove);
    const MoveCand& m = g.netMoveRecord;
    EXPECT_EQ((StepRec{m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome}),
              (StepRec{4, enemy, 22, 17, 22, 18, ResolveCombatCodes(test::kArmy[4], test::kArmy[0])}));
    EXPECT_EQ(m.score, 3.5f);
    EXPECT_EQ(g.stepCount, 0);
    EXPECT_EQ(g.pieces[enemy].alive, 1);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
}

TEST_F(InputTest, BoardPressMovesOnlyASelectedPieceToAReachableEmptyPoint) {
    EXPECT_EQ(PressPoint(18, 18).cursor, CursorShape::kDefault);  // nothing selected
    Press(1);
    EXPECT_EQ(PressPoint(20, 17).cursor, CursorShape::kDefault);  // occupied
    EXPECT_EQ(PressPoint(20, 20).cursor, CursorShape::kDefault);  // out of reach
    EXPECT_EQ(PressBoard(g, 3, 3, false).cursor, CursorShape::kDefault);  // no point
    EXPECT_EQ(g.stepCount, 0);
    Press(0);
    EXPECT_TRUE(PressPoint(18, 18).disableNextStep);
    EXPECT_EQ(g.stepRecords[0], (StepRec{0, kNoPiece, 18, 17, 18, 18, 1}));
    EXPECT_EQ(g.selectedPiece, kNoPiece);

    GameState fresh;  // selectedPiece 0 and nothing laid out
    fresh.ui = &ui;
    const BoardPoint& p = fresh.board->boardPoints[126];
    EXPECT_EQ(PressBoard(fresh, p.pixelX - 2, p.pixelY - 2, false).cursor, CursorShape::kDefault);
    EXPECT_EQ(HoverBoard(fresh, p.pixelX - 2, p.pixelY - 2).cursor, CursorShape::kDefault);
    EXPECT_EQ(fresh.stepCount, 0);
}

TEST_F(InputTest, ModifierPressInABattleKeepsSingleStepsWithSound) {
    Press(0);
    PressPoint(18, 18, true);
    EXPECT_EQ(g.clickStepCount, 1);
    EXPECT_EQ(Sounds("move.wav"), 1);
}

}  // namespace
}  // namespace jq
