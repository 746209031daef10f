// A side applying what the host sends: views, checks, the rounds, the pump.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "ai/aithread.h"
#include "ai/movegen.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "play/turnloop.h"
#include "support/lan_fakes.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq::net {
namespace {

class SideTest : public ::testing::Test {
protected:
    void SetUp() override {
        g->ui = &ui;
        g->myNetSeat = g->netConnected = g->turnDirection = 1;
        test::LayOutBattle(*g);
        g->netState = kNetBattle;
        lan.AttachClient(&link);
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
}

TEST_F(SideTest, OnlyTheSeatToMoveMovesInARunningBattle) {
    g->curSeat = 2;
    Apply(EncodeMoveQz(LegalMove(3)));  // not its turn: every side drops it
    EXPECT_EQ(g->stepCount, 0);
    g->aiMoverGuard = 2;
    Apply(EncodeMoveQz(LegalMove(2)));
    EXPECT_EQ((std::vector<int>{g->stepCount, g->aiMoverGuard, g->curSeat}), (std::vector<int>{1, -1, 3}));
    g->battleRunning = 0;
    Apply(EncodeMoveQz(LegalMove(3)));
    EXPECT_EQ(g->stepCount, 1);
    EXPECT_TRUE(ui.messages.empty());
}

// Seat 1's engineer can reach seat 0's regiment, which it loses to. A side that claims the fight won has its
// move dropped by every side, the host's included; the true outcome is carried out alike everywhere.
TEST(LanMoves, AFalseOutcomeIsDroppedOnEverySide) {
    auto board = std::make_unique<GameState>();
    test::LayOutBattle(*board, test::kArmy, 1);
    const int engineer = test::PieceOf(1, 4), regiment = test::PieceOf(0, 0);
    ASSERT_EQ((std::vector<int>{board->pieces[engineer].code, board->pieces[regiment].code}), (std::vector<int>{12, 8}));
    // Somewhere on the board the engineer has a move onto the regiment.
    auto work = std::make_unique<MoveGenWork>();
    std::optional<MoveCand> attack;
    for (int q = 0; q < kPointCount && !attack; ++q) {
        const GridPoint at = test::PointAt(q);
        if (std::any_of(board->pieces.begin(), board->pieces.end(),
                        [&](const PieceRec& pc) { return pc.alive == 1 && pc.x == at.x && pc.y == at.y; }))
            continue;
        test::Put(*board, engineer, 12, at.x, at.y);
        const int n = GenerateMoves(*work, board->pieces, 1);
        for (int i = 0; i < n && !attack; ++i)
            if (work->list[i].mover == engineer && work->list[i].target == regiment) attack = work->list[i];
    }
    ASSERT_TRUE(attack);
    ASSERT_EQ(attack->outcome, kMoverRemoved);
    MoveCand forged = *attack;
    forged.outcome = kMoverWins;

    for (int v = 0; v < 4; ++v) {
        SCOPED_TRACE("side at seat " + std::to_string(v));
        auto g = std::make_unique<GameState>();
        test::RecordingUi ui;
        testing::FakeClientLink link;
        LanSession lan{*g};
        g->ui = &ui, g->lan = &lan, g->myNetSeat = v, g->netConnected = 1;
        lan.AttachClient(&link);
        test::LayOutBattle(*g, test::kArmy, LocalSeat(1, v));
        g->netState = kNetBattle;
        // The board as this side sees it: its own seat at the bottom.
        for (int i = 0; i < kPieceCount; ++i) {
            const PieceRec& abs = board->pieces[(kPiecesPerSeat * v + i) % kPieceCount];
            const GridPoint p = TurnGridPoint(GridPoint{abs.x, abs.y}, v);
            g->pieces[i].x = p.x, g->pieces[i].y = p.y, g->pieces[i].code = abs.code, g->pieces[i].alive = abs.alive;
        }
        const PieceTable before = g->pieces;
        const int localEngineer = LocalSeat(1, v) * 25 + 4, localRegiment = LocalSeat(0, v) * 25;
        for (const MoveCand& m : {forged, *attack}) {
            lan.ClientReceived(EncodeMoveQz({MoveInMoverView(m), 1}).data(), 104);
            ProcessClientMessage(*g);
            if (m.outcome == kMoverWins) {
                EXPECT_EQ((std::vector<int>{g->stepCount, g->curSeat}), (std::vector<int>{0, LocalSeat(1, v)}));
                EXPECT_TRUE(std::equal(before.begin(), before.end(), g->pieces.begin(), [](const auto& a, const auto& b) {
                    return a.alive == b.alive && a.x == b.x && a.y == b.y;
                }));
                EXPECT_EQ(ui.status[3], Gb("位置2 的棋步胜负不符，此步作废！"));
            }
        }
        // The record holds the one move, with the outcome the pieces give.
        EXPECT_EQ(g->stepCount, 1);
        EXPECT_EQ((std::vector<int>{g->stepRecords[0].mover, g->stepRecords[0].target, g->stepRecords[0].outcome}),
                  (std::vector<int>{localEngineer, localRegiment, kMoverRemoved}));
        EXPECT_EQ((std::vector<int>{g->pieces[localEngineer].alive, g->pieces[localRegiment].alive}),
                  (std::vector<int>{0, 1}));
    }
}

TEST_F(SideTest, DeploymentsAndTheStartComeOnce) {
    g->battleRunning = 0, g->netState = kNetOwnDeploySent, g->netMoveTime = 30;
    SwitchEndBody army{{}, 3};
    std::copy(test::kArmy, test::kArmy + 25, army.codes);
    Apply(EncodeAllSwitchEnd({0, -1, 0, 359, 360}));  // seat 0 is local seat 3; times out of range are not taken
    EXPECT_EQ((std::vector<int>{g->netState, g->curSeat, g->turnDirection, g->netMoveTime, g->netDeployTime}),
              (std::vector<int>{kNetAllDeployed, 3, -1, 30, 359}));
    // Once the battle runs, neither comes again.
    g->battleRunning = 1, g->netState = kNetBattle;
    g->pieces[50].alive = 0;
    Apply(EncodeSwitchEnd(army));
    Apply(EncodeAllSwitchEnd({2, 1, 0, 0, 0}));
    EXPECT_EQ(g->pieces[50].alive, 0);
    EXPECT_EQ((std::vector<int>{g->curSeat, g->turnDirection, g->netState}), (std::vector<int>{3, -1, kNetBattle}));
    // A deployment still open here when the battle starts is over: no swap in the battle.
    g->battleRunning = 0, g->netState = kNetDeploying, g->deployPhase = 1, ui.deploymentControls = true;
    Apply(EncodeAllSwitchEnd({0, 1, 30, 40, 60}));
    EXPECT_EQ((std::vector<int>{g->netState, g->deployPhase, ui.deploymentControls}),
              (std::vector<int>{kNetAllDeployed, 0, false}));
}

// A chat line, a seat taken or a seat given up changes nothing on the board: the move received after it is
// applied on the same tick. A packet that changes the battle (the host's word on a draw) leaves it for the
// next tick.
TEST_F(SideTest, SeatsAndChatDoNotUseUpTheTick) {
    SeatRec late;
    PutBoundedText(late.name, 32, "late");
    late.seat = 3, late.state = 1;
    const struct {
        const char* what;
        Packet packet;
        int steps;
    } rows[] = {
        {"a chat line", EncodeChat({3, "hi"}), 1},
        {"a Join", EncodeJoin(late), 1},
        {"a JoinCancel", EncodeSeatWord(Word::kJoinCancel, 3), 1},
        {"a refused draw", EncodeSeatWord(Word::kPeaceFinalAbort, 0), 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const int before = g->stepCount;
        Receive(row.packet);
        Receive(EncodeMoveQz(LegalMove(g->curSeat)));
        ProcessClientMessage(*g);
        EXPECT_EQ(g->stepCount - before, row.steps);
        ProcessClientMessage(*g);
        EXPECT_EQ(g->stepCount - before, 1);
    }
}

TEST_F(SideTest, JoiningDuringTheDeploymentAndDuringTheBattle) {
    g->myNetSeat = 2;
    JoinLastBody b;
    for (int k = 0; k < 100; ++k) {
        const GridPoint p = test::SlotPoint(k / 25, k % 25);
        b.x[k] = static_cast<int8_t>(p.x), b.y[k] = static_cast<int8_t>(p.y);
        b.code[k] = static_cast<int8_t>(test::kArmy[k % 25]), b.alive[k] = k < 50;
    }
    b.curSeat = 3, b.netState = kNetOwnDeploySent;
    g->pieces[0].code = 5;
    Apply(EncodeJoinLast(b));
    EXPECT_EQ((std::vector<int>{g->netState, g->curSeat, g->pieces[0].code}),
              (std::vector<int>{kNetDeployBegins, 1, 5}));
    b.netState = kNetBattle;
    b.steps = {StepRec{5, kNoPiece, b.x[5], b.y[5], b.x[5], b.y[5] + 1, 1},
               StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 1}};
    Apply(EncodeJoinLast(b));
    // Host piece 25 is local piece 75, turned; the give-up of seat 1 is seat 3's seen from seat 2.
    EXPECT_EQ((GridPoint{g->pieces[75].x, g->pieces[75].y}), TurnGridPoint(test::SlotPoint(1, 0), 2));
    EXPECT_EQ((std::vector<int>{g->battleRunning, g->stepCount, g->stepRecords[0].mover, g->stepRecords[1].outcome}),
              (std::vector<int>{1, 2, 55, 3}));
    Packet bad = EncodeJoinLast(b);  // a damaged one changes nothing
    bad[1016] = 100;
    Apply(bad);
    EXPECT_EQ(g->stepRecords[0].mover, 55);
}

TEST_F(SideTest, NoSecondStartAndAFullInboxLeavesTheBattle) {
    Apply(EncodeSeatWord(Word::kJoinOk, 0));
    EXPECT_EQ(g->netState, kNetBattle);  // a battle under way is not begun again
    // A burst past the inbox waits for it to empty: the socket layer is asked
    // to read no more, then to go on. (Answers take a tick each; chat would
    // be taken all at once.)
    for (size_t i = 0; i <= kInboxLimit; ++i) Receive(EncodeSeatWord(Word::kPeaceFinalAbort, 0));
    EXPECT_EQ(g->netConnected, 1);
    EXPECT_FALSE(lan.ClientAccepting());
    ProcessClientMessage(*g);
    EXPECT_EQ(lan.InboxSize(), kInboxLimit);  // the waiting one moved in
    EXPECT_FALSE(lan.ClientAccepting());
    ProcessClientMessage(*g);
    EXPECT_TRUE(lan.ClientAccepting());
    EXPECT_EQ(link.resumes, 1);
    // A socket layer that reads on regardless fills the store past its bound.
    const Packet chat = EncodeChat({0, "x"});
    for (size_t b = 0; b <= kClientBacklogBytes / chat.size() + 1 && g->netConnected == 1; ++b) Receive(chat);
    EXPECT_EQ(g->netConnected, 0);
    EXPECT_EQ(link.closes, 1);
    EXPECT_EQ(ui.status[3], Gb("客户端消息存储空间不足!"));
}

// The host's word on a draw and on the step limit counts only in a running battle: one that came during the
// deployment would end the next battle at its first step.
TEST_F(SideTest, TheHostsDecisionsCountOnlyInARunningBattle) {
    for (const int running : {0, 1}) {
        g->battleRunning = running, g->peaceAgreed = g->stepLimitReached = 0;
        Apply(EncodeSeatWord(Word::kPeaceFinalOk, 0));
        Apply(EncodeBare(Word::kMaxStepLimited));
        EXPECT_EQ((std::vector<int>{g->peaceAgreed, g->stepLimitReached}), (std::vector<int>{running, running}));
    }
}

// A side whose move never got out moves again after a packet it applies; a damaged snapshot is not one.
TEST_F(SideTest, ADamagedSnapshotGivesNoTurnBack) {
    JoinLastBody b;
    b.netState = kNetBattle;
    Packet bad = EncodeJoinLast(b);
    ASSERT_TRUE(DecodeJoinLast(bad));
    bad[1020] = 7;  // the turn direction
    g->netMyTurn = 0;
    Apply(bad);
    EXPECT_EQ(g->netMyTurn, 0);
}

// Nothing is sent without a host: the player is told. A host that takes nothing more fills the side's queue,
// and the side leaves.
TEST_F(SideTest, WithoutAHostThatTakesItNothingIsSent) {
    link.connected = false;
    SendChatLine(*g, "hi");
    EXPECT_TRUE(link.written.empty());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].find(Gb("数据无法发送。")), std::string::npos);
    link.connected = true, link.takeAtMost = 0;
    for (size_t i = 0; i < kOutboxLimit && g->netConnected == 1; ++i) SendChatLine(*g, "hi");
    EXPECT_EQ(g->netConnected, 1);
    SendChatLine(*g, "hi");
    EXPECT_EQ((std::vector<int>{g->netConnected, link.closes}), (std::vector<int>{0, 1}));
    EXPECT_EQ(ui.status[3], Gb("封包无法发送...请退出棋战重新联接再试。"));
}

// A second offer while one is open is not asked; once answered, the next one is.
TEST_F(SideTest, OnePeaceQuestionAtATime) {
    struct Asked : LanUi {
        void AskPeace(int seat, const std::string&) override { seats.push_back(seat); }
        std::vector<int> seats;
    } asked;
    lan.SetUi(&asked);
    Apply(EncodeSeatWord(Word::kPeaceRequest, 2));
    Apply(EncodeSeatWord(Word::kPeaceRequest, 3));
    AnswerPeace(*g, false);
    Apply(EncodeSeatWord(Word::kPeaceRequest, 3));
    EXPECT_EQ(asked.seats, (std::vector<int>{2, 3}));
    EXPECT_EQ(PacketWord(link.Sent().back()), Word::kPeaceAbort);
    lan.SetUi(nullptr);
}

// What the window is asked to show besides the board.
struct Shown : LanUi {
    void ShowWaitDialog() override { ++waitingRooms; }
    void Notice(const std::string& text) override { notices.push_back(text); }
    void ExplainLeaving(const std::string& text) override { explained.push_back(text); }
    int waitingRooms = 0;
    std::vector<std::string> notices, explained;
};

// The host's "JoinLast" may give a joining side the host's 12 before the pump has passed 11, or come after it:
// either way the waiting room opens once a round, and not again in the round once it has closed.
TEST_F(SideTest, TheWaitingRoomOpensOnceARound) {
    Shown shown;
    lan.SetUi(&shown);
    g->appFolder = "/nonexistent-jq-folder/";
    JoinLastBody hostWaits;
    hostWaits.netState = kNetWaiting;
    for (const bool beforeTheTick : {true, false}) {
        SCOPED_TRACE(beforeTheTick ? "JoinLast before the first tick" : "JoinLast after it");
        const int before = shown.waitingRooms;
        RejoinNetBattle(*g);
        if (!beforeTheTick) HandleNetBattle(*g);
        Receive(EncodeJoinLast(hostWaits));
        for (int tick = 0; tick < 4; ++tick) HandleNetBattle(*g);
        EXPECT_EQ(std::pair(g->netState, shown.waitingRooms - before), std::pair(int{kNetWaiting}, 1));
        // The host starts, long after the last turn: the room closes itself, the round goes on without it,
        // and the deploy clock counts from the start of the deployment.
        ui.clock.seconds += 500;
        Receive(EncodeSeatWord(Word::kJoinOk, 0));
        for (int tick = 0; tick < 4; ++tick) HandleNetBattle(*g);
        EXPECT_EQ(std::pair(g->netState, shown.waitingRooms - before), std::pair(int{kNetDeploying}, 1));
        ui.clock.seconds += 5;
        TickMainTimer(*g);
        EXPECT_EQ(ui.timeRemaining, std::to_string(g->netDeployTime - 5));
    }
    lan.SetUi(nullptr);
}

// Why a side leaves is told once, after it has left, and not in the bulletin: a refused join; a host gone
// between battles, where the "Join" for the next round found no connection and told the player already; the
// own seat given to the computer by the host.
TEST_F(SideTest, TheReasonForLeavingIsToldOnce) {
    Shown shown;
    lan.SetUi(&shown);
    g->appFolder = "/nonexistent-jq-folder/";
    g->netState = kNetJoinSent;
    Apply(EncodeBare(Word::kJoinRefuse));
    EXPECT_EQ(g->netConnected, 0);
    EXPECT_EQ(ui.status[3], Gb("服务器拒绝联接！自动退出网战。"));
    EXPECT_EQ(shown.explained, std::vector<std::string>{JoinRefusedText()});

    shown.explained.clear();
    lan.AttachClient(&link);
    g->netConnected = 1;
    link.connected = false;
    RejoinNetBattle(*g);
    HandleNetBattle(*g);
    EXPECT_EQ(g->netConnected, 0);
    EXPECT_EQ(std::count(ui.messages.begin(), ui.messages.end(), HostGoneText()), 1);
    EXPECT_TRUE(shown.explained.empty());
    EXPECT_TRUE(shown.notices.empty());

    lan.SetUi(nullptr);
}

// The host gives the own seat (1) to the computer and says only so: the side tells its player why, from what
// it knows. In the deployment its deploy time ran out; in the battle its player's fourth time-out, once the
// host's count on the own seat's time-outs it relayed (sent by the side or by the host) reached three, its
// player's earlier ones included and the seat's before this side joined not; else its silence on its turn. The host
// closes the connection behind its word. A side whose own clock runs out the fourth time gives the seat up
// itself, and tells its player alike. Refused when he asks again, for that seat or another, he is told what
// holds whatever the host's reason.
TEST(LanLeaving, TheSeatHandedOverIsToldTheRealReason) {
    const std::string seatGone = std::string(11, ' ') + Gb("\n您的位置已由计算机接管。");
    const struct {
        const char* what;
        int netState;
        int timeouts;  // of the own seat, relayed before
        std::string status, box;
        bool joinedLate = false;  // the time-outs were the seat's before the side took it from "JoinLast"
        bool ownClock = false;    // the side's own clock runs out the fourth time before the host's word
        int earlier = 0;          // the player's own time-outs on the seat before this side joined (the host's count)
    } rows[] = {
        {"deploying", kNetDeploying, 0, Gb("布阵超时！自动退出网战。"), Gb("布阵时间已到，您还没有布阵完毕！") + seatGone},
        {"own deployment sent", kNetOwnDeploySent, 0, Gb("布阵超时！自动退出网战。"),
         Gb("布阵时间已到，您还没有布阵完毕！") + seatGone},
        {"silent on its first turn", kNetBattle, 0, Gb("走棋时太久没有响应！自动退出网战。"),
         Gb("轮到您走棋时太久没有动静！") + seatGone},
        {"silent after two time-outs", kNetBattle, 2, Gb("走棋时太久没有响应！自动退出网战。"),
         Gb("轮到您走棋时太久没有动静！") + seatGone},
        {"its fourth time-out", kNetBattle, 3, Gb("超时次数太多！自动退出网战。"), Gb("超时次数太多！") + seatGone},
        {"three of the seat's before the join are not its own", kNetBattle, 3, Gb("走棋时太久没有响应！自动退出网战。"),
         Gb("轮到您走棋时太久没有动静！") + seatGone, true},
        {"its fourth, two before it joined again", kNetBattle, 1, Gb("超时次数太多！自动退出网战。"),
         Gb("超时次数太多！") + seatGone, false, false, 2},
        {"the host's count on its own clock", kNetBattle, 1, Gb("超时次数太多！自动退出网战。"),
         Gb("超时次数太多！") + seatGone, false, true, 2},
        {"its fourth time-out, on its own clock", kNetBattle, 3, Gb("超时次数太多！自动退出网战。"),
         Gb("超时次数太多！") + seatGone, false, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        auto g = std::make_unique<GameState>();
        test::RecordingUi ui;
        testing::FakeClientLink link;
        LanSession lan(*g);
        Shown shown;
        g->ui = &ui, g->lan = &lan, g->appFolder = "/nonexistent-jq-folder/";
        g->myNetSeat = g->netConnected = g->turnDirection = 1;
        test::LayOutBattle(*g);
        lan.AttachClient(&link);
        lan.SetUi(&shown);
        if (r.netState != kNetBattle) g->battleRunning = 0, g->deployPhase = 1;
        g->netState = r.netState;
        const auto apply = [&](const Packet& p) {
            lan.ClientReceived(p.data(), p.size());
            ProcessClientMessage(*g);
        };
        if (r.joinedLate) {
            JoinLastBody b;
            for (int i = 0; i < kPieceCount; ++i) {
                b.x[i] = static_cast<int8_t>(g->pieces[i].x), b.y[i] = static_cast<int8_t>(g->pieces[i].y);
                b.code[i] = static_cast<int8_t>(g->pieces[i].code), b.alive[i] = 1;
            }
            // Seat 1's time-outs among other seats' (seat 3's), in the host's view.
            for (int n = 0; n < r.timeouts; ++n)
                for (const int seat : {1, 3})
                    b.steps.push_back(StepRec{kNoPiece, kNoPiece, kTimeoutCoord, kTimeoutCoord, kTimeoutCoord,
                                              kTimeoutCoord, seat});
            b.seats[1].state = 1, b.curSeat = 2, b.netState = kNetBattle;
            b.moveTime = 30, b.deployTime = 40, b.disconnectTime = 60;
            g->battleRunning = 0, g->netState = kNetJoinSent;
            apply(EncodeJoinLast(b));
            ASSERT_EQ(g->battleRunning, 1);
        }
        for (int n = 1; n <= r.timeouts && !r.joinedLate; ++n) {
            g->curSeat = 0;  // the own seat to move
            MoveCand m;
            MakeTimeoutMove(m, r.earlier + n);
            apply(EncodeMoveQz(MoveQzBody{m, g->myNetSeat}));
        }
        EXPECT_EQ(g->netTimeoutCount, r.joinedLate ? 0 : r.earlier + r.timeouts);
        if (r.ownClock) {
            // Its turn again, its player's seat, and its whole time gone.
            g->curSeat = 0, g->netMyTurn = 1, g->seatTable[g->myNetSeat].state = 1;
            g->turnStarted = ui.clock;
            ui.clock.seconds += g->netMoveTime;
            TickMainTimer(*g);
        } else {
            const Packet cancel = EncodeSeatWord(Word::kJoinCancel, g->myNetSeat);
            lan.ClientReceived(cancel.data(), cancel.size());
            lan.ClientClosed();
            ProcessClientMessage(*g);
        }
        EXPECT_EQ(g->netConnected, 0);
        EXPECT_EQ(ui.status[3], r.status);
        EXPECT_EQ(shown.explained, std::vector<std::string>{r.box});
        link.connected = true, g->netConnected = 1;
        lan.AttachClient(&link);
        RejoinNetBattle(*g);
        apply(EncodeBare(Word::kJoinRefuse));
        EXPECT_EQ(shown.explained.back(), JoinRefusedText());
        link.connected = true, g->netConnected = 1, g->myNetSeat = 3;
        lan.AttachClient(&link);
        RejoinNetBattle(*g);
        apply(EncodeBare(Word::kJoinRefuse));
        EXPECT_EQ(shown.explained.back(), JoinRefusedText());
        lan.SetUi(nullptr);
        g->lan = nullptr;
    }
}

TEST_F(SideTest, TheBattleStartsBeforeAnyMoveThatFollowsIt) {
    g->battleRunning = g->deployPhase = 0, g->netState = kNetOwnDeploySent;
    Receive(EncodeAllSwitchEnd({1, 1, 30, 40, 60}));
    Receive(EncodeMoveQz(LegalMove(0)));
    std::vector<int> seen;
    for (int tick = 0; tick < 3; ++tick) {
        HandleNetBattle(*g);
        seen.insert(seen.end(), {g->netState, g->stepCount});
    }
    // The tick that takes "AllSwitchEnd" starts the battle; the move comes on the next.
    EXPECT_EQ(seen, (std::vector<int>{kNetBattle, 0, kNetBattle, 1, kNetBattle, 1}));
}

}  // namespace
}  // namespace jq::net
