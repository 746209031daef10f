#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "ai/evaluate.h"
#include "ai/expected.h"
#include "ai/movegen.h"
#include "position.h"

namespace jq {
namespace {

using aitest::Move;
using test::Put;
using test::SetAllRows;
using test::SetRow;

// The immediate value of one move, by the basic level's evaluation (army
// beliefs everywhere) or the upper levels' (even beliefs).
struct Piece {
    int index = -1, code = 0, x = 0, y = 0;
};
struct Belief {  // observer -1: every observer
    int piece = -1, observer = -1, codeA = 0;
    float weightA = 0;
    int codeB = 0;
    float weightB = 0;
};
struct ValueCase {
    const char* what;
    bool basic;
    int step, viewer, seat;
    Piece pieces[4];
    Belief beliefs[3];
    int mover, target, fromX, fromY, toX, toY;
    float expected;
};

constexpr bool kBasic = true;
constexpr bool kUpper = false;

TEST(ImmediateValue, Cases) {
    const ValueCase cases[] = {
        // Giving away a likely mine.
        {"mine weight 6", kBasic, 0, 0, 0, {{10, kPlatoon, 21, 15}}, {{10, 0, kMine, 6, kPlatoon, 94}},
         10, kNoPiece, 21, 15, 20, 14, 0},
        {"mine weight 10", kBasic, 0, 0, 0, {{10, kPlatoon, 21, 15}}, {{10, 0, kMine, 10, kPlatoon, 90}},
         10, kNoPiece, 21, 15, 20, 14, -60},
        {"mine weight 6", kUpper, 0, 0, 0, {{0, kBrigade, 18, 20}}, {{0, 0, kMine, 6, kBrigade, 94}},
         0, kNoPiece, 18, 20, 20, 20, 200},
        {"mine weight 10", kUpper, 0, 0, 0, {{0, kBrigade, 18, 20}}, {{0, 0, kMine, 10, kBrigade, 90}},
         0, kNoPiece, 18, 20, 20, 20, 140},
        // A step only an engineer makes.
        {"sure engineer", kBasic, 0, 0, 0, {{8, kEngineer, 18, 15}}, {{8, 0, kEngineer, 90, kPlatoon, 10}},
         8, kNoPiece, 18, 15, 20, 17, 200},
        {"hidden engineer", kBasic, 0, 0, 0, {{8, kEngineer, 18, 15}}, {{8, 0, kEngineer, 89.9f, kPlatoon, 10.1f}},
         8, kNoPiece, 18, 15, 20, 17, -1400},
        {"one plain step", kBasic, 0, 0, 0, {{10, kEngineer, 21, 15}}, {{10, 0, kEngineer, 50, kPlatoon, 50}},
         10, kNoPiece, 21, 15, 20, 15, 100},
        {"sure engineer", kUpper, 0, 0, 0, {{0, kEngineer, 18, 13}}, {{0, 0, kEngineer, 90, kPlatoon, 10}},
         0, kNoPiece, 18, 13, 22, 17, 200},
        {"hidden engineer", kUpper, 0, 0, 0, {{0, kEngineer, 18, 13}}, {{0, 0, kEngineer, 89.9f, kPlatoon, 10.1f}},
         0, kNoPiece, 18, 13, 22, 17, -800},
        {"engineer attacking", kUpper, 0, 0, 0, {{0, kEngineer, 18, 13}, {30, kPlatoon, 22, 17}},
         {{0, 0, kEngineer, 50, kPlatoon, 50}}, 0, 30, 18, 13, 22, 17, 200},
        // The kind of point entered.
        {"headquarters", kBasic, 0, 0, 0, {{10, kPlatoon, 20, 13}}, {{10, -1, kPlatoon, 100}},
         10, kNoPiece, 20, 13, 19, 12, -10000},
        {"camp", kBasic, 0, 0, 0, {{10, kPlatoon, 20, 13}}, {{10, -1, kPlatoon, 100}}, 10, kNoPiece, 20, 13, 19, 14, 100},
        {"road", kBasic, 0, 0, 0, {{10, kPlatoon, 20, 13}}, {{10, -1, kPlatoon, 100}}, 10, kNoPiece, 20, 13, 20, 14, 0},
        {"railway", kBasic, 0, 0, 0, {{10, kPlatoon, 20, 13}}, {{10, -1, kPlatoon, 100}}, 10, kNoPiece, 20, 13, 20, 17, 200},
        {"headquarters", kUpper, 0, 0, 0, {{0, kBrigade, 20, 13}}, {}, 0, kNoPiece, 20, 13, 19, 12, -10000},
        {"camp", kUpper, 0, 0, 0, {{0, kBrigade, 20, 13}}, {}, 0, kNoPiece, 20, 13, 19, 14, 100},
        {"railway", kUpper, 0, 0, 0, {{0, kBrigade, 20, 13}}, {}, 0, kNoPiece, 20, 13, 19, 13, 200},
        {"road", kUpper, 0, 0, 0, {{0, kBrigade, 20, 13}}, {}, 0, kNoPiece, 20, 13, 20, 14, 0},
        // Approach squares of a headquarters believed to hold a flag.
        {"into an enemy approach", kBasic, 60, 0, 0,
         {{46, kFlag, 28, 19}, {48, kBattalion, 28, 21}, {10, kPlatoon, 26, 18}},
         {{46, 0, kFlag, 60, kBattalion, 40}, {48, 0, kFlag, 40, kBattalion, 60}, {10, -1, kPlatoon, 100}}, 10, kNoPiece, 26, 18, 27, 19, 342.857f},
        {"... later in the battle", kBasic, 61, 0, 0,
         {{46, kFlag, 28, 19}, {48, kBattalion, 28, 21}, {10, kPlatoon, 26, 18}},
         {{46, 0, kFlag, 60, kBattalion, 40}, {48, 0, kFlag, 40, kBattalion, 60}, {10, -1, kPlatoon, 100}}, 10, kNoPiece, 26, 18, 27, 19, 514.286f},
        {"equal weights: the other row", kBasic, 60, 0, 0,
         {{46, kFlag, 28, 19}, {48, kBattalion, 28, 21}, {10, kPlatoon, 26, 18}},
         {{46, 0, kFlag, 60, kBattalion, 40}, {48, 0, kFlag, 60, kBattalion, 40}, {10, -1, kPlatoon, 100}}, 10, kNoPiece, 26, 18, 27, 19, 200},
        {"engineer leaving the row", kBasic, 0, 0, 0,
         {{46, kFlag, 28, 19}, {48, kMine, 28, 21}, {10, kEngineer, 26, 18}},
         {{46, 0, kFlag, 60, kMine, 40}, {48, 0, kFlag, 40, kMine, 60}, {10, -1, kEngineer, 100}}, 10, kNoPiece, 26, 18, 25, 18, -5.714f},
        {"platoon leaving the row", kBasic, 0, 0, 0,
         {{46, kFlag, 28, 19}, {48, kMine, 28, 21}, {10, kPlatoon, 26, 18}},
         {{46, 0, kFlag, 60, kMine, 40}, {48, 0, kFlag, 40, kMine, 60}, {10, -1, kPlatoon, 100}}, 10, kNoPiece, 26, 18, 25, 18, 200},
        {"capture beside the own flag", kBasic, 0, 0, 0,
         {{21, kFlag, 19, 12}, {12, kDivision, 18, 14}, {30, kPlatoon, 18, 13}},
         {{12, -1, kDivision, 100}, {30, -1, kPlatoon, 100}}, 12, 30, 18, 14, 18, 13, 5851.43f},
        {"own approach", kBasic, 0, 0, 0, {{21, kFlag, 19, 12}, {10, kPlatoon, 18, 14}},
         {{10, -1, kPlatoon, 100}}, 10, kNoPiece, 18, 14, 18, 13, 371.429f},
        {"partner's approach", kBasic, 0, 2, 2, {{21, kFlag, 19, 12}, {10, kPlatoon, 18, 14}},
         {{10, -1, kPlatoon, 100}, {21, 2, kFlag, 100}}, 10, kNoPiece, 18, 14, 18, 13, 371.429f},
        {"engineer into the centre", kBasic, 0, 0, 0, {{21, kFlag, 19, 12}, {2, kEngineer, 20, 17}},
         {{2, -1, kEngineer, 100}}, 2, kNoPiece, 20, 17, 20, 18, 200},
        {"within the row", kUpper, 0, 1, 1, {{21, kFlag, 19, 12}, {23, kMine, 21, 12}, {30, kBrigade, 20, 12}},
         {{21, 1, kFlag, 50, kMine, 50}, {23, 1, kFlag, 50, kMine, 50}}, 30, kNoPiece, 20, 12, 20, 13, 200},
        {"out of the row", kUpper, 0, 1, 1, {{21, kFlag, 19, 12}, {23, kMine, 21, 12}, {30, kBrigade, 20, 12}},
         {{21, 1, kFlag, 50, kMine, 50}, {23, 1, kFlag, 50, kMine, 50}}, 30, kNoPiece, 20, 12, 20, 14, -150},
        {"from the other row", kUpper, 0, 1, 1, {{21, kFlag, 19, 12}, {23, kMine, 21, 12}, {31, kBrigade, 18, 12}},
         {{21, 1, kFlag, 50, kMine, 50}, {23, 1, kFlag, 50, kMine, 50}}, 31, kNoPiece, 18, 12, 18, 13, 200},
        {"engineer out of the centre", kUpper, 0, 1, 1, {{21, kFlag, 19, 12}, {30, kEngineer, 20, 18}},
         {{21, 1, kFlag, 50, kMine, 50}, {23, 1, kFlag, 50, kMine, 50}}, 30, kNoPiece, 20, 18, 20, 17, 114.286f},
        {"brigade out of the centre", kUpper, 0, 1, 1, {{21, kFlag, 19, 12}, {31, kBrigade, 20, 18}},
         {{21, 1, kFlag, 50, kMine, 50}, {23, 1, kFlag, 50, kMine, 50}}, 31, kNoPiece, 20, 18, 20, 17, 200},
        {"engineer into the centre", kUpper, 0, 1, 1, {{21, kFlag, 19, 12}, {32, kEngineer, 20, 17}},
         {{21, 1, kFlag, 50, kMine, 50}, {23, 1, kFlag, 50, kMine, 50}}, 32, kNoPiece, 20, 17, 20, 18, 200},
    };
    for (const ValueCase& c : cases) {
        auto w = aitest::MakeWorkspace();
        PieceTable& t = w->game.pieces;
        if (!c.basic) aitest::EvenBeliefs(t);
        w->game.stepCount = c.step;
        for (const Piece& p : c.pieces)
            if (p.index >= 0) Put(t, p.index, p.code, p.x, p.y);
        for (const Belief& b : c.beliefs) {
            if (b.piece < 0) continue;
            for (int s = 0; s < kSeats; ++s)
                if (b.observer < 0 || b.observer == s) {
                    SetRow(t[b.piece].beliefs[s], {{b.codeA, b.weightA}});
                    if (b.codeB != 0) t[b.piece].beliefs[s][b.codeB - 1] = b.weightB;
                }
        }
        MoveCand m = Move(c.mover, c.target, c.fromX, c.fromY, c.toX, c.toY);
        float scratch[12] = {};
        const float v = c.basic ? EvaluateMoveBasic(*w, c.viewer, c.seat, t, m)
                                : ImmediateMoveValue(*w, c.viewer, t, m, scratch);
        EXPECT_NEAR(v, c.expected, 2e-3) << (c.basic ? "basic: " : "upper: ") << c.what;
    }
}

// The upper levels' value also revises the mover's row: the mine ruled out,
// and a step only an engineer makes shows the engineer.
TEST(ImmediateValue, RevisesTheMoversRow) {
    auto w = aitest::MakeWorkspace();
    PieceTable& t = w->game.pieces;
    Put(t, 0, kEngineer, 18, 13);
    MoveCand run = Move(0, kNoPiece, 18, 13, 22, 17);
    float row[12];
    for (float& x : row) x = 5.0f;
    ImmediateMoveValue(*w, 0, t, run, row);
    for (int j = 0; j < 11; ++j) EXPECT_EQ(row[j], 0.0f) << j;
    EXPECT_EQ(row[11], 100.0f);
    MoveCand step = Move(0, kNoPiece, 18, 13, 19, 13);
    for (float& x : row) x = 5.0f;
    ImmediateMoveValue(*w, 0, t, step, row);
    EXPECT_EQ(row[1], 0.0f);
    EXPECT_EQ(row[2], 5.0f);
}

class EvaluateTest : public ::testing::Test {
protected:
    PieceTable& P() { return w->game.pieces; }
    std::unique_ptr<AiWorkspace> w = aitest::MakeWorkspace();
};

TEST_F(EvaluateTest, ReplyIsTheBestMovePlayedOnTheBoard) {
    Put(P(), 10, kCompany, 20, 16);
    Put(P(), 30, kPlatoon, 20, 17);
    SetAllRows(P()[30], {{kPlatoon, 100.0f}});
    EXPECT_GT(SeatReplyValue(*w, 0, 0, P()), 0.0f);
    EXPECT_EQ(P()[30].alive, 0);
    EXPECT_EQ(P()[10].y, 17);
}

TEST_F(EvaluateTest, ReplyWhenNothingScoresAboveZeroIsTheFirst) {
    Put(P(), 10, kPlatoon, 20, 14);
    SetAllRows(P()[10], {{kMine, 50.0f}, {kPlatoon, 50.0f}});  // every step gives it away
    auto gen = std::make_unique<MoveGenWork>();
    ASSERT_GT(GenerateMoves(*gen, P(), 0), 1);
    const MoveCand first = gen->list[0];
    const float expected = EvaluateMoveBasic(*w, 1, 0, P(), first);
    ASSERT_LT(expected, 0.0f);
    EXPECT_FLOAT_EQ(SeatReplyValue(*w, 1, 0, P()), expected);
    EXPECT_EQ(GridPoint(P()[10].x, P()[10].y), GridPoint(first.toX, first.toY));
    // A seat without moves: nothing, the board untouched.
    const PieceTable before = P();
    EXPECT_FLOAT_EQ(SeatReplyValue(*w, 1, 2, P()), 0.0f);
    EXPECT_EQ(std::memcmp(&before, &P(), sizeof before), 0);
}

TEST_F(EvaluateTest, ThreatBalanceCountsAttacksWorthMoreThanOne) {
    Put(P(), 10, kCompany, 20, 16);
    Put(P(), 30, kPlatoon, 20, 17);
    SetRow(P()[30].beliefs[0], {{kPlatoon, 0.05f}});  // an attack worth exactly 1
    EXPECT_FLOAT_EQ(EvaluateThreatBalance(*w, 0, 0, P()), 0.0f);
    SetRow(P()[30].beliefs[0], {{kPlatoon, 0.1f}});
    EXPECT_FLOAT_EQ(EvaluateThreatBalance(*w, 0, 0, P()), 2.0f);
    EXPECT_FLOAT_EQ(EvaluateThreatBalance(*w, 0, 2, P()), 0.0f);  // no move
}

TEST_F(EvaluateTest, SimulatedOutcomeFollowsTheScore) {
    test::PutAt(P(), 4, kBomb, 2);
    test::PutAt(P(), 30, kPlatoon, 3);
    auto copy = std::make_unique<PieceTable>();
    struct Case {
        int code;
        float score;
        int target, moverAlive, targetAlive, recorded;
    };
    const Case cases[] = {
        {kBomb, 50.0f, 30, 0, 0, 0},          // a bomb takes both whatever the score
        {kDivision, 0.0f, 30, 0, 0, 0},       // even: both go
        {kDivision, -3.0f, 30, 0, 1, -1},     // below: the mover goes
        {kDivision, 3.0f, 30, 1, 0, 1},       // above: the target goes
        {kDivision, -3.0f, kNoPiece, 1, 1, 1},  // onto an empty point: a plain move
    };
    for (const Case& c : cases) {
        P()[4].code = c.code;
        const int toY = c.target == kNoPiece ? 16 : 17;
        const int toX = c.target == kNoPiece ? 20 : 21;
        ApplyMoveToCopy(*w, P(), *copy, Move(4, c.target, 20, 17, toX, toY, 1, c.score), 1);
        EXPECT_EQ((*copy)[4].alive, c.moverAlive) << c.code << " " << c.score;
        EXPECT_EQ((*copy)[30].alive, c.targetAlive) << c.code << " " << c.score;
        EXPECT_EQ(GridPoint((*copy)[4].x, (*copy)[4].y), GridPoint(toX, toY));
        if (c.code != kBomb) EXPECT_EQ(w->lastStepRecord.outcome, c.recorded);
    }
    EXPECT_EQ(P()[4].x, 20);  // the source is never touched
    EXPECT_EQ(P()[30].alive, 1);
}

}  // namespace
}  // namespace jq
