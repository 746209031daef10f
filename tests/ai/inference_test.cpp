#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "ai/inference.h"
#include "ai_support.h"
#include "core/qipan.h"
#include "formations/piecestats.h"

namespace jq {
namespace {

using aitest::Put;
using aitest::PutAt;
using aitest::SetAllRows;
using aitest::SetRow;

float Sum(const float* row) {
    float s = 0.0f;
    for (int j = 0; j < 12; ++j) s += row[j];
    return s;
}

// A table of four seats on their start points, with the army's beliefs, and
// slot statistics that spread nothing (a merge with a tiny weight keeps the
// larger one).
class InferenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        table = std::make_unique<PieceTable>();
        aitest::ClearTable(*table);
        for (int i = 0; i < kPieceCount; ++i) PutAt(*table, i, kPlatoon, (i / 25) * 30 + i % 25);
        for (auto& a : corr)
            for (auto& b : a)
                for (auto& c : b)
                    for (float& v : c) v = 0.001f;
        ctx.board = &Board();
        ctx.slotCorrelation = corr;
        ctx.pathWork = &work;
        ctx.path = &path;
        ctx.move = &move;
    }

    std::unique_ptr<PieceTable> table;
    float corr[25][12][3][12];
    PathWork work{Board()};
    PathBuffer path;
    MoveRec move;
    BeliefContext ctx;
};

TEST_F(InferenceTest, GiveUpChangesNoBeliefButTakesTheCoordinates) {
    const PieceTable before = *table;
    UpdateInferenceAfterMove(ctx, StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 1}, *table);
    EXPECT_EQ(move.fromX, 22);
    EXPECT_EQ(move.toY, 22);
    EXPECT_EQ(std::memcmp(&before, table.get(), sizeof before), 0);
    UpdateInferenceAfterMove(ctx, StepRec{kNoPiece, kNoPiece, 255, 255, 255, 255, 2}, *table);
    EXPECT_EQ(move.toX, 255);
    EXPECT_EQ(std::memcmp(&before, table.get(), sizeof before), 0);
}

TEST_F(InferenceTest, PlainMoveRulesOutFlagAndMineOfTheMover) {
    // Piece 5 (seat 0) steps from (18,16) to (19,16), a camp.
    table->at(5).x = 18;
    table->at(5).y = 16;
    UpdateInferenceAfterMove(ctx, StepRec{5, kNoPiece, 18, 16, 19, 16, 1}, *table);
    for (int obs = 0; obs < 4; ++obs) {
        const float* row = table->at(5).beliefs[obs];
        EXPECT_EQ(row[0], 0.0f);
        EXPECT_EQ(row[1], 0.0f);
        EXPECT_NEAR(Sum(row), 100.0f, 1e-3);
        // The rest keeps its proportions: bomb 8 of 84.
        EXPECT_NEAR(row[2], 8.0f * 100.0f / 84.0f, 1e-3);
    }
    // No other row learned anything.
    EXPECT_NEAR(table->at(6).beliefs[1][0], 4.0f, 1e-4);
}

TEST_F(InferenceTest, EngineerFoundByAStepAnOrdinaryPieceCannotMake) {
    PieceTable& t = *table;
    t[8].code = kEngineer;  // stands on (18,15)
    t[0].alive = t[1].alive = t[5].alive = t[2].alive = 0;  // the railway round the corner is free
    UpdateInferenceAfterMove(ctx, StepRec{8, kNoPiece, 18, 15, 20, 17, 1}, t);
    for (int obs = 0; obs < 4; ++obs) EXPECT_FLOAT_EQ(t[8].beliefs[obs][11], 100.0f) << obs;

    // A straight run along the railway shows nothing.
    t[12].code = kEngineer;  // (18,14)
    t[15].alive = 0;
    UpdateInferenceAfterMove(ctx, StepRec{12, kNoPiece, 18, 14, 18, 13, 1}, t);
    EXPECT_LT(t[12].beliefs[0][11], 90.0f);
}

TEST_F(InferenceTest, CommanderAttackingABombShowsCommanderFlagAndBomb) {
    PieceTable& t = *table;
    // Seat 1's commander (slot 6) meets seat 0's bomb; both go.
    t[31].code = kCommander;
    t[25 + 21].code = kFlag;
    t[7].code = kBomb;
    UpdateInferenceAfterMove(ctx, StepRec{31, 7, 24, 20, 22, 16, 0}, t);
    for (int obs = 0; obs < 4; ++obs) {
        EXPECT_FLOAT_EQ(t[31].beliefs[obs][3], 100.0f) << obs;
        for (int p = 25; p < 50; ++p)
            if (p != 31) {
                EXPECT_EQ(t[p].beliefs[obs][3], 0.0f) << p;
            }
        EXPECT_FLOAT_EQ(t[46].beliefs[obs][0], 100.0f);
        EXPECT_EQ(t[48].beliefs[obs][0], 0.0f);
        EXPECT_FLOAT_EQ(t[7].beliefs[obs][2], 100.0f);
    }
}

TEST_F(InferenceTest, CommandersRemovingEachOtherShowBothFlags) {
    PieceTable& t = *table;
    t[31].code = kCommander;  // seat 1, flag on slot 23
    t[25 + 23].code = kFlag;
    t[56].code = kCommander;  // seat 2, flag on slot 21
    t[50 + 21].code = kFlag;
    UpdateInferenceAfterMove(ctx, StepRec{31, 56, 24, 20, 20, 24, 0}, t);
    for (int obs = 0; obs < 4; ++obs) {
        EXPECT_FLOAT_EQ(t[31].beliefs[obs][3], 100.0f);
        EXPECT_FLOAT_EQ(t[56].beliefs[obs][3], 100.0f);
        EXPECT_FLOAT_EQ(t[48].beliefs[obs][0], 100.0f);
        EXPECT_EQ(t[46].beliefs[obs][0], 0.0f);
        EXPECT_FLOAT_EQ(t[71].beliefs[obs][0], 100.0f);
        EXPECT_EQ(t[73].beliefs[obs][0], 0.0f);
    }
}

TEST_F(InferenceTest, EngineerTakingAMine) {
    PieceTable& t = *table;
    t[30].code = kEngineer;
    t[15].code = kMine;
    UpdateInferenceAfterMove(ctx, StepRec{30, 15, 23, 18, 18, 13, 1}, t);
    // The mine's seat knows the engineer; the engineer's seat knows it took
    // a flag or a mine.
    EXPECT_FLOAT_EQ(t[30].beliefs[0][11], 100.0f);
    for (int j = 2; j < 12; ++j) EXPECT_EQ(t[15].beliefs[1][j], 0.0f) << j;
    EXPECT_GT(t[15].beliefs[1][1], 0.0f);
}

TEST_F(InferenceTest, BombResults) {
    PieceTable& t = *table;
    t[31].code = kBomb;
    t[7].code = kDivision;
    UpdateInferenceAfterMove(ctx, StepRec{31, 7, 24, 20, 22, 16, 0}, t);
    EXPECT_EQ(t[7].beliefs[1][0], 0.0f);  // whatever the bomb met, it was no flag

    t[32].code = kBomb;
    t[21].code = kFlag;
    UpdateInferenceAfterMove(ctx, StepRec{32, 21, 23, 20, 19, 12, 1}, t);
    EXPECT_FLOAT_EQ(t[21].beliefs[1][0], 100.0f);  // a bomb that wins found the flag
}

TEST_F(InferenceTest, MaskNeverEmptiesARow) {
    PieceTable& t = *table;
    SetAllRows(t[21], {{1, 100.0f}});
    ApplyTypeMask(21, 2, kMaskNotFlag, t);
    EXPECT_FLOAT_EQ(t[21].beliefs[2][0], 100.0f);
    ApplyTypeMask(21, 2, kMaskIsFlag, t);
    EXPECT_FLOAT_EQ(t[21].beliefs[2][0], 100.0f);
}

TEST_F(InferenceTest, CombatNarrowingAgainstAnEmptyRowKeepsTheRow) {
    PieceTable& t = *table;
    float other[12] = {};
    const PieceRec before = t[5];
    UpdateBeliefsByCombat(other, t[5].beliefs[1], 1, t);
    for (int j = 0; j < 12; ++j) EXPECT_FLOAT_EQ(t[5].beliefs[1][j], before.beliefs[1][j]);
    // A result outside -1..1 changes nothing at all.
    UpdateBeliefsByCombat(other, t[5].beliefs[1], 2, t);
    EXPECT_EQ(std::memcmp(&before, &t[5], sizeof before), 0);
}

TEST_F(InferenceTest, SlotLinksSpreadToTheLinkedSlotsOnly) {
    PieceTable& t = *table;
    // Slot 6 of seat 2 links to slot 2 alone; a large weight there shows it.
    for (auto& a : corr)
        for (auto& b : a)
            for (auto& c : b) c[4] = 60.0f;  // army commander
    const PieceTable before = t;
    PropagateSlotBeliefs(ctx, 3, 56, t);
    EXPECT_FLOAT_EQ(t[52].beliefs[3][4], 60.0f);
    for (int p = 0; p < kPieceCount; ++p)
        if (p != 52) {
            EXPECT_EQ(std::memcmp(&before[p], &t[p], sizeof(PieceRec)), 0) << p;
        }

    // Slot 18 reaches 17, 23 and 19.
    PropagateSlotBeliefs(ctx, 0, 18, t);
    for (int p : {17, 23, 19}) EXPECT_FLOAT_EQ(t[p].beliefs[0][4], 60.0f) << p;
    EXPECT_FLOAT_EQ(t[16].beliefs[0][4], 4.0f);

    // A row that sums below 0.01 spreads nothing.
    SetAllRows(t[60], {{5, 0.001f}});
    const PieceTable before2 = t;
    PropagateSlotBeliefs(ctx, 1, 60, t);
    EXPECT_EQ(std::memcmp(&before2, &t, sizeof t), 0);
}

TEST_F(InferenceTest, ZeroStatisticsSpreadZeros) {
    PieceTable& t = *table;
    std::memset(corr, 0, sizeof corr);
    PropagateSlotBeliefs(ctx, 0, 56, t);
    EXPECT_EQ(Sum(t[52].beliefs[0]), 0.0f);
}

TEST(BeliefVectors, MergeAndNormalise) {
    float a[12] = {30, 0, 30};
    const float b[12] = {50, 50, 0};
    MergeBeliefVectors(a, b);
    EXPECT_EQ(a[0], 50.0f);
    EXPECT_EQ(a[1], 0.0f);
    EXPECT_EQ(a[2], 0.0f);

    float zero[12] = {};
    NormalizeBeliefs(zero);
    EXPECT_EQ(Sum(zero), 0.0f);
    float tiny[12] = {0.0005f};
    NormalizeBeliefs(tiny);
    EXPECT_FLOAT_EQ(tiny[0], 0.05f);
    float v[12] = {1, 3};
    NormalizeBeliefs(v);
    EXPECT_FLOAT_EQ(v[0], 25.0f);
    EXPECT_FLOAT_EQ(v[1], 75.0f);
}

TEST(BeliefMasks, CombatMaskTable) {
    EXPECT_STREQ(CombatMask(kEngineer, 1), "110000000000-000");
    EXPECT_STREQ(CombatMask(kMine, -1), "000000000001-000");
    EXPECT_STREQ(CombatMask(kBomb, 0), "011111111111-000");
    EXPECT_EQ(CombatMask(0, 1), nullptr);
    EXPECT_EQ(CombatMask(kFlag, 2), nullptr);
}

TEST(GameBeliefs, UpdateOnTheGameTakesTheMoveIntoTheGame) {
    auto g = std::make_unique<GameState>();
    aitest::ClearTable(g->pieces);
    Put(g->pieces, 5, kPlatoon, 18, 16);
    UpdateInferenceAfterMove(*g, StepRec{5, kNoPiece, 18, 16, 19, 16, 1}, g->pieces);
    EXPECT_EQ(g->move.fromX, 18);
    EXPECT_EQ(g->move.toX, 19);
    EXPECT_EQ(g->pieces[5].beliefs[0][1], 0.0f);
}

}  // namespace
}  // namespace jq
