#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "core/combat.h"

namespace jq {
namespace {

constexpr int X = -100;

// Outcome by attacker code (rows 1..12) and defender code (columns 1..12).
constexpr int kExpected[12][12] = {
    {X, X, X, X, X, X, X, X, X, X, X, X},          // flag
    {X, X, X, X, X, X, X, X, X, X, X, X},          // mine
    {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},          // bomb
    {1, -1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1},         // commander
    {1, -1, 0, -1, 0, 1, 1, 1, 1, 1, 1, 1},        // army commander
    {1, -1, 0, -1, -1, 0, 1, 1, 1, 1, 1, 1},       // division
    {1, -1, 0, -1, -1, -1, 0, 1, 1, 1, 1, 1},      // brigade
    {1, -1, 0, -1, -1, -1, -1, 0, 1, 1, 1, 1},     // regiment
    {1, -1, 0, -1, -1, -1, -1, -1, 0, 1, 1, 1},    // battalion
    {1, -1, 0, -1, -1, -1, -1, -1, -1, 0, 1, 1},   // company
    {1, -1, 0, -1, -1, -1, -1, -1, -1, -1, 0, 1},  // platoon
    {1, 1, 0, -1, -1, -1, -1, -1, -1, -1, -1, 0},  // engineer
};

TEST(Combat, EveryPairOfCodesAndTheEstimatesTableAgree) {
    for (int a = 1; a <= 12; ++a)
        for (int d = 1; d <= 12; ++d) {
            EXPECT_EQ(ResolveCombatCodes(a, d), kExpected[a - 1][d - 1]) << "attacker " << a << " defender " << d;
            ASSERT_NE(OutcomeTableRow(a), nullptr);
            EXPECT_EQ(OutcomeTableRow(a)[d - 1], OutcomeChar(a, d));
            const char c = OutcomeChar(a, d);
            if (a == kFlag) {
                EXPECT_EQ(c, '2');
            } else if (a == kMine) {  // an immovable mine in the estimates
                EXPECT_EQ(c, (d == kMine || d == kBomb) ? '0' : '1') << d;
            } else {
                EXPECT_EQ(kExpected[a - 1][d - 1], c == '1' ? 1 : c == '0' ? 0 : c == '2' ? -1 : 99) << a << "," << d;
            }
        }
}

TEST(Combat, ByIndexReadsOnlyCodesAndRefusesWhatIsNoPieceOrCode) {
    PieceTable pieces{};  // before the first battle every code is 0
    EXPECT_EQ(ResolveCombat(pieces, 0, 1), -100);
    pieces[0] = {18, 17, 18, 17, kEngineer, 1};
    pieces[2] = {19, 17, 19, 17, kMine, 0};      // dead: still resolved by code
    pieces[50] = {22, 23, 22, 23, kPlatoon, 1};  // partner seat: still resolved
    EXPECT_EQ(ResolveCombat(pieces, 0, 2) * 10 + ResolveCombat(pieces, 50, 0), 11);
    EXPECT_EQ(ResolveCombat(pieces, 0, 50), -1);
    for (int bad : {-2, 100, INT_MIN, INT_MAX}) EXPECT_EQ(ResolveCombat(pieces, bad, 0) + ResolveCombat(pieces, 0, bad), -200) << bad;
    for (int bad : {0, -1, 13, INT_MIN, INT_MAX}) {
        EXPECT_EQ(ResolveCombatCodes(bad, 4) + ResolveCombatCodes(12, bad), -200) << bad;
        EXPECT_EQ(std::string() + OutcomeChar(bad, 1) + OutcomeChar(4, bad), std::string(2, '\0')) << bad;
        EXPECT_EQ(OutcomeTableRow(bad), nullptr) << bad;
    }
}

}  // namespace
}  // namespace jq
