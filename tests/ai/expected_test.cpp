#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "ai/derivedmoves.h"
#include "ai/expectation.h"
#include "ai/expected.h"
#include "ai/inference.h"
#include "formations/piecestats.h"
#include "position.h"

namespace jq {
namespace {

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

// One greedy step of a seat in a playout.
TEST_F(ExpectedScoreTest, PlayoutStepOfOneSeat) {
    Put(21, kFlag, 21);
    const PieceTable before = Pieces();
    EXPECT_EQ(SeatPositionValue(*w, 0, 0, Pieces()), 0.0);  // no move
    EXPECT_EQ(std::memcmp(&before, &Pieces(), sizeof before), 0);

    Put(0, kBrigade, 13);  // (20,14): plain steps only, the first is played
    EXPECT_EQ(SeatPositionValue(*w, 0, 0, Pieces()), 0.0);
    EXPECT_EQ(GridPoint(Pieces()[0].x, Pieces()[0].y), GridPoint(19, 14));

    // A capture of a piece believed a flag, else a division: unlikely (0.4)
    // it is played as an exchange, even (0.5) the mover stays.
    for (auto [flagWeight, moverAlive] : {std::pair{40.0f, 0}, std::pair{50.0f, 1}}) {
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

TEST(Expectation, ChancesAndMixedForms) {
    float pv[15];
    std::memcpy(pv, kInitialPieceValues, sizeof pv);
    float d[12], a[12];
    SetRow(d, {{kArmyCommander, 50}, {kBrigade, 50}});
    EXPECT_DOUBLE_EQ(WinProbability(kDivision, d), 0.5);
    EXPECT_DOUBLE_EQ(LossProbability(kDivision, d), 0.5);
    EXPECT_EQ(WinProbability(0, d), 0.0);
    EXPECT_EQ(LossProbability(13, d), 0.0);
    SetRow(a, {{kEngineer, 100}});
    SetRow(d, {{kMine, 100}});
    EXPECT_FLOAT_EQ(ExpectedAttackValueMixed(pv, a, d), 5000.0f);
    SetRow(d, {{kBrigade, 100}});
    SetRow(a, {{kDivision, 50}, {kRegiment, 50}});
    EXPECT_DOUBLE_EQ(MixedWinProbability(d, a), 0.5);
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
