#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "core/combat.h"

namespace jq {
namespace {

constexpr int X = -100;

// Outcome by attacker code (rows 1..12) and defender code (columns 1..12).
constexpr int kExpected[12][12] = {
    {X, X, X, X, X, X, X, X, X, X, X, X},             // flag
    {X, X, X, X, X, X, X, X, X, X, X, X},             // mine
    {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},             // bomb
    {1, -1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1},            // commander
    {1, -1, 0, -1, 0, 1, 1, 1, 1, 1, 1, 1},           // army commander
    {1, -1, 0, -1, -1, 0, 1, 1, 1, 1, 1, 1},          // division
    {1, -1, 0, -1, -1, -1, 0, 1, 1, 1, 1, 1},         // brigade
    {1, -1, 0, -1, -1, -1, -1, 0, 1, 1, 1, 1},        // regiment
    {1, -1, 0, -1, -1, -1, -1, -1, 0, 1, 1, 1},       // battalion
    {1, -1, 0, -1, -1, -1, -1, -1, -1, 0, 1, 1},      // company
    {1, -1, 0, -1, -1, -1, -1, -1, -1, -1, 0, 1},     // platoon
    {1, 1, 0, -1, -1, -1, -1, -1, -1, -1, -1, 0},     // engineer
};

TEST(Combat, EveryPairOfCodes) {
    for (int a = 1; a <= 12; ++a)
        for (int d = 1; d <= 12; ++d)
            EXPECT_EQ(ResolveCombatCodes(a, d), kExpected[a - 1][d - 1])
                << "attacker " << a << " defender " << d;
}

TEST(Combat, ByPieceIndexReadsOnlyTheCodes) {
    PieceTable pieces{};
    pieces[0] = {18, 17, 18, 17, kEngineer, 1};
    pieces[2] = {19, 17, 19, 17, kMine, 0};       // dead: still resolved by code
    pieces[50] = {22, 23, 22, 23, kPlatoon, 1};   // partner seat: still resolved
    pieces[30] = {23, 18, 23, 18, kBomb, 1};
    EXPECT_EQ(ResolveCombat(pieces, 0, 2), 1);
    EXPECT_EQ(ResolveCombat(pieces, 0, 50), -1);
    EXPECT_EQ(ResolveCombat(pieces, 50, 0), 1);
    EXPECT_EQ(ResolveCombat(pieces, 0, 30), 0);
    EXPECT_EQ(ResolveCombat(pieces, 30, 0), 0);
    EXPECT_EQ(ResolveCombat(pieces, 2, 0), -100);
    EXPECT_EQ(ResolveCombat(pieces, 0, 0), 0);
}

TEST(OutcomeTable, RowsAsStored) {
    const char* rows[12] = {
        "222222222222-000", "100111111111-000", "100000000000-000", "120011111111-000",
        "120201111111-000", "120220111111-000", "120222011111-000", "120222201111-000",
        "120222220111-000", "120222222011-000", "120222222201-000", "110222222220-000",
    };
    for (int a = 1; a <= 12; ++a) {
        ASSERT_NE(OutcomeTableRow(a), nullptr);
        EXPECT_STREQ(OutcomeTableRow(a), rows[a - 1]) << "attacker " << a;
        for (int d = 1; d <= 12; ++d) EXPECT_EQ(OutcomeChar(a, d), rows[a - 1][d - 1]);
    }
}

TEST(OutcomeTable, AgreesWithCombatExceptForFlagAndMineAttackers) {
    for (int a = 3; a <= 12; ++a) {
        for (int d = 1; d <= 12; ++d) {
            const char c = OutcomeChar(a, d);
            const int expected = c == '1' ? 1 : c == '0' ? 0 : c == '2' ? -1 : 99;
            EXPECT_EQ(ResolveCombatCodes(a, d), expected) << "attacker " << a << " defender " << d;
        }
    }
    // A flag or a mine cannot attack at all, while the estimates' table gives
    // them results of their own.
    for (int d = 1; d <= 12; ++d) {
        EXPECT_EQ(ResolveCombatCodes(kFlag, d), -100);
        EXPECT_EQ(ResolveCombatCodes(kMine, d), -100);
        EXPECT_EQ(OutcomeChar(kFlag, d), '2');
        EXPECT_EQ(OutcomeChar(kMine, d), (d == kMine || d == kBomb) ? '0' : '1') << d;
    }
}

TEST(Combat, CodesAndIndexesOutOfRangeNeverReachATable) {
    const int badCodes[] = {0, -1, 13, 100, INT_MIN, INT_MAX};
    for (int bad : badCodes) {
        for (int good = 1; good <= 12; ++good) {
            EXPECT_EQ(ResolveCombatCodes(bad, good), -100) << bad;
            EXPECT_EQ(ResolveCombatCodes(good, bad), -100) << bad;
            EXPECT_EQ(OutcomeChar(bad, good), '\0') << bad;
            EXPECT_EQ(OutcomeChar(good, bad), '\0') << bad;
        }
        EXPECT_EQ(OutcomeTableRow(bad), nullptr) << bad;
        EXPECT_EQ(ResolveCombatCodes(bad, bad), -100);
    }

    PieceTable pieces{};  // before the first battle every code is 0
    EXPECT_EQ(ResolveCombat(pieces, 0, 1), -100);
    pieces[0].code = kCommander;
    pieces[1].code = kEngineer;
    EXPECT_EQ(ResolveCombat(pieces, 0, 1), 1);
    const int badIndexes[] = {-2, -1, 100, INT_MIN, INT_MAX};
    for (int bad : badIndexes) {
        EXPECT_EQ(ResolveCombat(pieces, bad, 1), -100) << bad;
        EXPECT_EQ(ResolveCombat(pieces, 0, bad), -100) << bad;
    }
}

}  // namespace
}  // namespace jq
