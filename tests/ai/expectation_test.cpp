#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ai/expectation.h"
#include "position.h"

namespace jq {
namespace {

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
