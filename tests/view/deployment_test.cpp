#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "support/recording_ui.h"
#include "support/scene.h"
#include "view/deployment.h"

namespace jq {
namespace {

using test::PieceOf;

class DeploymentTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        test::LayOutBattle(g);
    }
    // A fresh layout with the pieces on each pair of slots exchanged, as the player does.
    int Validate(std::initializer_list<std::array<int, 3>> swaps, int steps = 0) {
        test::LayOutBattle(g);
        g.deployPhase = 1;
        g.stepCount = steps;
        for (auto [seat, a, b] : swaps) SwapDeployedPieces(g, PieceOf(seat, a), PieceOf(seat, b));
        return ValidateDeployment(g);
    }
    GameState g;
    test::RecordingUi ui;
};

// Each rule by place, for every seat; the bomb rule only for the first four
// steps; where several pieces break rules, the highest failing piece decides.
TEST_F(DeploymentTest, RulesByPlaceAndTheHighestFailingPieceDecides) {
    const struct {
        int from, to, expected;
    } rows[] = {
        {0, 0, kDeploymentOk},       {21, 23, kDeploymentOk},         {21, 20, kFlagOutsideHeadquarters},
        {21, 22, kFlagOutsideHeadquarters}, {16, 14, kMineOutsideLastRows}, {18, 19, kDeploymentOk},
        {22, 24, kDeploymentOk},     {19, 4, kBombInFrontRow},        {19, 0, kBombInFrontRow},
        {19, 5, kDeploymentOk},
    };
    for (const auto& r : rows)
        for (int seat = 0; seat < 4; ++seat)
            EXPECT_EQ(Validate({{seat, r.from, r.to}}), r.expected) << seat << ": " << r.from << "->" << r.to;
    for (int steps : {0, 3}) EXPECT_EQ(Validate({{2, 19, 4}}, steps), kBombInFrontRow);
    for (int steps : {4, 510}) EXPECT_EQ(Validate({{2, 19, 4}}, steps), kDeploymentOk);
    EXPECT_EQ(Validate({{0, 21, 20}, {1, 16, 3}}), kMineOutsideLastRows);
    EXPECT_EQ(Validate({{0, 16, 3}, {1, 21, 20}}), kFlagOutsideHeadquarters);
    EXPECT_EQ(Validate({{3, 21, 1}, {3, 19, 2}}), kBombInFrontRow);  // within one seat by slot
}

TEST_F(DeploymentTest, SwapExchangesOnlyCodesWithinOneSeat) {
    g.pieces[PieceOf(0, 21)].beliefs[1][0] = 50.0f;
    const PieceTable before = g.pieces;
    EXPECT_FALSE(SwapDeployedPieces(g, 24, 25));  // two seats
    EXPECT_FALSE(SwapDeployedPieces(g, -2, 3));
    EXPECT_FALSE(SwapDeployedPieces(g, 3, 100));
    EXPECT_EQ(std::memcmp(&before, &g.pieces, sizeof before), 0);
    EXPECT_TRUE(SwapDeployedPieces(g, PieceOf(0, 21), PieceOf(0, 3)));
    const PieceRec& a = g.pieces[PieceOf(0, 21)];
    EXPECT_EQ(a.code, before[PieceOf(0, 3)].code);
    EXPECT_EQ(g.pieces[PieceOf(0, 3)].code, kFlag);
    EXPECT_EQ((GridPoint{a.x, a.startY}), (GridPoint{before[PieceOf(0, 21)].x, before[PieceOf(0, 21)].startY}));
    EXPECT_EQ(a.beliefs[1][0], 50.0f);
    EXPECT_EQ(ui.swaps.back(), (test::RecordingUi::Swap{PieceOf(0, 21), PieceOf(0, 3)}));
}

TEST_F(DeploymentTest, HostWaitsForComputerSeatsToBeDealt) {
    EXPECT_FALSE(HostAwaitsComputerDeployments(g));  // not a LAN battle
    g.netConnected = 1;
    g.isNetHost = 1;
    for (SeatRec& s : g.seatTable) s = SeatRec{.state = 1, .deployed = 0};
    EXPECT_FALSE(HostAwaitsComputerDeployments(g));  // people deploy themselves
    g.seatTable[2].state = 0;
    EXPECT_TRUE(HostAwaitsComputerDeployments(g));
    g.seatTable[2].deployed = 2;
    g.seatTable[3].state = 2;  // released: played by the computer, but not dealt by this rule
    EXPECT_FALSE(HostAwaitsComputerDeployments(g));
    g.seatTable[1].state = 0;
    g.isNetHost = 0;
    EXPECT_FALSE(HostAwaitsComputerDeployments(g));
}

}  // namespace
}  // namespace jq
