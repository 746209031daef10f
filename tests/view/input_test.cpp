#include "view/input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "ai/movegen.h"
#include "core/combat.h"
#include "play/execute.h"
#include "play/result_rules.h"
#include "play/turnloop.h"
#include "support/recording_ui.h"
#include "support/scene.h"
#include "view/deployment.h"
#include "view/face.h"
#include "view/selection.h"

namespace jq {
namespace {

using test::PieceOf;

class InputTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        ui.ShowEverything();
        g.optionsRecord.soundOn = 1;
        test::LayOutBattle(g);
    }
    // Where the image of `piece` stands after it was placed on its point.
    ImagePlace Image(int piece) const {
        const PieceRec& r = g.pieces[piece];
        return PieceImagePlace(*g.board, piece, PointIndexAt(*g.board, r.x, r.y));
    }
    CursorShape Press(int piece) { return PressPiece(g, Image(piece).left, Image(piece).top, false).cursor; }
    CursorShape Hover(int piece) { return HoverPiece(g, Image(piece).left, Image(piece).top, false).cursor; }
    // A press near the centre of grid point (x, y) on the board picture.
    InputResult PressPoint(int x, int y, bool modifier = false) {
        const BoardPoint& p = g.board->boardPoints[PointIndexAt(*g.board, x, y)];
        return PressBoard(g, p.pixelX - 2, p.pixelY - 2, modifier);
    }
    // A piece (seat 1's slot 0 unless told) on the centre point (22, 18),
    // right in front of seat 0's slot 4.
    int PutEnemyInFront(int piece = PieceOf(1, 0)) {
        g.pieces[piece].x = 22;
        g.pieces[piece].y = 18;
        return piece;
    }
    int Sounds(const std::string& name) const { return std::count(ui.sounds.begin(), ui.sounds.end(), name); }
    // A fresh layout with the pieces on each pair of slots exchanged, as the player does.
    int Validate(std::initializer_list<std::array<int, 3>> swaps, int steps = 0) {
        test::LayOutBattle(g);
        g.deployPhase = 1;
        g.stepCount = steps;
        for (auto [seat, a, b] : swaps) SwapDeployedPieces(g, PieceOf(seat, a), PieceOf(seat, b));
        return ValidateDeployment(g);
    }

    GameState g;
    test::RecordingUi ui;
};

// Every placed image hits its own point; an image hits while its corner
// lies 7..16 pixels up-left of the point, a pointer within -12..+8.
TEST_F(InputTest, HitTests) {
    const struct {
        int dx, dy;
        bool image, pointer;
    } offsets[] = {{-16, -16, true, false},  {-7, -7, true, true},   {-17, -10, false, false},
                   {-10, -17, false, false}, {-6, -10, false, true}, {-10, -6, false, true},
                   {-12, 8, false, true},    {8, -12, false, true},  {-13, -2, false, false},
                   {9, -2, false, false},    {-2, 9, false, false}};
    const BoardTables& b = *g.board;
    for (int j = 0; j < kPointCount; ++j) {
        for (int seat = 0; seat < 4; ++seat) {
            const ImagePlace p = PieceImagePlace(b, seat * 25, j);
            EXPECT_EQ(PointUnderPieceImage(b, p.left, p.top), j) << "point " << j << " seat " << seat;
        }
        const BoardPoint& p = b.boardPoints[j];
        for (const auto& o : offsets) {
            EXPECT_EQ(PointUnderPieceImage(b, p.pixelX + o.dx, p.pixelY + o.dy) == j, o.image)
                << j << " " << o.dx;
            EXPECT_EQ(PointUnderPointer(b, p.pixelX + o.dx, p.pixelY + o.dy) == j, o.pointer)
                << j << " " << o.dx;
        }
    }
    EXPECT_EQ(PointUnderPieceImage(b, 0, 0), kNoPoint);
    EXPECT_EQ(PointUnderPointer(b, 5, 5), kNoPoint);
}

TEST_F(InputTest, RefusalRulesInOrder) {
    EXPECT_EQ(PieceInputRefusal(g, true, true), InputRefusal::kNone);
    g.replayFileName = "a.kbt";
    g.battleRunning = 0;
    EXPECT_EQ(PieceInputRefusal(g, true, false), InputRefusal::kReplay);
    EXPECT_EQ(Press(0), CursorShape::kDefault);
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
    EXPECT_EQ(Hover(3), CursorShape::kHand);
    EXPECT_EQ(Press(3), CursorShape::kDefault);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
}

TEST_F(InputTest, DeployingExchangesOwnPiecesOnly) {
    g.deployPhase = 1;
    EXPECT_EQ(Hover(PieceOf(3, 5)), CursorShape::kDefault);
    EXPECT_EQ(Press(PieceOf(2, 3)), CursorShape::kDefault);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    const int flag = PieceOf(0, 21);
    EXPECT_EQ(Hover(flag), CursorShape::kHand);  // a flag may be picked while deploying
    Press(flag);
    EXPECT_EQ(Press(PieceOf(1, 3)), CursorShape::kDefault);
    EXPECT_EQ(g.selectedPiece, flag);
    EXPECT_EQ(PressPoint(20, 20).cursor, CursorShape::kDefault);  // nothing moves on the board
    Press(PieceOf(0, 0));
    EXPECT_EQ(g.pieces[PieceOf(0, 0)].code, kFlag);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(g.stepCount, 0);
}

TEST_F(InputTest, OnlyMovablePiecesOfTheSeatToMoveAreSelected) {
    for (int slot : {21, 16, 23}) {  // flag, mine, a piece in a headquarters
        EXPECT_EQ(Hover(PieceOf(0, slot)), CursorShape::kDefault);
        EXPECT_EQ(Press(PieceOf(0, slot)), CursorShape::kDefault);
    }
    EXPECT_EQ(Press(PieceOf(1, 0)), CursorShape::kDefault);  // not this seat's turn
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    Press(4);
    // An immovable own piece, the partner's (even within reach) and an
    // unreachable enemy keep the selection.
    const int partner = PutEnemyInFront(PieceOf(2, 0));
    for (int p : {PieceOf(0, 21), partner, PieceOf(1, 20)}) {
        EXPECT_EQ(Hover(p), CursorShape::kDefault) << p;
        EXPECT_EQ(Press(p), CursorShape::kDefault) << p;
        EXPECT_EQ(g.selectedPiece, 4);
    }
    // The selected piece blinks: hidden on the first 2 of every 19 ticks.
    std::string blink;
    for (int tick = 0; tick < 38; ++tick) TickSelectionBlink(g), blink += ui.visible[4] ? '+' : '-';
    EXPECT_EQ(blink, "--" + std::string(17, '+') + "--" + std::string(17, '+'));
    // Another movable own piece takes it over; pressing it again lets it go, silently.
    Press(PieceOf(0, 3));
    EXPECT_EQ(g.selectedPiece, PieceOf(0, 3));
    Press(PieceOf(0, 3));
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(Sounds("select.wav"), 2);
    EXPECT_EQ(g.stepCount, 0);
}

// A hover on a reachable enemy writes the move; the press carries it out here, and in a LAN battle
// only writes it for the host (the rest of the record travels as it stands).
TEST_F(InputTest, PressOnAReachableEnemyAttacksHereAndIsOnlyWrittenInALanBattle) {
    const int enemy = PutEnemyInFront();
    const int outcome = ResolveCombatCodes(g.pieces[4].code, g.pieces[enemy].code);
    EXPECT_EQ(Hover(enemy), CursorShape::kDefault);  // nothing selected
    Press(4);
    EXPECT_EQ(Hover(PieceOf(1, 20)), CursorShape::kDefault);
    EXPECT_EQ(Hover(enemy), CursorShape::kHand);
    EXPECT_EQ((GridPoint{g.move.toX, g.move.toY}), (GridPoint{22, 18}));
    EXPECT_FALSE(PressPiece(g, Image(enemy).left, Image(enemy).top, false).sendMove);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(g.stepCount, 1);
    EXPECT_EQ(g.stepRecords[0], (StepRec{4, enemy, 22, 17, 22, 18, outcome}));
    EXPECT_EQ(g.curSeat, 1);

    test::LayOutBattle(g);
    g.netConnected = g.seatTable[0].state = 1;
    PutEnemyInFront();
    Press(4);
    EXPECT_TRUE(PressPiece(g, Image(enemy).left, Image(enemy).top, false).sendMove);
    const MoveCand& m = g.netMoveRecord;
    EXPECT_EQ((StepRec{m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome}),
              (StepRec{4, enemy, 22, 17, 22, 18, outcome}));
    EXPECT_EQ(g.stepCount, 0);
}

// A board press moves only a selected piece to a reachable empty point; a
// held key keeps single steps (with sound) in a battle.
TEST_F(InputTest, BoardPressMovesOnlyASelectedPieceToAReachableEmptyPoint) {
    EXPECT_EQ(PressPoint(18, 18).cursor, CursorShape::kDefault);  // nothing selected
    Press(1);
    EXPECT_EQ(PressPoint(20, 17).cursor, CursorShape::kDefault);          // occupied
    EXPECT_EQ(PressPoint(20, 20).cursor, CursorShape::kDefault);          // out of reach
    EXPECT_EQ(PressBoard(g, 3, 3, false).cursor, CursorShape::kDefault);  // no point
    EXPECT_EQ(g.stepCount, 0);
    Press(0);
    EXPECT_TRUE(PressPoint(18, 18, true).disableNextStep);
    EXPECT_EQ(g.stepRecords[0], (StepRec{0, kNoPiece, 18, 17, 18, 18, 1}));
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(g.clickStepCount, 1);
    EXPECT_EQ(Sounds("move.wav"), 1);

    GameState fresh;  // selectedPiece 0 and nothing laid out
    fresh.ui = &ui;
    const BoardPoint& p = fresh.board->boardPoints[126];
    EXPECT_EQ(PressBoard(fresh, p.pixelX - 2, p.pixelY - 2, false).cursor, CursorShape::kDefault);
    EXPECT_EQ(HoverBoard(fresh, p.pixelX - 2, p.pixelY - 2).cursor, CursorShape::kDefault);
    EXPECT_EQ(fresh.stepCount, 0);
}

// Each rule by place, for every seat; the bomb rule only for the first four
// steps; where several pieces break rules, the highest failing piece decides.
TEST_F(InputTest, DeploymentRulesByPlaceAndTheHighestFailingPieceDecides) {
    constexpr int kOk = kDeploymentOk, kFlagOut = kFlagOutsideHeadquarters, kMineOut = kMineOutsideLastRows,
                  kBombOut = kBombInFrontRow;
    const struct {
        int from, to, expected;
    } rows[] = {{0, 0, kOk},        {21, 23, kOk}, {21, 20, kFlagOut}, {21, 22, kFlagOut},
                {16, 14, kMineOut}, {18, 19, kOk}, {22, 24, kOk},      {19, 4, kBombOut},
                {19, 0, kBombOut},  {19, 5, kOk},  {16, 15, kOk}};
    for (const auto& r : rows)
        for (int seat = 0; seat < 4; ++seat)
            EXPECT_EQ(Validate({{seat, r.from, r.to}}), r.expected) << seat << ": " << r.from << "->" << r.to;
    for (int steps : {0, 3}) EXPECT_EQ(Validate({{2, 19, 4}}, steps), kBombOut);
    for (int steps : {4, 510}) EXPECT_EQ(Validate({{2, 19, 4}}, steps), kOk);
    EXPECT_EQ(Validate({{0, 21, 20}, {1, 16, 3}}), kMineOut);
    EXPECT_EQ(Validate({{0, 16, 3}, {1, 21, 20}}), kFlagOut);
    EXPECT_EQ(Validate({{3, 21, 1}, {3, 19, 2}}), kBombOut);  // within one seat by slot
}

TEST_F(InputTest, SwapExchangesOnlyCodesWithinOneSeat) {
    PieceTable expected = g.pieces;
    EXPECT_FALSE(SwapDeployedPieces(g, 24, 25));  // two seats
    EXPECT_FALSE(SwapDeployedPieces(g, -2, 3) || SwapDeployedPieces(g, 3, 100));
    EXPECT_TRUE(SwapDeployedPieces(g, PieceOf(0, 21), PieceOf(0, 3)));
    std::swap(expected[PieceOf(0, 21)].code, expected[PieceOf(0, 3)].code);  // nothing else
    EXPECT_EQ(std::memcmp(&expected, &g.pieces, sizeof expected), 0);
    EXPECT_EQ(ui.swaps.size(), 1u);
}

// A battle against the computer won by seats 0 and 2 (seats 1 and 3 give up), driven through the
// turn loop. Afterwards the board takes no move, selection or hover.
TEST_F(InputTest, NoMoveAfterAWin) {
    g.practiceMode = 1;
    ApplyPlayMode(g, PlayMode::kPractice);
    auto work = std::make_unique<MoveGenWork>(*g.board);
    for (int turn = 0; turn < 12 && g.battleRunning != 0; ++turn) {
        MoveCand m{.outcome = g.curSeat};  // a surrender
        m.fromX = m.fromY = m.toX = m.toY = kSurrenderCoord;
        if (g.curSeat % 2 == 0 && GenerateMoves(*work, g.pieces, g.curSeat) > 0) m = work->list[0];
        ExecuteMove(g, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome);
        TickMainTimer(g);
    }
    ASSERT_EQ(g.battleRunning, 0);
    ASSERT_EQ(g.optionsRecord.winRecord[0][kWinWon], 1);
    const int steps = g.stepCount;

    // A movable piece of seat 0, and a selection left over from the battle.
    g.curSeat = 0;
    ASSERT_GT(GenerateMoves(*work, g.pieces, 0), 0);
    const MoveCand m = work->list[0];
    const PieceRec& r = g.pieces[m.mover];
    const ImagePlace at = PieceImagePlace(*g.board, m.mover, PointIndexAt(*g.board, r.x, r.y));
    EXPECT_EQ(HoverPiece(g, at.left, at.top, true).cursor, CursorShape::kDefault);
    EXPECT_EQ(PressPiece(g, at.left, at.top, true).cursor, CursorShape::kDefault);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    g.selectedPiece = m.mover;
    const BoardPoint& to = g.board->boardPoints[PointIndexAt(*g.board, m.toX, m.toY)];
    EXPECT_EQ(HoverBoard(g, to.pixelX - 2, to.pixelY - 2).cursor, CursorShape::kDefault);
    PressBoard(g, to.pixelX - 2, to.pixelY - 2, false);
    EXPECT_EQ(g.stepCount, steps);
}

}  // namespace
}  // namespace jq
