// A side applying what the host sends: views, checks, the rounds, the pump.
#include <gtest/gtest.h>

#include <memory>

#include "ai/aithread.h"
#include "ai/movegen.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "support/lan_fakes.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq::net {
namespace {

class Notices : public LanUi {
public:
    void ChatLine(int seat, const std::string& line) override { chat.push_back(std::to_string(seat) + line); }
    void AskPeace(int seat, const std::string& question) override { asked.push_back(question); }
    std::vector<std::string> chat, asked;
};

class SideTest : public ::testing::Test {
protected:
    void SetUp() override {
        g->ui = &ui;
        g->myNetSeat = 1;
        g->netConnected = 1;
        g->turnDirection = 1;
        test::LayOutBattle(*g);
        g->netState = kNetBattle;
        lan.AttachClient(&link);
        lan.SetUi(&notices);
        g->lan = &lan;
    }
    void Receive(const Packet& p) { lan.ClientReceived(p.data(), p.size()); }
    void Apply(const Packet& p) {
        Receive(p);
        ProcessClientMessage(*g);
    }
    // A legal move of local seat `local`, as its own side sends it.
    MoveQzBody LegalMove(int local) {
        auto work = std::make_unique<MoveGenWork>();
        EXPECT_GT(GenerateMoves(*work, g->pieces, local), 0);
        return MoveQzBody{MoveInMoverView(work->list[0]), (local + g->myNetSeat) % 4};
    }

    std::unique_ptr<GameState> g = std::make_unique<GameState>();
    test::RecordingUi ui;
    Notices notices;
    testing::FakeClientLink link;
    LanSession lan{*g};
};

TEST(LanViews, AMoveReadsAlikeFromEveryPairOfSeats) {
    for (int s = 0; s < 4; ++s) {
        // Seat s's piece in slot 5 takes the piece in slot 3 of the seat after it.
        const GridPoint from = test::SlotPoint(s, 5), to = test::SlotPoint((s + 1) % 4, 3);
        const MoveCand absolute{25 * s + 5, 25 * ((s + 1) % 4) + 3, from.x, from.y, to.x, to.y, 1};
        const MoveCand sent = MoveInMoverView(absolute);
        for (int v = 0; v < 4; ++v) {
            const int r = LocalSeat(s, v);
            const GridPoint f = TurnGridPoint(from, v), t = TurnGridPoint(to, v);
            const MoveCand got = MoveToView(sent, s, v);
            EXPECT_EQ((std::vector<int>{got.mover, got.target, got.fromX, got.fromY, got.toX, got.toY}),
                      (std::vector<int>{25 * r + 5, 25 * ((r + 1) % 4) + 3, f.x, f.y, t.x, t.y}))
                << "seat " << s << " seen from " << v;
        }
    }
    const MoveCand m = MoveToView(MoveCand{7, 30, 20, 17, 20, 17, 1}, 2, 1);
    EXPECT_EQ((std::vector<int>{m.mover, m.target, m.fromX, m.fromY}), (std::vector<int>{32, 55, 23, 20}));
}

TEST_F(SideTest, OnlyTheSeatToMoveMovesInARunningBattle) {
    g->curSeat = 2;
    Apply(EncodeMoveQz(LegalMove(3)));  // not its turn: every side drops it
    EXPECT_EQ(g->stepCount, 0);
    g->aiMoverGuard = 2;
    Apply(EncodeMoveQz(LegalMove(2)));
    EXPECT_EQ(g->stepCount, 1);
    EXPECT_EQ(g->aiMoverGuard, -1);
    EXPECT_EQ(g->curSeat, 3);
    g->battleRunning = 0;
    Apply(EncodeMoveQz(LegalMove(3)));
    EXPECT_EQ(g->stepCount, 1);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SideTest, DeploymentsAndTheStartComeOnce) {
    g->battleRunning = 0;
    g->netState = kNetOwnDeploySent;
    for (int i = 25; i < 100; ++i) g->pieces[i].alive = 0;
    SwitchEndBody army{{}, 3};
    std::copy(test::kArmy, test::kArmy + 25, army.codes);
    army.codes[0] = 12, army.codes[7] = 8;
    Apply(EncodeSwitchEnd(army));  // seat 3 is local seat 2
    EXPECT_EQ(g->pieces[50].code, 12);
    EXPECT_EQ(g->pieces[57].alive, 1);
    EXPECT_EQ(g->pieces[75].alive, 0);
    g->netMoveTime = 30;
    Apply(EncodeAllSwitchEnd({0, -1, 0, 359, 360}));
    EXPECT_EQ(g->netState, kNetAllDeployed);
    EXPECT_EQ(g->curSeat, 3);  // seat 0 seen from seat 1
    EXPECT_EQ(g->turnDirection, -1);
    EXPECT_EQ((std::vector<int>{g->netMoveTime, g->netDeployTime, g->optionsRecord.netDeployTimeOption}),
              (std::vector<int>{30, 359, 359}));
    // Once the battle runs, neither comes again.
    g->battleRunning = 1, g->netState = kNetBattle;
    g->pieces[50].alive = 0;
    Apply(EncodeSwitchEnd(army));
    Apply(EncodeAllSwitchEnd({2, 1, 0, 0, 0}));
    EXPECT_EQ(g->pieces[50].alive, 0);
    EXPECT_EQ((std::vector<int>{g->curSeat, g->turnDirection, g->netState}), (std::vector<int>{3, -1, kNetBattle}));
}

TEST_F(SideTest, JoiningDuringTheDeploymentAndDuringTheBattle) {
    g->myNetSeat = 2;
    JoinLastBody b;
    for (int k = 0; k < 100; ++k) {
        const GridPoint p = test::SlotPoint(k / 25, k % 25);
        b.x[k] = static_cast<int8_t>(p.x), b.y[k] = static_cast<int8_t>(p.y);
        b.code[k] = static_cast<int8_t>(test::kArmy[k % 25]), b.alive[k] = k < 50;
    }
    b.curSeat = 3, b.netState = kNetOwnDeploySent, b.deployTime = 0;
    g->pieces[0].code = 5;
    Apply(EncodeJoinLast(b));
    EXPECT_EQ(g->netState, kNetDeployBegins);
    EXPECT_EQ(g->curSeat, 1);
    EXPECT_EQ(g->pieces[0].code, 5);   // the own deployment stays
    EXPECT_EQ(g->pieces[25].alive, 0);  // host piece 75
    EXPECT_EQ(g->pieces[75].alive, 1);  // host piece 25, on its point turned two seats back
    EXPECT_EQ((GridPoint{g->pieces[75].x, g->pieces[75].y}), TurnGridPoint(test::SlotPoint(1, 0), 2));

    b.netState = kNetBattle;
    b.steps = {StepRec{5, kNoPiece, b.x[5], b.y[5], b.x[5], b.y[5] + 1, 1}, StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 1}};
    Apply(EncodeJoinLast(b));
    EXPECT_EQ(g->battleRunning, 1);
    EXPECT_EQ(g->stepCount, 2);
    EXPECT_EQ(g->stepRecords[0].mover, 55);
    EXPECT_EQ(g->stepRecords[0].target, kNoPiece);
    EXPECT_EQ(g->stepRecords[1].outcome, 3);  // seat 1 seen from seat 2
    // A damaged one changes nothing.
    Packet bad = EncodeJoinLast(b);
    bad[1016] = 100;
    g->netState = kNetBattle;
    Apply(bad);
    EXPECT_EQ(g->stepRecords[0].mover, 55);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(SideTest, PeaceAndChatNeverWaitForThePlayer) {
    PutBoundedText(g->seatTable[3].name, 32, "li");
    Apply(EncodeSeatWord(Word::kPeaceRequest, 3));
    Apply(EncodeChat({3, "hi"}));
    ASSERT_EQ(notices.asked.size(), 1u);
    EXPECT_EQ(notices.asked[0], "li" + Gb("  请求和棋,是否同意?"));
    EXPECT_EQ(notices.chat, std::vector<std::string>{"3li" + Gb("：") + "hi"});
    EXPECT_TRUE(ui.messages.empty());
    AnswerPeace(*g, false);
    ASSERT_EQ(link.Sent().size(), 1u);
    EXPECT_EQ(link.Sent()[0], EncodeSeatWord(Word::kPeaceAbort, 1));
    Apply(EncodeSeatWord(Word::kPeaceFinalOk, 0));
    EXPECT_EQ(g->peaceAgreed, 1);
}

TEST_F(SideTest, PacketsWaitInOrderAndAFullInboxLeavesTheBattle) {
    g->netMyTurn = 0;
    Receive(EncodeSeatWord(Word::kJoinCancel, 2));
    Receive(EncodeSeatWord(Word::kJoinOk, 0));
    EXPECT_EQ(ProcessClientMessage(*g), 1);
    EXPECT_EQ(g->netMyTurn, 1);
    ProcessClientMessage(*g);
    EXPECT_EQ(g->netState, kNetBattle);  // a battle under way is not begun again
    for (size_t i = 0; i <= kInboxLimit; ++i) Receive(EncodeChat({0, "x"}));
    EXPECT_EQ(g->netConnected, 0);
    EXPECT_EQ(link.closes, 1);
    EXPECT_EQ(ui.status[3], Gb("客户端消息存储空间不足!"));
}

TEST_F(SideTest, RejoiningSendsTheOwnRecordAndSanitisesTheOptions) {
    g->myNetName = std::string(40, 'n');
    g->optionsRecord.turnDirectionOption = 0;
    g->appFolder = "/nonexistent-jq/";
    RejoinNetBattle(*g);
    EXPECT_EQ(g->turnDirection, 1);
    EXPECT_EQ(g->netState, kNetJoinSent);
    EXPECT_EQ(g->pieces[0].alive, 1);
    EXPECT_EQ(g->pieces[25].alive, 0);
    ASSERT_EQ(link.Sent().size(), 1u);
    const SeatRec own = *DecodeJoin(link.Sent()[0]);
    EXPECT_EQ(BoundedText(own.name, 32), std::string(29, 'n'));
    EXPECT_EQ((std::vector<int>{own.seat, own.port, own.state}), (std::vector<int>{1, 40001, 1}));
    EXPECT_EQ(BoundedText(own.address, 16), "127.0.0.1");
}

TEST_F(SideTest, TheBattleStartsBeforeAnyMoveThatFollowsIt) {
    g->battleRunning = 0;
    g->deployPhase = 0;
    g->netState = kNetOwnDeploySent;
    Receive(EncodeAllSwitchEnd({1, 1, 30, 40, 60}));
    Receive(EncodeMoveQz(LegalMove(0)));
    HandleNetBattle(*g);
    EXPECT_EQ(g->netState, kNetAllDeployed);
    HandleNetBattle(*g);
    EXPECT_EQ(g->netState, kNetBattle);
    EXPECT_EQ(g->stepCount, 0);
    HandleNetBattle(*g);
    EXPECT_EQ(g->stepCount, 1);
}

}  // namespace
}  // namespace jq::net
