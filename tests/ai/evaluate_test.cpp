#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <tuple>

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
// beliefs) or the upper levels' (even beliefs), on one of a few
// backgrounds; the mover's rows (every observer's) as given.
enum Background {
    kNothing,
    kEnemyHq,       // seat 1's headquarters: seat 0 believes the flag on slot 21 (60 to 40)
    kEnemyHqEqual,  // ... with 60 on both
    kOwnFlag,       // seat 0's flag on slot 21, which seat 2 knows
    kTornHq,        // seat 0's flag on slot 21, a mine on 23; seat 1 torn 50 to 50
};
struct Row {
    int codeA = 0;
    float weightA = 0;
    int codeB = 0;
    float weightB = 0;
};
struct Target {
    int index = kNoPiece, code = 0, x = 0, y = 0;
};
struct ValueCase {
    const char* what;
    bool basic;
    Background background;
    int step, viewer, mover, code;
    Row row;
    int fromX, fromY, toX, toY;
    float expected;
    Target target = {};
};
constexpr bool kBasic = true;
constexpr bool kUpper = false;

void Lay(PieceTable& t, Background b) {
    auto row = [&](int piece, int observer, float flag, int other) {
        SetRow(t[piece].beliefs[observer], {{kFlag, flag}, {other, 100 - flag}});
    };
    if (b == kEnemyHq || b == kEnemyHqEqual) {
        Put(t, 46, kFlag, 28, 19);
        Put(t, 48, kMine, 28, 21);
        row(46, 0, 60, kMine);
        row(48, 0, b == kEnemyHq ? 40 : 60, kMine);
    }
    if (b == kOwnFlag || b == kTornHq) Put(t, 21, kFlag, 19, 12);
    if (b == kOwnFlag) row(21, 2, 100, kMine);
    if (b == kTornHq) {
        Put(t, 23, kMine, 21, 12);
        row(21, 1, 50, kMine);
        row(23, 1, 50, kMine);
    }
}

TEST(ImmediateValue, Cases) {
    const ValueCase cases[] = {
        {"mine weight 6", kBasic, kNothing, 0, 0, 10, kPlatoon, {kMine, 6, kPlatoon, 94}, 21, 15, 20, 14, 0},
        {"mine weight 10", kBasic, kNothing, 0, 0, 10, kPlatoon, {kMine, 10, kPlatoon, 90}, 21, 15, 20, 14, -60},
        {"mine weight 6", kUpper, kNothing, 0, 0, 0, kBrigade, {kMine, 6, kBrigade, 94}, 18, 20, 20, 20, 200},
        {"mine weight 10", kUpper, kNothing, 0, 0, 0, kBrigade, {kMine, 10, kBrigade, 90}, 18, 20, 20, 20, 140},
        {"sure engineer", kBasic, kNothing, 0, 0, 8, kEngineer, {kEngineer, 90, kPlatoon, 10}, 18, 15, 20, 17, 200},
        {"hidden engineer", kBasic, kNothing, 0, 0, 8, kEngineer, {kEngineer, 89.9f, kPlatoon, 10.1f}, 18, 15, 20, 17, -1400},
        {"one plain step", kBasic, kNothing, 0, 0, 10, kEngineer, {kEngineer, 50, kPlatoon, 50}, 21, 15, 20, 15, 100},
        {"sure engineer", kUpper, kNothing, 0, 0, 0, kEngineer, {kEngineer, 90, kPlatoon, 10}, 18, 13, 22, 17, 200},
        {"hidden engineer", kUpper, kNothing, 0, 0, 0, kEngineer, {kEngineer, 89.9f, kPlatoon, 10.1f}, 18, 13, 22, 17, -800},
        {"engineer attacking", kUpper, kNothing, 0, 0, 0, kEngineer, {kEngineer, 50, kPlatoon, 50}, 18, 13, 22, 17, 200,
         {30, kPlatoon, 22, 17}},
        {"headquarters", kBasic, kNothing, 0, 0, 10, kPlatoon, {kPlatoon, 100}, 20, 13, 19, 12, -10000},
        {"camp", kBasic, kNothing, 0, 0, 10, kPlatoon, {kPlatoon, 100}, 20, 13, 19, 14, 100},
        {"road", kBasic, kNothing, 0, 0, 10, kPlatoon, {kPlatoon, 100}, 20, 13, 20, 14, 0},
        {"railway", kBasic, kNothing, 0, 0, 10, kPlatoon, {kPlatoon, 100}, 20, 13, 20, 17, 200},
        {"headquarters", kUpper, kNothing, 0, 0, 0, kBrigade, {}, 20, 13, 19, 12, -10000},
        {"camp", kUpper, kNothing, 0, 0, 0, kBrigade, {}, 20, 13, 19, 14, 100},
        {"into an enemy approach", kBasic, kEnemyHq, 60, 0, 10, kPlatoon, {kPlatoon, 100}, 26, 18, 27, 19, 342.857f},
        {"... later in the battle", kBasic, kEnemyHq, 61, 0, 10, kPlatoon, {kPlatoon, 100}, 26, 18, 27, 19, 514.286f},
        {"equal weights: the other row", kBasic, kEnemyHqEqual, 60, 0, 10, kPlatoon, {kPlatoon, 100}, 26, 18, 27, 19, 200},
        {"engineer leaving the row", kBasic, kEnemyHq, 0, 0, 10, kEngineer, {kEngineer, 100}, 26, 18, 25, 18, -5.714f},
        {"platoon leaving the row", kBasic, kEnemyHq, 0, 0, 10, kPlatoon, {kPlatoon, 100}, 26, 18, 25, 18, 200},
        {"capture beside the own flag", kBasic, kOwnFlag, 0, 0, 12, kDivision, {kDivision, 100}, 18, 14, 18, 13, 5851.43f,
         {30, kPlatoon, 18, 13}},
        {"own approach", kBasic, kOwnFlag, 0, 0, 10, kPlatoon, {kPlatoon, 100}, 18, 14, 18, 13, 371.429f},
        {"partner's approach", kBasic, kOwnFlag, 0, 2, 10, kPlatoon, {kPlatoon, 100}, 18, 14, 18, 13, 371.429f},
        {"engineer into the centre", kBasic, kOwnFlag, 0, 0, 2, kEngineer, {kEngineer, 100}, 20, 17, 20, 18, 200},
        {"within the row", kUpper, kTornHq, 0, 1, 30, kBrigade, {}, 20, 12, 20, 13, 200},
        {"out of the row", kUpper, kTornHq, 0, 1, 30, kBrigade, {}, 20, 12, 20, 14, -150},
        {"from the other row", kUpper, kTornHq, 0, 1, 31, kBrigade, {}, 18, 12, 18, 13, 200},
        {"engineer out of the centre", kUpper, kTornHq, 0, 1, 30, kEngineer, {}, 20, 18, 20, 17, 114.286f},
        {"brigade out of the centre", kUpper, kTornHq, 0, 1, 31, kBrigade, {}, 20, 18, 20, 17, 200},
        {"engineer into the centre", kUpper, kTornHq, 0, 1, 32, kEngineer, {}, 20, 17, 20, 18, 200},
    };
    for (const ValueCase& c : cases) {
        auto w = aitest::MakeWorkspace();
        PieceTable& t = w->game.pieces;
        if (!c.basic) aitest::EvenBeliefs(t);
        w->game.stepCount = c.step;
        Lay(t, c.background);
        Put(t, c.mover, c.code, c.fromX, c.fromY);
        for (auto& row : t[c.mover].beliefs)
            if (c.row.codeA != 0) {
                SetRow(row, {{c.row.codeA, c.row.weightA}});
                if (c.row.codeB != 0) row[c.row.codeB - 1] = c.row.weightB;
            }
        if (c.target.index != kNoPiece) {
            Put(t, c.target.index, c.target.code, c.target.x, c.target.y);
            SetAllRows(t[c.target.index], {{c.target.code, 100}});
        }
        MoveCand m = Move(c.mover, c.target.index, c.fromX, c.fromY, c.toX, c.toY);
        float scratch[12] = {};
        const float v = c.basic ? EvaluateMoveBasic(*w, c.viewer, c.viewer, t, m)
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

// A seat's reply is its best move, played on the board; when nothing scores
// above 0, the first; a seat without moves: nothing.
TEST_F(EvaluateTest, SeatReply) {
    Put(P(), 10, kCompany, 20, 16);
    Put(P(), 30, kPlatoon, 20, 17);
    SetAllRows(P()[30], {{kPlatoon, 100.0f}});
    EXPECT_GT(SeatReplyValue(*w, 0, 0, P()), 0.0f);
    EXPECT_EQ(std::make_tuple(P()[30].alive, P()[10].y), std::make_tuple(0, 17));

    Put(P(), 10, kPlatoon, 20, 14);
    SetAllRows(P()[10], {{kMine, 50.0f}, {kPlatoon, 50.0f}});  // every step gives it away
    auto gen = std::make_unique<MoveGenWork>();
    ASSERT_GT(GenerateMoves(*gen, P(), 0), 1);
    const MoveCand first = gen->list[0];
    const float expected = EvaluateMoveBasic(*w, 1, 0, P(), first);
    ASSERT_LT(expected, 0.0f);
    EXPECT_FLOAT_EQ(SeatReplyValue(*w, 1, 0, P()), expected);
    EXPECT_EQ(GridPoint(P()[10].x, P()[10].y), GridPoint(first.toX, first.toY));
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
