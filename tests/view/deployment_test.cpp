#include <gtest/gtest.h>

#include <cstring>

#include "core/text.h"
#include "view/deployment.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq {
namespace {

using test::LayOutBattle;
using test::PieceOf;
using test::RecordingUi;

class DeploymentTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        ui.ShowEverything();
        LayOutBattle(g);
        g.deployPhase = 1;
    }
    // Exchanges the pieces on two slots of a seat, as the player does.
    void Exchange(int seat, int slotA, int slotB) { SwapDeployedPieces(g, PieceOf(seat, slotA), PieceOf(seat, slotB)); }
    GameState g;
    RecordingUi ui;
};

TEST_F(DeploymentTest, EachRuleByPlace) {
    struct Row {
        int codeSlot;   // slot of the piece that is moved
        int toSlot;     // where it goes
        int expected;
    };
    const Row rows[] = {
        {0, 0, kDeploymentOk},               // the laid-out formation
        {21, 23, kDeploymentOk},             // flag in the other headquarters
        {21, 20, kFlagOutsideHeadquarters},  // beside the headquarters
        {21, 22, kFlagOutsideHeadquarters},
        {16, 14, kMineOutsideLastRows},      // one row too far forward
        {18, 19, kDeploymentOk},             // within the last rows
        {22, 24, kDeploymentOk},
        {19, 4, kBombInFrontRow},            // front row
        {19, 0, kBombInFrontRow},
        {19, 5, kDeploymentOk},              // second row
    };
    for (const Row& r : rows) {
        for (int seat = 0; seat < 4; ++seat) {
            LayOutBattle(g);
            Exchange(seat, r.codeSlot, r.toSlot);
            EXPECT_EQ(ValidateDeployment(g), r.expected) << "seat " << seat << " slot " << r.codeSlot << "->" << r.toSlot;
        }
    }
}

TEST_F(DeploymentTest, BombRuleHoldsOnlyForTheFirstFourSteps) {
    Exchange(2, 19, 4);
    for (int steps : {0, 3}) {
        g.stepCount = steps;
        EXPECT_EQ(ValidateDeployment(g), kBombInFrontRow);
    }
    for (int steps : {4, 510}) {
        g.stepCount = steps;
        EXPECT_EQ(ValidateDeployment(g), kDeploymentOk);
    }
}

TEST_F(DeploymentTest, TheHighestFailingPieceDecides) {
    // Flag misplaced at a lower index, mine at a higher one: the mine speaks.
    Exchange(0, 21, 20);  // flag to slot 20
    Exchange(1, 16, 3);   // a mine of seat 1 to the front row
    EXPECT_EQ(ValidateDeployment(g), kMineOutsideLastRows);
    // Mine at the lower index, flag at the higher one: the flag speaks.
    LayOutBattle(g);
    Exchange(0, 16, 3);
    Exchange(1, 21, 20);
    EXPECT_EQ(ValidateDeployment(g), kFlagOutsideHeadquarters);
    // Within one seat by slot: a flag on slot 1, then a bomb on slot 2.
    LayOutBattle(g);
    Exchange(3, 21, 1);
    Exchange(3, 19, 2);
    EXPECT_EQ(ValidateDeployment(g), kBombInFrontRow);
}

TEST_F(DeploymentTest, SwapExchangesOnlyCodesWithinOneSeat) {
    g.pieces[PieceOf(0, 21)].beliefs[1][0] = 50.0f;
    const PieceTable before = g.pieces;
    EXPECT_FALSE(SwapDeployedPieces(g, 24, 25));  // two seats
    EXPECT_FALSE(SwapDeployedPieces(g, -2, 3));
    EXPECT_FALSE(SwapDeployedPieces(g, 3, 100));
    EXPECT_TRUE(SwapDeployedPieces(g, 7, 7));  // with itself: nothing changes
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
    for (SeatRec& s : g.seatTable) {
        s.state = 1;
        s.deployed = 0;
    }
    EXPECT_FALSE(HostAwaitsComputerDeployments(g));  // people deploy themselves
    g.seatTable[2].state = 0;
    EXPECT_TRUE(HostAwaitsComputerDeployments(g));
    g.seatTable[2].deployed = 2;
    EXPECT_FALSE(HostAwaitsComputerDeployments(g));
    g.seatTable[3].state = 2;  // released: played by the computer, but not dealt by this rule
    EXPECT_FALSE(HostAwaitsComputerDeployments(g));
    g.seatTable[1].state = 0;
    g.isNetHost = 0;
    EXPECT_FALSE(HostAwaitsComputerDeployments(g));
}

}  // namespace
}  // namespace jq
