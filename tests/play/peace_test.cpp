#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/text.h"
#include "play/peace.h"
#include "play/turnloop.h"
#include "net/lan.h"
#include "support/fake_computer.h"
#include "support/lan_fakes.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq {
namespace {

class PeaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        g.ui = &ui;
        ui.timerOn = true;
        g.computer = &computer;
        test::LayOutBattle(g);
        g.computerSeat[1] = g.computerSeat[2] = g.computerSeat[3] = 1;
        for (int s = 0; s < 4; ++s) PutBoundedText(g.optionsRecord.playerNames[s], 256, Gb("玩家") + std::to_string(s));
    }
    // Leaves `n` live pieces on each seat.
    void Keep(std::vector<int> n) {
        for (int p = 0; p < kPieceCount; ++p) g.pieces[p].alive = p % 25 < n[p / 25] ? 1 : 0;
    }

    // A LAN battle over a fake link.
    void JoinLan() {
        lan.AttachClient(&link);
        g.lan = &lan;
        g.netConnected = 1;
    }

    std::unique_ptr<GameState> owner = std::make_unique<GameState>();
    GameState& g = *owner;
    test::RecordingUi ui;
    test::FakeComputer computer;
    testing::FakeClientLink link;
    net::LanSession lan{g};
};

TEST_F(PeaceTest, GrantedWithTwoPiecesMoreElseRefusedByAnotherSeat) {
    Keep({10, 9, 10, 9});
    OfferPeace(g);
    EXPECT_EQ(g.peaceAgreed, 1);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{Gb("真的不想再战下去了?") + std::string(13, ' '),
                                                    Gb("战争结束。\n天下太平！") + std::string(15, ' ')}));
    g.peaceAgreed = 0;
    Keep({10, 9, 9, 9});
    const std::string tail = Gb("不同意和棋。\n战争还得继续！") + std::string(15, ' ');
    for (int i = 0; i < 12; ++i) {
        ui.messages.clear();
        OfferPeace(g);
        ASSERT_EQ(ui.messages.size(), 2u);
        const std::string& m = ui.messages[1];
        EXPECT_TRUE(m == Gb("玩家1") + tail || m == Gb("玩家2") + tail || m == Gb("玩家3") + tail) << Utf8FromGb(m);
    }
    ui.answers = {2};
    OfferPeace(g);
    EXPECT_EQ(g.peaceAgreed, 0);
}

TEST_F(PeaceTest, LanOffersAreLimitedToThree) {
    JoinLan();
    ui.answers = {2};
    OfferPeace(g);  // cancelled: not counted
    EXPECT_EQ(g.netPeaceRequestCount, 0);
    for (int i = 1; i <= 4; ++i) {
        ui.messages.clear();
        OfferPeace(g);
        EXPECT_EQ(ui.messages.size(), i <= 3 ? 1u : 2u);
    }
    EXPECT_EQ(ui.messages[1], Gb("三番五次想当逃兵,系统拒绝您的要求.") + std::string(9, ' '));
    EXPECT_EQ(g.peaceAgreed, 0);
}

TEST_F(PeaceTest, GiveUpRemovesTheSeatToMoveWhenItIsAPersons) {
    g.stepCount = 7;
    g.selectedPiece = 3;
    ui.nextStep = true;
    GiveUp(g);
    EXPECT_EQ(ui.messages, std::vector<std::string>{Gb("您真的要缴械投降?") + std::string(11, ' ')});
    EXPECT_EQ(g.stepRecords[7], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 0}));
    for (int p = 0; p < 25; ++p) EXPECT_EQ(g.pieces[p].alive, 0);
    EXPECT_EQ(std::tuple(g.curSeat, ui.nextStep, g.selectedPiece, g.move.toY), std::tuple(1, false, int{kNoPiece}, 22));

    // Not for a computer's seat, a seat without pieces, a cancelled
    // question or after the battle.
    GiveUp(g);
    g.curSeat = 2;
    g.computerSeat[2] = 0;
    for (int p = 50; p < 75; ++p) g.pieces[p].alive = 0;
    GiveUp(g);
    g.curSeat = 3;
    g.computerSeat[3] = 0;
    ui.answers = {2};
    GiveUp(g);
    g.battleRunning = 0;
    GiveUp(g);
    EXPECT_EQ(g.stepCount, 8);
    EXPECT_EQ(g.pieces[75].alive + g.pieces[25].alive, 2);
    EXPECT_EQ(ui.messages.size(), 4u);
}

TEST_F(PeaceTest, LanGiveUpIsSentOnlyOnTheOwnTurnAndNotCarriedOutHere) {
    JoinLan();
    g.netMyTurn = 1;
    g.netMoveRecord.score = 4.5f;
    GiveUp(g);
    const MoveCand& r = g.netMoveRecord;
    EXPECT_EQ(std::vector<int>({r.mover, r.target, r.fromX, r.fromY, r.toX, r.toY, r.outcome}),
              std::vector<int>({kNoPiece, kNoPiece, 22, 22, 22, 22, 0}));
    EXPECT_EQ(r.score, 4.5f);  // the other fields keep their values
    EXPECT_EQ(g.netMyTurn + g.stepCount, 0);
    EXPECT_EQ(g.pieces[0].alive, 1);
    g.netMoveRecord.fromX = 0;
    g.curSeat = 1;
    g.netMyTurn = 1;
    GiveUp(g);
    EXPECT_EQ(g.netMoveRecord.fromX, 0);
}

TEST_F(PeaceTest, ExitStopsTheComputerAndClosesButALanHostIsAskedFirst) {
    computer.idle = false;
    ExitProgram(g);
    EXPECT_EQ(computer.stops, 1);
    EXPECT_TRUE(!ui.timerOn && ui.closed && ui.messages.empty());

    ui.closed = false;
    ui.timerOn = true;
    computer.idle = false;
    g.netConnected = 1;
    g.myNetSeat = 0;
    ui.answers = {2};
    ExitProgram(g);
    EXPECT_TRUE(!ui.closed && ui.timerOn && computer.stops == 1);
    EXPECT_EQ(ui.messages, std::vector<std::string>{Gb("庄家退出后其他玩家将无法继续游戏！") + std::string(13, ' ') +
                                                   Gb("\n是否继续退出？")});
    ExitProgram(g);
    EXPECT_TRUE(ui.closed && computer.stops == 2);
}

}  // namespace
}  // namespace jq
