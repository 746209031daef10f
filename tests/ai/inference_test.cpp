#include "position.h"

namespace jq::aitest {
namespace {

// Four seats of platoons on their start points with the army's beliefs, and slot statistics that spread
// nothing.
class InferenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearTable(*table);
        for (int i = 0; i < kPieceCount; ++i) PutAt(*table, i, kPlatoon, (i / 25) * 30 + i % 25);
        std::fill_n(&corr[0][0][0][0], sizeof corr / sizeof(float), 0.001f);
    }
    std::unique_ptr<PieceTable> table = std::make_unique<PieceTable>();
    float corr[25][12][3][12];
    PathWork work{Board()};
    PathBuffer path;
    MoveRec move;
    BeliefContext ctx{&Board(), corr, &work, &path, &move};
};

// What a step shows: each check reads the weight of `code` in the row of `observer` (-1: every observer)
// about `piece`, expected within [lo, hi].
struct Check {
    int piece, observer, code;
    float lo, hi;
};
struct StepCase {
    const char* what;
    std::vector<std::pair<int, int>> codes;  // piece, true code
    std::vector<int> dead;
    StepRec step;
    std::vector<Check> checks;
};
constexpr float kSome = 1e-6f;

TEST_F(InferenceTest, WhatStepsShow) {
    const StepCase cases[] = {
        {"a plain move: neither flag nor mine", {}, {}, {5, kNoPiece, 18, 16, 19, 16, 1},
         {{5, -1, kFlag, 0, 0}, {5, -1, kMine, 0, 0}, {5, -1, kBomb, kSome, 100}, {6, 1, kFlag, 4, 4}}},
        {"a step round the corner: an engineer", {{8, kEngineer}}, {0, 1, 2, 5}, {8, kNoPiece, 18, 15, 20, 17, 1},
         {{8, -1, kEngineer, 100, 100}}},
        {"a straight railway run shows nothing", {{12, kEngineer}}, {15}, {12, kNoPiece, 18, 14, 18, 13, 1},
         {{12, 0, kEngineer, 0, 89.9f}}},
        {"a commander meeting a bomb", {{31, kCommander}, {46, kFlag}, {7, kBomb}}, {}, {31, 7, 24, 20, 22, 16, 0},
         {{31, -1, kCommander, 100, 100}, {30, -1, kCommander, 0, 0}, {46, -1, kFlag, 100, 100},
          {48, -1, kFlag, 0, 0}, {7, -1, kBomb, 100, 100}}},
        {"two commanders removing each other", {{31, kCommander}, {48, kFlag}, {56, kCommander}, {71, kFlag}}, {},
         {31, 56, 24, 20, 20, 24, 0},
         {{31, -1, kCommander, 100, 100}, {56, -1, kCommander, 100, 100}, {48, -1, kFlag, 100, 100},
          {46, -1, kFlag, 0, 0}, {71, -1, kFlag, 100, 100}, {73, -1, kFlag, 0, 0}}},
        {"an engineer taking a mine", {{30, kEngineer}, {15, kMine}}, {}, {30, 15, 23, 18, 18, 13, 1},
         {{30, 0, kEngineer, 100, 100}, {15, 1, kMine, kSome, 100}, {15, 1, kBomb, 0, 0}, {15, 1, kEngineer, 0, 0}}},
        {"a bomb that wins found the flag", {{32, kBomb}, {21, kFlag}}, {}, {32, 21, 23, 20, 19, 12, 1},
         {{21, 1, kFlag, 100, 100}}},
    };
    for (const StepCase& c : cases) {
        SetUp();
        PieceTable& t = *table;
        for (auto [piece, code] : c.codes) t[piece].code = code;
        for (int piece : c.dead) t[piece].alive = 0;
        UpdateInferenceAfterMove(ctx, c.step, t);
        for (const Check& k : c.checks)
            for (int s = 0; s < kSeats; ++s) {
                if (k.observer >= 0 && k.observer != s) continue;
                const float v = t[k.piece].beliefs[s][k.code - 1];
                EXPECT_TRUE(v >= k.lo - 1e-4f && v <= k.hi + 1e-4f)
                    << c.what << ": piece " << k.piece << " seen by " << s << ", code " << k.code << " = " << v;
            }
        for (int s = 0; s < kSeats; ++s) EXPECT_NEAR(test::Sum12(t[5].beliefs[s]), 100.0f, 1e-3) << c.what;
    }
    SetUp();  // a give-up, its points off the board, changes no belief but takes the points
    const PieceTable before = *table;
    UpdateInferenceAfterMove(ctx, StepRec{kNoPiece, kNoPiece, 255, 255, 255, 255, 2}, *table);
    EXPECT_EQ(std::make_pair(move.toX, std::memcmp(&before, table.get(), sizeof before)), std::make_pair(255, 0));
}

TEST_F(InferenceTest, NarrowingNeverEmptiesARow) {
    PieceTable& t = *table;
    for (float mine : {0.0f, 0.005f}) {  // 0.01 or less would be left
        SetAllRows(t[21], {{kFlag, 100.0f - mine}, {kMine, mine}});
        ApplyTypeMask(21, 2, kMaskNotFlag, t);
        EXPECT_NEAR(t[21].beliefs[2][0], 100.0f - mine, 1e-3) << mine;
    }
    // Against an empty row, or with a result outside -1..1.
    float other[12] = {};
    const PieceRec before = t[5];
    for (int result : {1, 2}) {
        UpdateBeliefsByCombat(other, t[5].beliefs[1], result, t);
        EXPECT_EQ(std::memcmp(&before, &t[5], sizeof before), 0) << result;
    }
    // Rows with nothing in them stay defined.
    float zero[12] = {}, tiny[12] = {0.0005f}, a[12] = {30, 0, 30};
    const float b[12] = {50, 50, 0};
    NormalizeBeliefs(zero);
    NormalizeBeliefs(tiny);
    MergeBeliefVectors(a, b);
    EXPECT_EQ(test::Sum12(zero), 0.0f);
    EXPECT_FLOAT_EQ(tiny[0], 0.05f);
    EXPECT_EQ(std::vector<float>(a, a + 3), (std::vector<float>{50, 0, 0}));
}

}  // namespace
}  // namespace jq::aitest
