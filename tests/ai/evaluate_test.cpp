#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "ai/evaluate.h"
#include "ai/movegen.h"
#include "ai_support.h"

namespace jq {
namespace {

using aitest::Move;
using aitest::Put;
using aitest::PutAt;
using aitest::SetAllRows;
using aitest::SetRow;

class EvaluateTest : public ::testing::Test {
protected:
    void SetUp() override {
        w = aitest::MakeWorkspace();
        // No headquarters piece anywhere: no approach terms unless a test
        // puts them there.
    }
    float Value(const MoveCand& m, int viewer = 0, int seat = 0) {
        return EvaluateMoveBasic(*w, viewer, seat, w->game.pieces, m);
    }
    PieceTable& P() { return w->game.pieces; }
    std::unique_ptr<AiWorkspace> w;
};

TEST_F(EvaluateTest, MineWeightAboveSixGivesTheMoverAway) {
    Put(P(), 10, kPlatoon, 21, 15);
    SetRow(P()[10].beliefs[0], {{2, 6.0f}, {11, 94.0f}});
    const MoveCand step = Move(10, kNoPiece, 21, 15, 20, 14);  // road to road
    EXPECT_FLOAT_EQ(Value(step), 0.0f);
    SetRow(P()[10].beliefs[0], {{2, 10.0f}, {11, 90.0f}});
    EXPECT_FLOAT_EQ(Value(step), -60.0f);
}

TEST_F(EvaluateTest, EngineerStepThatShowsItsKind) {
    Put(P(), 8, kEngineer, 18, 15);
    SetRow(P()[8].beliefs[0], {{12, 90.0f}, {11, 10.0f}});
    const MoveCand turn = Move(8, kNoPiece, 18, 15, 20, 17);  // round the corner: engineers only
    EXPECT_FLOAT_EQ(Value(turn), 200.0f);
    SetRow(P()[8].beliefs[0], {{12, 89.9f}, {11, 10.1f}});
    EXPECT_FLOAT_EQ(Value(turn), 200.0f - 1600.0f);
    // One orthogonal step shows nothing: (21,15) to the camp (20,15).
    Put(P(), 10, kEngineer, 21, 15);
    SetRow(P()[10].beliefs[0], {{12, 50.0f}, {11, 50.0f}});
    EXPECT_FLOAT_EQ(Value(Move(10, kNoPiece, 21, 15, 20, 15)), 100.0f);
}

TEST_F(EvaluateTest, KindOfTheDestination) {
    Put(P(), 10, kPlatoon, 20, 13);
    SetAllRows(P()[10], {{11, 100.0f}});
    EXPECT_FLOAT_EQ(Value(Move(10, kNoPiece, 20, 13, 19, 12)), -10000.0f);  // headquarters
    EXPECT_FLOAT_EQ(Value(Move(10, kNoPiece, 20, 13, 19, 14)), 100.0f);     // camp
    EXPECT_FLOAT_EQ(Value(Move(10, kNoPiece, 20, 13, 20, 14)), 0.0f);       // road
    EXPECT_FLOAT_EQ(Value(Move(10, kNoPiece, 20, 13, 20, 17)), 200.0f);     // railway
}

TEST_F(EvaluateTest, EnteringAnEnemyApproachSquare) {
    // Seat 1's headquarters pieces; seat 0 believes slot 21 holds the flag,
    // so row 0 (squares 15, 16, 17, 20, 22, 28) is the approach.
    PutAt(P(), 46, kFlag, 51);
    PutAt(P(), 48, kBattalion, 53);
    SetRow(P()[46].beliefs[0], {{1, 60.0f}, {9, 40.0f}});
    SetRow(P()[48].beliefs[0], {{1, 40.0f}, {9, 60.0f}});
    PutAt(P(), 10, kPlatoon, 42);  // (26,18), square 12
    SetAllRows(P()[10], {{11, 100.0f}});
    const MoveCand in = Move(10, kNoPiece, 26, 18, 27, 19);  // square 16, a railway point
    w->game.stepCount = 60;
    EXPECT_NEAR(Value(in), 200.0f * 1.2f + 6.0f * 60.0f * 20.0f / 70.0f, 1e-3);
    w->game.stepCount = 61;
    EXPECT_NEAR(Value(in), 200.0f * 1.2f + 16.0f * 60.0f * 20.0f / 70.0f, 1e-3);
    // Equal weights pick the squares round slot 23; square 16 is not one.
    SetRow(P()[48].beliefs[0], {{1, 60.0f}, {9, 40.0f}});
    EXPECT_FLOAT_EQ(Value(in), 200.0f);
}

TEST_F(EvaluateTest, CaptureNextToTheOwnFlag) {
    PutAt(P(), 21, kFlag, 21);       // own flag on slot 21: row 0
    PutAt(P(), 12, kDivision, 12);   // (18,14)
    SetAllRows(P()[12], {{6, 100.0f}});
    PutAt(P(), 30, kPlatoon, 15);    // an enemy on (18,13), square 15
    SetAllRows(P()[30], {{11, 100.0f}});
    const float v = Value(Move(12, 30, 18, 14, 18, 13));
    const float expected = 100.0f * 20.0f + 200.0f + 6.0f * 100.0f * 90.0f / 70.0f + 32.0f * 90.0f;
    EXPECT_NEAR(v, expected, 1e-2);
}

TEST_F(EvaluateTest, MoveIntoTheCentreHasNoApproachTerm) {
    // An engineer always pays for leaving an approach row; the centre has
    // no headquarters, so neither that nor anything else is looked up there.
    PutAt(P(), 21, kFlag, 21);
    PutAt(P(), 2, kEngineer, 2);  // (20,17)
    SetAllRows(P()[2], {{12, 100.0f}});
    EXPECT_FLOAT_EQ(Value(Move(2, kNoPiece, 20, 17, 20, 18)), 200.0f);
}

TEST_F(EvaluateTest, EngineerPaysForEndingOutsideTheRowWhereverItStarted) {
    PutAt(P(), 46, kFlag, 51);
    PutAt(P(), 48, kMine, 53);
    SetRow(P()[46].beliefs[0], {{1, 60.0f}, {2, 40.0f}});
    SetRow(P()[48].beliefs[0], {{1, 40.0f}, {2, 60.0f}});
    PutAt(P(), 10, kEngineer, 42);  // (26,18), square 12
    SetAllRows(P()[10], {{12, 100.0f}});
    const MoveCand along = Move(10, kNoPiece, 26, 18, 25, 18);  // to square 8: both outside the row
    EXPECT_NEAR(Value(along), 200.0f - 6.0f * 60.0f * 40.0f / 70.0f, 1e-3);
    // Any other piece making the same move pays nothing.
    P()[10].code = kPlatoon;
    SetAllRows(P()[10], {{11, 100.0f}});
    EXPECT_FLOAT_EQ(Value(along), 200.0f);
}

TEST_F(EvaluateTest, EnteringAnApproachSquareOfTheOwnArea) {
    PutAt(P(), 21, kFlag, 21);      // own flag on slot 21: row 0, certain
    PutAt(P(), 10, kPlatoon, 12);   // (18,14), square 12
    SetAllRows(P()[10], {{11, 100.0f}});
    // Square 15, a railway point: no factor in the own area.
    EXPECT_NEAR(Value(Move(10, kNoPiece, 18, 14, 18, 13)), 200.0f + 6.0f * 100.0f * 20.0f / 70.0f, 1e-3);
    // Seen as a move of the partner's area by seat 2 (its partner is
    // seat 0), through seat 2's own belief that slot 21 holds the flag.
    SetRow(P()[21].beliefs[2], {{1, 100.0f}});
    EXPECT_NEAR(Value(Move(10, kNoPiece, 18, 14, 18, 13), 2, 2), 200.0f + 6.0f * 100.0f * 20.0f / 70.0f, 1e-3);
}

TEST_F(EvaluateTest, ReplyWhenNothingScoresAboveZeroIsTheFirst) {
    // A platoon that everyone takes for a likely mine: every step gives it
    // away, so no reply is worth anything.
    Put(P(), 10, kPlatoon, 20, 14);
    SetAllRows(P()[10], {{2, 50.0f}, {11, 50.0f}});
    auto gen = std::make_unique<MoveGenWork>();
    ASSERT_GT(GenerateMoves(*gen, P(), 0), 1);
    const MoveCand first = gen->list[0];
    const float expected = EvaluateMoveBasic(*w, 1, 0, P(), first);
    ASSERT_LT(expected, 0.0f);
    EXPECT_FLOAT_EQ(SeatReplyValue(*w, 1, 0, P()), expected);
    EXPECT_EQ(P()[10].x, first.toX);
    EXPECT_EQ(P()[10].y, first.toY);
}

TEST_F(EvaluateTest, ThreatBalanceThresholds) {
    Put(P(), 10, kCompany, 20, 16);
    Put(P(), 30, kPlatoon, 20, 17);
    SetRow(P()[30].beliefs[0], {{11, 0.05f}});  // an attack worth exactly 1
    EXPECT_FLOAT_EQ(EvaluateThreatBalance(*w, 0, 0, P()), 0.0f);
    SetRow(P()[30].beliefs[0], {{11, 0.1f}});
    EXPECT_FLOAT_EQ(EvaluateThreatBalance(*w, 0, 0, P()), 2.0f);
    // A seat without a move.
    EXPECT_FLOAT_EQ(EvaluateThreatBalance(*w, 0, 2, P()), 0.0f);
}

TEST_F(EvaluateTest, SimulatedOutcomeFollowsTheScore) {
    PutAt(P(), 4, kBomb, 2);
    PutAt(P(), 30, kPlatoon, 3);
    auto copy = std::make_unique<PieceTable>();
    ApplyMoveToCopy(*w, P(), *copy, Move(4, 30, 20, 17, 21, 17, 0, 50.0f), 0);
    EXPECT_EQ((*copy)[4].alive, 0);  // a bomb takes both, whatever the score
    EXPECT_EQ((*copy)[30].alive, 0);
    EXPECT_EQ((*copy)[4].x, 21);     // and still moved

    P()[4].code = kDivision;
    ApplyMoveToCopy(*w, P(), *copy, Move(4, 30, 20, 17, 21, 17, 1, 0.0f), 1);
    EXPECT_EQ((*copy)[4].alive, 0);
    EXPECT_EQ((*copy)[30].alive, 0);
    EXPECT_EQ(w->lastStepRecord.outcome, 0);
    ApplyMoveToCopy(*w, P(), *copy, Move(4, 30, 20, 17, 21, 17, 1, -3.0f), 1);
    EXPECT_EQ((*copy)[4].alive, 0);
    EXPECT_EQ((*copy)[30].alive, 1);
    EXPECT_EQ(w->lastStepRecord.outcome, -1);
    ApplyMoveToCopy(*w, P(), *copy, Move(4, kNoPiece, 20, 17, 20, 16, 1, -3.0f), 0);
    EXPECT_EQ((*copy)[4].alive, 1);  // onto an empty point: a plain move
    EXPECT_EQ((*copy)[4].y, 16);
    // The source is never touched.
    EXPECT_EQ(P()[4].x, 20);
    EXPECT_EQ(P()[30].alive, 1);
}

TEST_F(EvaluateTest, ReplyOfASeatWithoutMoves) {
    PutAt(P(), 21, kFlag, 21);
    const PieceTable before = P();
    EXPECT_FLOAT_EQ(SeatReplyValue(*w, 1, 0, P()), 0.0f);
    EXPECT_EQ(std::memcmp(&before, &P(), sizeof before), 0);
}

TEST_F(EvaluateTest, ReplyIsPlayedOnTheBoard) {
    Put(P(), 10, kCompany, 20, 16);
    Put(P(), 30, kPlatoon, 20, 17);
    SetAllRows(P()[30], {{11, 100.0f}});
    const float v = SeatReplyValue(*w, 0, 0, P());
    EXPECT_GT(v, 0.0f);
    EXPECT_EQ(P()[30].alive, 0);  // the company took the platoon
    EXPECT_EQ(P()[10].y, 17);
}

}  // namespace
}  // namespace jq
