#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <tuple>
#include <vector>

#include "ai/derivedmoves.h"
#include "ai/evaluate.h"
#include "ai/expectation.h"
#include "ai/expected.h"
#include "ai/inference.h"
#include "ai/movegen.h"
#include "formations/piecestats.h"
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

// A simulated capture ends as its score says; a bomb takes both.
TEST_F(EvaluateTest, SimulatedOutcomeFollowsTheScore) {
    test::PutAt(P(), 4, kDivision, 2);
    test::PutAt(P(), 30, kPlatoon, 3);
    auto copy = std::make_unique<PieceTable>();
    const struct {
        int code;
        float score;
        int moverAlive, targetAlive, recorded;
    } cases[] = {{kBomb, 50, 0, 0, 0}, {kDivision, 0, 0, 0, 0}, {kDivision, -3, 0, 1, -1}, {kDivision, 3, 1, 0, 1}};
    for (const auto& c : cases) {
        P()[4].code = c.code;
        ApplyMoveToCopy(*w, P(), *copy, Move(4, 30, 20, 17, 21, 17, 1, c.score), 1);
        EXPECT_EQ(std::make_tuple((*copy)[4].alive, (*copy)[30].alive, w->lastStepRecord.outcome),
                  std::make_tuple(c.moverAlive, c.targetAlive, c.recorded)) << c.code << " " << c.score;
    }
    EXPECT_EQ(std::make_tuple(P()[4].x, P()[30].alive), std::make_tuple(20, 1)) << "the source is untouched";
}

using ExpectedScoreTest = aitest::PositionTest;

constexpr int kCentreMid = 124;    // (20,20)
constexpr int kCentreRight = 125;  // (22,20)

// The search narrows one observer's rows; the whole-table forms narrow every
// row. For that observer both must agree, hostile weights included.
TEST_F(ExpectedScoreTest, ObserverRowsNarrowAsTheWholeTable) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> pick(0, 9);
    for (PieceRec& pc : Pieces())
        for (auto& row : pc.beliefs)
            for (float& x : row) x = pick(gen) < 3 ? 0.0f : static_cast<float>(pick(gen)) * 7.3f + 0.00005f;
    Pieces()[7].beliefs[2][4] = 1e-5f;
    Pieces()[8].beliefs[2][1] = std::numeric_limits<float>::infinity();
    Pieces()[9].beliefs[2][2] = std::numeric_limits<float>::quiet_NaN();
    Pieces()[10].beliefs[2][3] = -4.0f;
    Pieces()[11].beliefs[2][5] = 3e38f;  // the row's sum overflows
    Pieces()[11].beliefs[2][6] = 3e38f;
    for (float& x : Pieces()[12].beliefs[2]) x = 0.0f;
    for (int result = -1; result <= 1; ++result) {
        PieceTable whole = Pieces();
        PieceTable mine = Pieces();
        UpdateBeliefsByCombat(whole[40].beliefs[2], whole[3].beliefs[2], result, whole);
        NarrowByCombat(mine[40].beliefs[2], mine[3].beliefs[2], result, mine, 2);
        for (int i = 0; i < kPieceCount; ++i)
            for (int j = 0; j < 12; ++j) ASSERT_EQ(whole[i].beliefs[2][j], mine[i].beliefs[2][j]) << i << " " << j;
    }
    PieceTable whole = Pieces();
    PieceTable mine = Pieces();
    NormalisePieceStatRows(whole);
    NormaliseObserverRows(mine, 1);
    for (int i = 0; i < kPieceCount; ++i)
        for (int j = 0; j < 12; ++j) ASSERT_EQ(whole[i].beliefs[1][j], mine[i].beliefs[1][j]);
}

// One greedy step of a seat in a playout: a capture of a piece believed a
// flag, else a division, less likely than not (0.49) is played as an exchange, even
// (0.5) keeps the mover.
TEST_F(ExpectedScoreTest, PlayoutStepOfOneSeat) {
    for (auto [flagWeight, moverAlive] : {std::pair{49.0f, 0}, std::pair{50.0f, 1}}) {
        Put(0, kBrigade, kCentreMid);
        Believe(0, 0, {{kBrigade, 100.0f}});
        Put(25, kDivision, kCentreRight);
        Believe(25, 0, {{kFlag, flagWeight}, {kDivision, 100.0f - flagWeight}});
        EXPECT_GT(SeatPositionValue(*w, 0, 0, Pieces()), 0.0);
        EXPECT_EQ(Pieces()[25].alive, 0);
        EXPECT_EQ(Pieces()[0].alive, moverAlive) << flagWeight;
    }
}

// The scoring lists the seats' moves once and derives the moves of every
// position it plays out from them; the playouts must come out as if every
// list were made afresh.
TEST_F(ExpectedScoreTest, PlayoutOnKeptMovesEqualsOneOnFreshMoves) {
    std::mt19937 gen(23);
    auto fresh = std::make_unique<AiWorkspace>();
    for (int round = 0; round < 6; ++round) {
        for (PieceRec& pc : Pieces()) pc.alive = 0;
        std::vector<int> points(kPointCount);
        for (int p = 0; p < kPointCount; ++p) points[p] = p;
        std::shuffle(points.begin(), points.end(), gen);
        for (int i = 0; i < 60; ++i) Put(static_cast<int>(gen() % kPieceCount), static_cast<int>(1 + gen() % 12), points[i]);
        fresh->game = w->game;
        for (int s = 0; s < kSeats; ++s) {
            BuildSeatMoves(*w, Pieces(), s, w->rootMoves[s]);
            fresh->rootMoves[s].valid = false;
        }
        const int me = round % kSeats;
        MoveGenWork& list = fresh->aiMoveList;
        const int n = GenerateMoves(list, Pieces(), me);
        for (int i = 0; i < n; ++i) {
            const MoveCand& c = list.list[i];
            PieceTable kept = Pieces();
            kept[c.mover].x = c.toX;
            kept[c.mover].y = c.toY;
            if (c.target >= 0) kept[c.target].alive = 0;
            PieceTable made = kept;
            ASSERT_EQ(PlayoutValue(*w, me, kept), PlayoutValue(*fresh, me, made)) << round << " move " << i;
            ASSERT_EQ(std::memcmp(&kept, &made, sizeof kept), 0) << round << " move " << i;
        }
    }
}

TEST_F(ExpectedScoreTest, PlainMoveScoreIsItsImmediateValueOnAQuietBoard) {
    Put(0, kBrigade, 13);
    Believe(0, 0, {{kBrigade, 100.0f}});
    MoveGenWork& gen = w->aiMoveList;
    const int n = GenerateMoves(gen, Pieces(), 0);
    ASSERT_EQ(n, 4);
    ASSERT_TRUE(EvaluateMovesExpected(*w, 0, n, gen.list, Pieces()));
    for (int i = 0; i < n; ++i) {
        MoveCand probe = gen.list[i];
        float scratch[12] = {};
        EXPECT_FLOAT_EQ(gen.list[i].score, ImmediateMoveValue(*w, 0, Pieces(), probe, scratch)) << i;
    }
}

// An attack on what may be a flag (70) or a mine (30), a sure flag behind
// it that only a winner reaches; nothing else moves.
TEST_F(ExpectedScoreTest, AttackScoreGolden) {
    Put(0, kBrigade, kCentreMid);
    Believe(0, 0, {{kBrigade, 100.0f}});
    Put(25, kMine, kCentreRight);
    Believe(25, 0, {{kFlag, 70.0f}, {kMine, 30.0f}});
    Put(26, kFlag, 32);  // (23,20)
    Believe(26, 0, {{kFlag, 100.0f}});
    MoveGenWork& gen = w->aiMoveList;
    const int n = GenerateMoves(gen, Pieces(), 0);
    ASSERT_TRUE(EvaluateMovesExpected(*w, 0, n, gen.list, Pieces()));
    const MoveCand* attack = std::find_if(gen.list, gen.list + n, [](const MoveCand& c) { return c.target == 25; });
    ASSERT_NE(attack, gen.list + n);
    EXPECT_NEAR(attack->score, 139120.0, 0.5);
}

// A piece of seat 1 that is one of two codes, taken by seat 0's attacker:
// the exchange counts as kept for ordinary pieces, not for a commander,
// which must keep its piece with at least the caution level unless the
// style is careless.
TEST_F(ExpectedScoreTest, CautionOfTheAttacker) {
    EXPECT_NEAR(CautionThreshold(*w, kCommander), 0.8, 1e-9);
    EXPECT_NEAR(CautionThreshold(*w, kArmyCommander), 0.705, 1e-6);
    EXPECT_NEAR(CautionThreshold(*w, kPlatoon), 0.42, 1e-6);
    struct Case {
        int attacker, even;
        float evenWeight;
        int weaker;
        double caution;
        bool scored;
    };
    const Case cases[] = {{kDivision, kDivision, 50, kBrigade, 0.8, true},
                          {kCommander, kCommander, 50, kDivision, 0.8, false},
                          {kCommander, kCommander, 20, kDivision, 0.8, true},  // keeps it with exactly 0.8
                          {kCommander, kCommander, 50, kDivision, 0.382, true}};
    for (const Case& c : cases) {
        w->game.styleCoefCaution = c.caution;
        Put(0, c.attacker, kCentreMid);
        Believe(0, 0, {{c.attacker, 100.0f}});
        Put(25, c.even, kCentreRight);
        Believe(25, 0, {{c.even, c.evenWeight}, {c.weaker, 100 - c.evenWeight}});
        MoveGenWork& gen = w->aiMoveList;
        const int n = GenerateMoves(gen, Pieces(), 0);
        ASSERT_TRUE(EvaluateMovesExpected(*w, 0, n, gen.list, Pieces()));
        const MoveCand* attack = std::find_if(gen.list, gen.list + n, [](const MoveCand& m) { return m.target == 25; });
        ASSERT_NE(attack, gen.list + n);
        EXPECT_EQ(attack->score > 0.0f, c.scored) << c.attacker << " " << c.caution;
        if (!c.scored) EXPECT_EQ(attack->score, 0.0f);
    }
}

TEST_F(ExpectedScoreTest, StopLeavesTheRestUnscored) {
    Put(0, kBrigade, 13);
    MoveGenWork& gen = w->aiMoveList;
    const int n = GenerateMoves(gen, Pieces(), 0);
    for (int i = 0; i < n; ++i) gen.list[i].score = 7.0f;
    abort = 1;
    EXPECT_FALSE(EvaluateMovesExpected(*w, 0, n, gen.list, Pieces()));
    for (int i = 0; i < n; ++i) EXPECT_EQ(gen.list[i].score, 0.0f);
}

using test::SetRow;

TEST(Expectation, AttackValuesAndTheBombsValue) {
    struct Case {
        int attacker, codeA;
        float weightA;
        int codeB;
        float weightB, value, bomb;
    };
    const Case cases[] = {
        {kDivision, kArmyCommander, 50, kBrigade, 50, -1000, 105.06f},
        {kBomb, kFlag, 100, 0, 0, 200000, 1},              // no officer possible
        {kEngineer, kCommander, 0.1f, kPlatoon, 99.9f, 0, 135.96f},  // a stored 0.1 is just above 0.1
        {kEngineer, kCommander, 0.09f, kPlatoon, 99.91f, 0, 12.36f},
        {kRegiment, kRegiment, 100, 0, 0, 0, 30.9f},       // a tie counts both ways
        {kEngineer, kEngineer, 100, 0, 0, 0, 24.72f},
        {kEngineer, kBomb, 100, 0, 0, -3900, 1},           // the bomb as just valued
        {0, kArmyCommander, 100, 0, 0, 0, 105.06f},        // codes outside 1..12 gain nothing
        {13, kArmyCommander, 100, 0, 0, 0, 105.06f},
    };
    for (const Case& c : cases) {
        float pv[15];
        std::memcpy(pv, kInitialPieceValues, sizeof pv);
        float d[12];
        SetRow(d, {{c.codeA, c.weightA}});
        if (c.codeB != 0) d[c.codeB - 1] = c.weightB;
        const float v = ExpectedAttackValue(pv, c.attacker, d);
        if (c.attacker != kEngineer || c.codeA != kCommander) EXPECT_FLOAT_EQ(v, c.value) << c.attacker << " " << c.codeA;
        EXPECT_FLOAT_EQ(pv[2], c.bomb) << c.attacker << " " << c.codeA << " " << c.weightA;
    }
}

// All-zero rows arise from the belief updates: nothing may come out NaN and
// the chances of winning and losing never add up past 1.
TEST(Expectation, EmptyRowsGiveDefinedValues) {
    float pv[15];
    std::memcpy(pv, kInitialPieceValues, sizeof pv);
    float d[12] = {};
    float a[12] = {};
    EXPECT_EQ(ExpectedAttackValue(pv, kRegiment, d), 0.0f);
    EXPECT_FLOAT_EQ(pv[2], 1.0f);
    for (int code = 1; code <= 12; ++code) {
        EXPECT_EQ(WinProbability(code, d), 1.0);
        EXPECT_EQ(LossProbability(code, d), 0.0);
    }
    EXPECT_EQ(ExpectedAttackValueMixed(pv, a, d), 0.0f);
    SetRow(d, {{kBrigade, 100}});
    EXPECT_EQ(ExpectedAttackValueMixed(pv, a, d), 0.0f);
    EXPECT_EQ(MixedWinProbability(d, a), 0.0);
}

}  // namespace
}  // namespace jq
