#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "ai/expectation.h"
#include "ai_support.h"

namespace jq {
namespace {

using aitest::SetRow;

class ExpectationTest : public ::testing::Test {
protected:
    void SetUp() override { std::memcpy(pv, kInitialPieceValues, sizeof pv); }
    float pv[15];
    float d[12] = {};
    float a[12] = {};
};

TEST_F(ExpectationTest, DivisionAgainstArmyCommanderOrBrigade) {
    SetRow(d, {{5, 50.0f}, {7, 50.0f}});
    EXPECT_FLOAT_EQ(ExpectedAttackValue(pv, 6, d), -1000.0f);
    EXPECT_FLOAT_EQ(pv[2], 105.06f);
    EXPECT_DOUBLE_EQ(WinProbability(6, d), 0.5);
    EXPECT_DOUBLE_EQ(LossProbability(6, d), 0.5);
}

TEST_F(ExpectationTest, BombTakingTheFlagAndTheBombValue) {
    SetRow(d, {{1, 100.0f}});
    EXPECT_FLOAT_EQ(ExpectedAttackValue(pv, 3, d), 200000.0f);
    EXPECT_FLOAT_EQ(pv[2], 1.0f);  // no officer possible
}

TEST_F(ExpectationTest, BombValueFollowsTheStrongestPossibleOfficer) {
    SetRow(d, {{4, 0.1f}, {11, 99.9f}});  // a stored 0.1 is just above 0.1
    ExpectedAttackValue(pv, 12, d);
    EXPECT_FLOAT_EQ(pv[2], 135.96f);
    SetRow(d, {{4, 0.09f}, {11, 99.91f}});
    ExpectedAttackValue(pv, 12, d);
    EXPECT_FLOAT_EQ(pv[2], 12.36f);
    SetRow(d, {{12, 100.0f}});
    ExpectedAttackValue(pv, 12, d);
    EXPECT_FLOAT_EQ(pv[2], 24.72f);
}

TEST_F(ExpectationTest, EmptyRowsGiveDefinedValues) {
    // All-zero rows arise from the belief updates; nothing may come out NaN
    // and the chances of winning and losing never add up past 1.
    EXPECT_EQ(ExpectedAttackValue(pv, 8, d), 0.0f);
    EXPECT_FLOAT_EQ(pv[2], 1.0f);
    for (int code = 1; code <= 12; ++code) {
        EXPECT_EQ(WinProbability(code, d), 1.0);
        EXPECT_EQ(LossProbability(code, d), 0.0);
        EXPECT_FALSE(std::isnan(LossProbability(code, d)));
    }
    EXPECT_EQ(ExpectedAttackValueMixed(pv, a, d), 0.0f);
    SetRow(d, {{7, 100.0f}});
    EXPECT_EQ(ExpectedAttackValueMixed(pv, a, d), 0.0f);
    EXPECT_EQ(MixedWinProbability(d, a), 0.0);
}

TEST_F(ExpectationTest, MixedForms) {
    SetRow(a, {{12, 100.0f}});
    SetRow(d, {{2, 100.0f}});
    EXPECT_FLOAT_EQ(ExpectedAttackValueMixed(pv, a, d), 5000.0f);  // an engineer takes a mine

    SetRow(d, {{7, 100.0f}});
    SetRow(a, {{6, 50.0f}, {8, 50.0f}});
    EXPECT_DOUBLE_EQ(MixedWinProbability(d, a), 0.5);
}

TEST_F(ExpectationTest, TieCountsBothWays) {
    // A regiment against a regiment: its own value lost, the other's gained.
    SetRow(d, {{8, 100.0f}});
    EXPECT_FLOAT_EQ(ExpectedAttackValue(pv, 8, d), 0.0f);
    // An engineer against a bomb: gains the bomb's value as just set, loses
    // its own.
    SetRow(d, {{3, 100.0f}});
    EXPECT_FLOAT_EQ(ExpectedAttackValue(pv, 12, d), 100.0f * (1.0f - 40.0f));
}

TEST_F(ExpectationTest, InvalidAttackerCodeGainsNothing) {
    SetRow(d, {{5, 100.0f}});
    EXPECT_EQ(ExpectedAttackValue(pv, 0, d), 0.0f);
    EXPECT_EQ(ExpectedAttackValue(pv, 13, d), 0.0f);
    EXPECT_EQ(WinProbability(0, d), 0.0);
    EXPECT_EQ(LossProbability(13, d), 0.0);
}

}  // namespace
}  // namespace jq
