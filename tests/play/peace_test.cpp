#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/text.h"
#include "support/fake_computer.h"
#include "support/lan_fakes.h"
#include "support/recording_ui.h"
#include "support/scene.h"
#include "net/lan.h"
#include "play/peace.h"
#include "play/turnloop.h"

namespace jq {
namespace {

using test::FakeComputer;
using test::RecordingUi;
using test::LayOutBattle;

class PeaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        ui.timerOn = true;
        g.computer = &computer;
        LayOutBattle(g, test::kArmy, 0);
        g.computerSeat[1] = g.computerSeat[2] = g.computerSeat[3] = 1;
        for (int s = 0; s < 4; ++s)
            PutBoundedText(g.optionsRecord.playerNames[s], 256, Gb("玩家") + std::to_string(s));
    }

    // Leaves `n` live pieces on `seat`.
    void Keep(int seat, int n) {
        for (int k = 0; k < 25; ++k) g.pieces[seat * 25 + k].alive = k < n ? 1 : 0;
    }

    std::unique_ptr<GameState> owner = std::make_unique<GameState>();
    GameState& g = *owner;
    RecordingUi ui;
    FakeComputer computer;
};

TEST_F(PeaceTest, GrantedWithTwoPiecesMore) {
    Keep(0, 10);
    Keep(2, 10);
    Keep(1, 9);
    Keep(3, 9);
    OfferPeace(g);
    EXPECT_EQ(g.peaceAgreed, 1);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0], Gb("真的不想再战下去了?") + std::string(13, ' '));
    EXPECT_EQ(ui.messages[1], Gb("战争结束。\n天下太平！") + std::string(15, ' '));
}

TEST_F(PeaceTest, RefusedByAnotherSeatWithOnePieceMore) {
    Keep(0, 10);
    Keep(2, 9);
    Keep(1, 9);
    Keep(3, 9);
    for (int i = 0; i < 12; ++i) {
        ui.messages.clear();
        OfferPeace(g);
        ASSERT_EQ(ui.messages.size(), 2u);
        const std::string tail = Gb("不同意和棋。\n战争还得继续！") + std::string(15, ' ');
        bool named = false;
        for (int s = 1; s <= 3; ++s) named = named || ui.messages[1] == Gb("玩家") + std::to_string(s) + tail;
        EXPECT_TRUE(named) << Utf8FromGb(ui.messages[1]);
    }
    EXPECT_EQ(g.peaceAgreed, 0);
}

TEST_F(PeaceTest, CancelledQuestionChangesNothing) {
    ui.answers = {2};
    OfferPeace(g);
    EXPECT_EQ(g.peaceAgreed, 0);
    EXPECT_EQ(ui.messages.size(), 1u);

    g.netConnected = 1;
    ui.answers = {2};
    OfferPeace(g);
    EXPECT_EQ(g.netPeaceRequestCount, 0);
}

TEST_F(PeaceTest, LanOffersAreLimitedToThree) {
    net::LanSession lan(g);
    testing::FakeClientLink link;
    lan.AttachClient(&link);
    g.lan = &lan;
    g.netConnected = 1;
    for (int i = 1; i <= 3; ++i) {
        ui.messages.clear();
        OfferPeace(g);
        EXPECT_EQ(ui.messages.size(), 1u);
    }
    ui.messages.clear();
    OfferPeace(g);
    EXPECT_EQ(g.netPeaceRequestCount, 4);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1], Gb("三番五次想当逃兵,系统拒绝您的要求.") + std::string(9, ' '));
    EXPECT_EQ(g.peaceAgreed, 0);
}

TEST_F(PeaceTest, GiveUpRemovesTheSeatToMove) {
    g.stepCount = 7;
    g.selectedPiece = 3;
    ui.nextStep = true;
    GiveUp(g);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], Gb("您真的要缴械投降?") + std::string(11, ' '));
    EXPECT_EQ(g.stepRecords[7], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 0}));
    for (int p = 0; p < 25; ++p) EXPECT_EQ(g.pieces[p].alive, 0);
    EXPECT_EQ(g.curSeat, 1);
    EXPECT_FALSE(ui.nextStep);
    EXPECT_EQ(g.selectedPiece, kNoPiece);
    EXPECT_EQ(g.move.toY, 22);
}

TEST_F(PeaceTest, GiveUpDoesNothingWhenCancelledOrAfterTheBattle) {
    ui.answers = {2};
    GiveUp(g);
    EXPECT_EQ(g.stepCount, 0);
    EXPECT_EQ(g.pieces[0].alive, 1);

    g.battleRunning = 0;
    GiveUp(g);
    EXPECT_EQ(g.stepCount, 0);
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(PeaceTest, GiveUpOfASeatWithoutPiecesShowsNothingMore) {
    g.curSeat = 2;
    g.computerSeat[2] = 0;
    for (int p = 50; p < 75; ++p) g.pieces[p].alive = 0;
    GiveUp(g);
    EXPECT_EQ(g.stepCount, 0);
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(PeaceTest, LanGiveUpIsSentOnceAndNotCarriedOutHere) {
    net::LanSession lan(g);
    testing::FakeClientLink link;
    lan.AttachClient(&link);
    g.lan = &lan;
    g.netConnected = 1;
    g.netMyTurn = 1;
    g.netMoveRecord.score = 4.5f;
    GiveUp(g);
    EXPECT_EQ(g.netMoveRecord.mover, kNoPiece);
    EXPECT_EQ(g.netMoveRecord.fromX, 22);
    EXPECT_EQ(g.netMoveRecord.toY, 22);
    EXPECT_EQ(g.netMoveRecord.outcome, 0);
    EXPECT_EQ(g.netMoveRecord.score, 4.5f);
    EXPECT_EQ(g.netMyTurn, 0);
    EXPECT_EQ(g.pieces[0].alive, 1);
    EXPECT_EQ(g.stepCount, 0);

    // Not the own turn: nothing goes out.
    g.netMoveRecord.fromX = 0;
    g.curSeat = 1;
    g.netMyTurn = 1;
    GiveUp(g);
    EXPECT_EQ(g.netMoveRecord.fromX, 0);
}

TEST_F(PeaceTest, ExitStopsTheComputerAndCloses) {
    computer.idle = false;
    ExitProgram(g);
    EXPECT_EQ(computer.stops, 1);
    EXPECT_FALSE(ui.timerOn);
    EXPECT_TRUE(ui.closed);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(PeaceTest, LanHostIsAskedBeforeLeavingARunningBattle) {
    g.netConnected = 1;
    g.myNetSeat = 0;
    computer.idle = false;
    ui.answers = {2};
    ExitProgram(g);
    EXPECT_FALSE(ui.closed);
    EXPECT_EQ(computer.stops, 0);
    EXPECT_TRUE(ui.timerOn);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], Gb("庄家退出后其他玩家将无法继续游戏！") + std::string(13, ' ') + Gb("\n是否继续退出？"));

    ExitProgram(g);
    EXPECT_TRUE(ui.closed);
    EXPECT_EQ(computer.stops, 1);
}

}  // namespace
}  // namespace jq
