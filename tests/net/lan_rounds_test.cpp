// Rounds of a LAN battle on the model, without sockets.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "ai/aithread.h"
#include "ai/movegen.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "net/host/relay.h"
#include "play/peace.h"
#include "play/turnloop.h"
#include "support/fake_computer.h"
#include "support/host_moves.h"
#include "support/lan_fakes.h"
#include "support/recording_ui.h"
#include "support/scene.h"

namespace jq::net {
namespace {

constexpr ConnId kOwn = 1;

struct Game {
    Game() {
        g->ui = &ui, g->lan = lan.get(), g->netConnected = 1;
        g->appFolder = "/nonexistent-jq-folder/";
        lan->AttachClient(&own);
    }
    std::unique_ptr<GameState> g = std::make_unique<GameState>();
    test::RecordingUi ui;
    std::unique_ptr<LanSession> lan = std::make_unique<LanSession>(*g);
    testing::FakeClientLink own;
};

// The host's side and its relay; remote seat s is connection s + 1.
struct Host : Game {
    Host() {
        g->isNetHost = 1, g->optionsRecord.netDeployTimeOption = 10;
        lan->StartHosting(&links);
        relay().Connected(kOwn, "127.0.0.1", 40001);
        relay().SetOwnConnection(kOwn);
        RejoinNetBattle(*g);
        Carry();
    }
    HostRelay& relay() { return *lan->relay(); }
    // The host's side opens the next round's waiting room (its times are the options' now).
    void NewRound() {
        RejoinNetBattle(*g);
        Carry();
    }
    // Hands the own side's bytes to the relay and the relay's back, and a window's (WindowAt) likewise.
    void Carry() {
        for (int pass = 0; pass < 3; ++pass) {
            std::vector<uint8_t> up, down;
            up.swap(own.written);
            for (const Packet& p : testing::CutPackets(up)) ownWords.push_back(*PacketWord(p));
            relay().Received(kOwn, up.data(), up.size());
            down.swap(links.written[kOwn]);
            for (const Packet& p : testing::CutPackets(down)) toOwn.push_back(*PacketWord(p));
            // A read brings bytes: only then does the side's turn clock restart.
            if (!down.empty()) lan->ClientReceived(down.data(), down.size());
            if (window != nullptr) CarryWindow();
        }
    }
    // A joining side of its own at `seat` (connection seat + 1, its own address), on the host's clock: it
    // sends its "Join" now.
    void WindowAt(Game& w, int seat) {
        window = &w, windowConn = seat + 1;
        w.g->myNetSeat = seat;
        relay().Connected(windowConn, "10.0.0.7", 600 + seat);
        w.ui.clock = ui.clock;
        RejoinNetBattle(*w.g);
        Carry();
    }
    void CarryWindow() {
        Game& w = *window;
        w.ui.clock = ui.clock;
        std::vector<uint8_t> up, down;
        up.swap(w.own.written);
        if (w.own.connected) relay().Received(windowConn, up.data(), up.size());
        down.swap(links.written[windowConn]);
        if (!down.empty()) w.lan->ClientReceived(down.data(), down.size());
        if (links.closed.count(windowConn) != 0 && w.own.connected) {
            w.own.connected = false;
            w.lan->ClientClosed();
        }
    }
    // A tick of the main timer on the host's side and on the window.
    void TickBoth() {
        TickMainTimer(*g), Carry();
        if (window != nullptr) TickMainTimer(*window->g), Carry();
    }
    void Join(int seat) {
        SeatRec r;
        PutBoundedText(r.name, 32, "p" + std::to_string(seat));
        r.seat = seat, r.state = 1;
        relay().Connected(seat + 1, "10.0.0.9", 500 + seat);
        Remote(seat, EncodeJoin(r));
    }
    void Remote(int seat, const Packet& p) { relay().Received(seat + 1, p.data(), p.size()), Carry(); }
    // The host starts the battle; the joined seats deploy the test army, the computer the rest.
    bool PlayBattle() {
        g->netState = kNetWaiting;
        HostStartsBattle(*g);
        if (!TickUntil([&] { return g->netState == kNetDeploying; })) return false;
        for (int s = 1; s < kSeats; ++s) {
            if (g->seatTable[s].state != 1) continue;
            SwitchEndBody b{{}, s};
            std::copy(test::kArmy, test::kArmy + kPiecesPerSeat, b.codes);
            Remote(s, EncodeSwitchEnd(b));
        }
        bool finished = false;
        if (!TickUntil([&] { return finished = finished || FinishOwnDeployment(*g); })) return false;
        return TickUntil([&] { return g->netState == kNetBattle; });
    }
    // Ticks of the pump until `done` (at most 200).
    bool TickUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            HandleNetBattle(*g);
            Carry();
        }
        return done();
    }
    const GameState& copy() { return relay().Referee(); }
    // Quiet moves of the seats to move until `seat` is to move: the host's side sends for its own seat and the
    // computer's, a remote seat's connection for its own.
    bool PassTurnsUntil(int seat) {
        for (int i = 0; i < 8 && copy().battleRunning == 1 && copy().curSeat != seat; ++i) {
            const int s = copy().curSeat;
            const MoveQzBody b = *test::QuietMove(copy(), i);
            if (s == 0 || relay().Seat(s).state != 1) {
                g->netMoveRecord = b.move;
                SendNetMessage(*g, "MoveQz", s);
                Carry();
            } else {
                Remote(s, EncodeMoveQz(b));
            }
            const int steps = copy().stepCount;
            if (!TickUntil([&] { return g->stepCount == steps && lan->InboxSize() == 0; })) return false;
        }
        return copy().curSeat == seat;
    }
    testing::FakeServerLinks links;
    std::vector<Word> ownWords;  // what the own side sent, in order
    std::vector<Word> toOwn;     // what the relay sent it
    Game* window = nullptr;
    ConnId windowConn = -1;
};

TEST(LanRounds, TwoSeatsTimeOutInTheDeployment) {
    Host h;
    h.Join(1);
    h.Join(2);
    // Start pressed before the own join's echo is read: the echo is older.
    h.g->netState = kNetWaiting;
    HostStartsBattle(*h.g);
    // The computer's seat 3 deploys; the host deploys as dealt.
    ASSERT_TRUE(h.TickUntil([&] { return h.g->seatTable[3].deployed == 2; }));
    ASSERT_TRUE(FinishOwnDeployment(*h.g));
    ASSERT_TRUE(h.TickUntil([&] { return h.g->seatTable[0].deployed == 2; }));
    h.ui.clock.seconds += 9 + kTurnGraceSeconds;
    for (int i = 0; i < 10; ++i) HandleNetBattle(*h.g);
    EXPECT_TRUE(h.links.closed.empty());
    // Exactly the deploy time and the grace since the deployment began: both seats go to the computer at once,
    // their connections closed, then get formations one per tick, seat 1 first.
    h.ui.clock.seconds += 1;
    HandleNetBattle(*h.g);
    EXPECT_EQ(h.links.closed, (std::set<ConnId>{2, 3}));
    EXPECT_EQ(h.relay().Seat(1).state + h.relay().Seat(2).state, 0);
    ASSERT_TRUE(h.TickUntil([&] { return h.g->seatTable[1].deployed == 2; }));
    EXPECT_NE(h.g->seatTable[2].deployed, 2);
    ASSERT_TRUE(h.TickUntil([&] { return h.g->battleRunning == 1; }));
    // Each freed seat is given up once, by the host, and the host's own side only hears of it.
    EXPECT_EQ(std::count(h.toOwn.begin(), h.toOwn.end(), Word::kJoinCancel), 2);
    EXPECT_EQ(std::count(h.ownWords.begin(), h.ownWords.end(), Word::kJoinCancel), 0);
}

// Sides that claim a deployment they never made (seat 1, connection 2): the deploy time-out still gives the
// seat to the computer, which deploys it, and the battle starts.
TEST(LanRounds, AClaimedDeploymentDoesNotHoldUpTheBattle) {
    const struct {
        const char* what;
        int state, deployed;
        bool deploysInTheWaitingRoom;
    } sides[] = {
        {"a Join with deployed 2", 1, 2, false},
        {"a Join with state 2 and deployed 2", 2, 2, false},
        {"a SwitchEnd in the waiting room", 1, 0, true},
    };
    for (const auto& side : sides) {
        SCOPED_TRACE(side.what);
        Host h;
        SeatRec r;
        PutBoundedText(r.name, 32, "x");
        r.seat = 1, r.state = side.state, r.deployed = side.deployed;
        h.relay().Connected(2, "10.0.0.9", 501);
        h.Remote(1, EncodeJoin(r));
        if (side.deploysInTheWaitingRoom) {
            SwitchEndBody army{{}, 1};
            std::copy(test::kArmy, test::kArmy + 25, army.codes);
            h.Remote(1, EncodeSwitchEnd(army));
        }
        EXPECT_EQ((std::vector<int>{h.relay().Seat(1).state, h.relay().Seat(1).deployed}), (std::vector<int>{1, 0}));
        h.g->netState = kNetWaiting;
        HostStartsBattle(*h.g);
        ASSERT_TRUE(h.TickUntil([&] { return h.g->seatTable[2].deployed == 2 && h.g->seatTable[3].deployed == 2; }));
        ASSERT_TRUE(FinishOwnDeployment(*h.g));
        ASSERT_TRUE(h.TickUntil([&] { return h.g->seatTable[0].deployed == 2; }));
        for (int i = 0; i < 10; ++i) HandleNetBattle(*h.g);  // what came in is applied
        h.ui.clock.seconds += 10 + kTurnGraceSeconds;
        ASSERT_TRUE(h.TickUntil([&] { return h.g->battleRunning == 1; }));
        EXPECT_EQ(h.links.closed, (std::set<ConnId>{2}));
    }
}

// The host's computer chose a move for seat 1 while the battle ran; it reaches the main thread after the battle
// has ended (seat and step count as they were). It never goes out; in the running battle it does.
TEST(LanRounds, AComputerMoveHandedOverAfterTheEndIsNeverSent) {
    for (const bool ended : {false, true}) {
        SCOPED_TRACE(ended ? "ended" : "running");
        Game gm;
        GameState& g = *gm.g;
        test::ArmyBeliefs(g.pieces);
        test::LayOutBattle(g, test::kArmy, 1);
        g.isNetHost = 1, g.netState = kNetBattle, g.practiceMode = 1, g.netMyTurn = 1;
        std::mutex mutex;
        std::vector<std::pair<MoveCand, uint64_t>> handed;
        AIDominate worker(g, [&](MoveCand m, uint64_t t) {
            std::lock_guard lock(mutex);
            handed.emplace_back(m, t);
        });
        g.computer = &worker;
        g.aiMoverGuard = 1;
        worker.Resume();
        for (int i = 0; i < 6000; ++i) {
            {
                std::lock_guard lock(mutex);
                if (!handed.empty()) break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_EQ(handed.size(), 1u);
        if (ended) g.battleRunning = 0, g.netState = kNetJoinSent;
        ExecuteComputerMove(g, handed[0].first, handed[0].second);
        const auto sent = gm.own.Sent();
        ASSERT_EQ(sent.size(), ended ? 0u : 1u);
        if (!ended) { EXPECT_EQ(DecodeMoveQz(sent[0])->seat, 1); }
        EXPECT_TRUE(worker.IsIdle());
        if (ended) { EXPECT_EQ(g.aiMoverGuard, -1); }
        worker.Shutdown();
        g.computer = nullptr;
    }
}

// Seat 1 (connection 2) keeps chatting and never moves or deploys: each line is something heard, yet in the
// deployment the seat goes to the computer once its deploy time and the grace have run out since the
// deployment began on the host, and its turn ends as its time-out once its move time and the grace have run
// out since the turn began there; not before.
TEST(LanRounds, ASideThatKeepsTalkingCannotHoldItsTurn) {
    for (const bool deploying : {false, true}) {
        SCOPED_TRACE(deploying ? "deployment" : "battle");
        Host h;
        GameState& g = *h.g;
        OptionsRec& o = g.optionsRecord;
        o.netMoveTimeOption = 30, o.netDeployTimeOption = 40, o.netDisconnectTimeOption = 60;
        h.NewRound();
        h.Join(1);
        // The phase begins on the host when it takes the start, or at the turn on its copy.
        int start = h.ui.clock.seconds;
        if (deploying) {
            g.netState = kNetWaiting;
            HostStartsBattle(g);
            ASSERT_TRUE(h.TickUntil([&] { return h.relay().Referee().battleRunning == 0 && g.netState == kNetDeploying; }));
        } else {
            ASSERT_TRUE(h.PlayBattle());
            ASSERT_TRUE(h.PassTurnsUntil(1));
            start = h.copy().turnStarted.seconds;
        }
        const int limit = (deploying ? 40 : 30) + kTurnGraceSeconds;
        const int steps = h.copy().stepCount;
        auto holds = [&] { return h.relay().Seat(1).state == 1 && h.copy().stepCount == steps; };
        for (int t = 10; t <= limit + 10 && holds(); t += 10) {
            h.ui.clock.seconds = start + t;
            // A line before every tick: chat never uses up the tick the time-outs are checked in.
            h.Remote(1, EncodeChat(ChatBody{1, "hello"}));
            HandleNetBattle(g);
            h.Carry();
            EXPECT_EQ(holds(), t < limit) << "after " << t << " s";
        }
        EXPECT_EQ(h.links.closed.count(2), deploying ? 1u : 0u);
        if (!deploying) {
            EXPECT_EQ(h.copy().stepRecords[steps].fromX, kTimeoutCoord);
        }
    }
}

// Every seat is a person who never acts; one other connection keeps chatting, which is not the silent seat's
// word. The turn of the seat to move ends as its time-out once its move time and the grace have passed since
// the turn began on the host (the battle's first turn, a turn after a move), however long the phase before it
// lasted, and not before; a seat not deployed goes to the computer once the deploy time and the grace have
// passed since the deployment began, whoever talks; with a disconnect time shorter than the move time, a silent
// seat goes, but only when its move time and the grace have passed too.
TEST(LanRounds, ASeatIsHandedOverByTheTimeSinceItsPhaseBegan) {
    enum Phase { kDeployment, kFirstTurn, kTurnAfterAMove, kSilentTurn };
    for (const Phase phase : {kDeployment, kFirstTurn, kTurnAfterAMove, kSilentTurn}) {
        SCOPED_TRACE(phase);
        Host h;
        GameState& g = *h.g;
        OptionsRec& o = g.optionsRecord;
        o.netMoveTimeOption = 30, o.netDeployTimeOption = 80, o.netDisconnectTimeOption = phase == kSilentTurn ? 20 : 60;
        h.NewRound();
        for (int s = 1; s < kSeats; ++s) h.Join(s);
        h.ui.clock.seconds = 5000;  // long after anything stamped before
        g.netState = kNetWaiting;
        HostStartsBattle(g);
        ASSERT_TRUE(h.TickUntil([&] { return g.netState == kNetDeploying; }));
        int silent = 1;
        if (phase != kDeployment) {
            for (int s = 1; s < kSeats; ++s) {
                SwitchEndBody army{{}, s};
                std::copy(test::kArmy, test::kArmy + 25, army.codes);
                h.Remote(s, EncodeSwitchEnd(army));
            }
            h.ui.clock.seconds += 70;  // a long deployment
            ASSERT_TRUE(FinishOwnDeployment(g));
            ASSERT_TRUE(h.TickUntil([&] { return g.netState == kNetBattle; }));
            silent = h.copy().curSeat;
        }
        if (phase == kTurnAfterAMove) {
            // The first seat moves late in its turn; the next is to move.
            h.ui.clock.seconds += 80;
            const MoveQzBody b = *test::QuietMove(h.copy(), 0);
            if (silent == 0) {
                g.netMoveRecord = b.move;
                SendNetMessage(g, "MoveQz", 0);
                h.Carry();
            } else {
                h.Remote(silent, EncodeMoveQz(b));
            }
            ASSERT_TRUE(h.TickUntil([&] { return g.stepCount == 1; }));
            silent = h.copy().curSeat;
        }
        const int limit = (phase == kDeployment ? 80 : 30) + kTurnGraceSeconds;
        const int talker = silent == 1 ? 2 : 1;
        // The phase began on the host when it took the start, or at the turn on its copy.
        const int start = phase == kDeployment ? 5000 : h.copy().turnStarted.seconds;
        const int steps = h.copy().stepCount;
        auto holds = [&] { return h.relay().Seat(silent).state == 1 && h.copy().stepCount == steps; };
        for (int t = 10; t <= limit + 10 && holds(); t += 10) {
            h.ui.clock.seconds = start + t;
            if (phase != kSilentTurn) h.Remote(talker, EncodeChat(ChatBody{talker, "hello"}));
            HandleNetBattle(g);
            h.Carry();
            EXPECT_EQ(holds(), t < limit) << "after " << t << " s";
        }
        EXPECT_FALSE(holds());
        EXPECT_EQ(h.relay().Seat(silent).state == 1, phase == kFirstTurn || phase == kTurnAfterAMove);
        // Each seat is handed over once; the computer's seats are never handed over again.
        for (int i = 0; i < 5; ++i) {
            h.ui.clock.seconds += 10;
            HandleNetBattle(g);
            h.Carry();
        }
        // The talker's own word does not put off its deploy time-out: the deploy time is the seat's.
        EXPECT_EQ(std::count(h.toOwn.begin(), h.toOwn.end(), Word::kJoinCancel),
                  phase == kDeployment ? 3 : phase == kSilentTurn ? 1 : 0);
    }
}

// The host's computer chooses once per turn for a seat it plays, and only once every seat has taken what was
// sent to it: seat 1 (connection 2) reads nothing for a while.
TEST(LanRounds, TheComputerChoosesOnceAndWaitsForTheSeatsToRead) {
    Host h;
    h.Join(1);
    GameState& g = *h.g;
    g.optionsRecord.netMinMoveIntervalOption = g.netMinMoveInterval = 0;
    ASSERT_TRUE(h.PlayBattle());
    ASSERT_TRUE(h.PassTurnsUntil(2));
    test::FakeComputer computer;
    g.computer = &computer;
    h.links.takeAtMostOf[2] = 0;
    h.Remote(1, EncodeChat(ChatBody{1, "hello"}));
    for (int i = 0; i < 3; ++i) HandleNetBattle(g), h.Carry();
    EXPECT_EQ(computer.resumes, 0);
    h.links.takeAtMostOf.clear();
    h.relay().Writable(2);
    for (int i = 0; i < 3; ++i) HandleNetBattle(g), h.Carry();
    EXPECT_EQ(computer.resumes, 1);
    g.computer = nullptr;
}

// The host's computer paces its moves by the minimum move interval, counted from the turn's start, and never
// beyond the move time (seconds: the interval, the move time, when the computer moves).
TEST(LanRounds, TheComputerWaitsItsIntervalButNeverBeyondTheMoveTime) {
    const struct {
        int interval, moveTime, movesAt;
    } rows[] = {{2, 30, 2}, {10, 5, 5}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.interval);
        Host h;
        GameState& g = *h.g;
        g.optionsRecord.netMoveTimeOption = r.moveTime;
        g.optionsRecord.netMinMoveIntervalOption = r.interval;
        h.NewRound();
        ASSERT_TRUE(h.PlayBattle());
        ASSERT_TRUE(h.PassTurnsUntil(2));
        ASSERT_EQ(g.netMoveTime, r.moveTime);
        ASSERT_EQ(g.netMinMoveInterval, r.interval);
        test::FakeComputer computer;
        g.computer = &computer;
        h.ui.clock.seconds += r.movesAt - 1;
        for (int i = 0; i < 3; ++i) HandleNetBattle(g), h.Carry();
        EXPECT_EQ(computer.resumes, 0);
        h.ui.clock.seconds += 1;
        HandleNetBattle(g);
        EXPECT_EQ(computer.resumes, 1);
        g.computer = nullptr;
    }
}

// A side whose battle has ended asks for the next round while the host's side still plays the last one; once
// the host is back in the waiting room, its join is taken.
TEST(LanRounds, AJoinForTheNextRoundIsTakenInTheWaitingRoom) {
    Host h;
    h.Join(1);
    ASSERT_TRUE(h.PlayBattle());
    // Seats 1 and 3 give up: the battle ends on the host's copy.
    for (int seat : {1, 3}) {
        ASSERT_TRUE(h.PassTurnsUntil(seat));
        MoveQzBody b{MoveCand{}, seat};
        MakeGiveUpMove(b.move, seat);
        if (seat == 1) {
            h.Remote(1, EncodeMoveQz(b));
        } else {
            h.g->netMoveRecord = b.move;
            SendNetMessage(*h.g, "MoveQz", 3);
            h.Carry();
        }
    }
    ASSERT_EQ(h.copy().battleRunning, 0);
    h.links.written.erase(2);
    SeatRec r;
    PutBoundedText(r.name, 32, "p1");
    r.seat = 1, r.state = 1;
    h.Remote(1, EncodeJoin(r));
    EXPECT_TRUE(h.links.written[2].empty());
    // The host's side sees the end and joins the next round.
    for (int i = 0; i < 20 && h.links.written[2].empty(); ++i) {
        TickMainTimer(*h.g);
        h.Carry();
    }
    const auto got = testing::CutPackets(h.links.written[2]);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(PacketWord(got.back()), Word::kJoinLast);
    EXPECT_EQ(DecodeJoinLast(got.back())->netState, kNetWaiting);
}

TEST(LanRounds, PeaceAgreedByEveryPersonOrRefusedByOne) {
    for (const bool agree : {true, false}) {
        Host h;
        h.Join(1);
        h.Join(2);
        ASSERT_TRUE(h.PlayBattle());
        h.Remote(1, EncodeSeatWord(Word::kPeaceRequest, 1));
        AnswerPeace(*h.g, true);
        h.Carry();
        h.Remote(2, EncodeSeatWord(agree ? Word::kPeaceOk : Word::kPeaceAbort, 2));
        h.TickUntil([&] { return h.lan->InboxSize() == 0; });
        EXPECT_EQ(h.g->peaceAgreed, agree ? 1 : 0);
        const auto toSeat1 = testing::CutPackets(h.links.written[2]);
        ASSERT_FALSE(toSeat1.empty());
        EXPECT_EQ(PacketWord(toSeat1.back()), agree ? Word::kPeaceFinalOk : Word::kPeaceFinalAbort);
        if (!agree) { EXPECT_EQ(h.ui.status[3], Gb("有人不同意和棋,战争还得继续!")); }
    }
}

// A joining side at seat 2 in a running battle, its seat to move.
struct Joined : Game {
    Joined() {
        g->myNetSeat = 2, g->netState = kNetBattle, g->battleRunning = 1, g->practiceMode = 1, g->curSeat = 0;
        g->seatTable[2].state = 1;
        g->netMoveTime = 30, g->netDisconnectTime = 300;
    }
};

// Each of its time-outs comes back from the host and counts there: the fourth is not sent but gives up the seat.
TEST(LanRounds, AJoiningSideLeavesAfterItsFourthTimeOut) {
    Joined j;
    test::LayOutBattle(*j.g);
    j.ui.clock.seconds = j.g->turnStarted.seconds + 29;  // a second left
    j.g->netMyTurn = 1;
    TickMainTimer(*j.g);
    EXPECT_TRUE(j.own.written.empty());
    for (int n = 1; n <= 4; ++n) {
        j.g->netMyTurn = 1, j.g->curSeat = 0;
        j.ui.clock.seconds = j.g->turnStarted.seconds + 30;
        TickMainTimer(*j.g);
        TickMainTimer(*j.g);
        if (n == 4) break;
        ASSERT_EQ(j.own.Sent().size(), static_cast<size_t>(n));
        const Packet back = j.own.Sent().back();
        j.lan->ClientReceived(back.data(), back.size());
        TickMainTimer(*j.g);
        EXPECT_EQ(j.g->netTimeoutCount, n);
    }
    const auto sent = j.own.Sent();
    ASSERT_EQ(sent.size(), 4u);
    for (int n = 1; n <= 3; ++n) EXPECT_EQ(DecodeMoveQz(sent[n - 1])->move.outcome, n);
    EXPECT_EQ(sent[3], EncodeSeatWord(Word::kJoinCancel, 2));
    // It leaves, and a battle against the computer begins.
    EXPECT_EQ((std::vector<int>{j.g->netConnected, j.own.closes, j.g->deployPhase}), (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(j.ui.status[3], Gb("超时次数太多！自动退出网战。"));
}

// Why a seat went to the computer, as the window is told.
struct Told : LanUi {
    void SeatTakenOver(const std::string& why) override { takenOver.push_back(why); }
    void ExplainLeaving(const std::string& why) override { explained.push_back(why); }
    std::vector<std::string> takenOver, explained;
};

// The host's player sits out his turns, the computer holding every other seat: his own clock sends his
// time-outs, or his window is frozen past the grace and the relay ends his turns, or past the disconnect time
// too. Once the relay gives seat 0 to its computer he is told why, as a joining side is, and stays in the
// battle; "祈求和平" and "缴械投降" are his no more on the seat's turns.
TEST(LanRounds, TheHostsPlayerIsToldHeLostHisSeat) {
    const std::string seatGone = std::string(11, ' ') + Gb("\n您的位置已由计算机接管。");
    const struct {
        const char* what;
        int late;   // seconds past his move time of the first tick on each of his turns
        int turns;  // his turns until the hand-over
        std::string box;
    } rows[] = {
        {"his own fourth time-out", 0, 4, Gb("超时次数太多！") + seatGone},
        {"frozen past the grace on four turns", kTurnGraceSeconds, 4, Gb("超时次数太多！") + seatGone},
        {"frozen past the disconnect time", 31, 1, Gb("轮到您走棋时太久没有动静！") + seatGone},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Host h;
        Told told;
        h.lan->SetUi(&told);
        GameState& g = *h.g;
        g.optionsRecord.netMoveTimeOption = 30, g.optionsRecord.netDisconnectTimeOption = 60;
        h.NewRound();
        ASSERT_TRUE(h.PlayBattle());
        for (int n = 1; n <= r.turns; ++n) {
            ASSERT_TRUE(h.PassTurnsUntil(0));
            TickMainTimer(g);
            EXPECT_TRUE(h.ui.giveUpEnabled);
            const int steps = g.stepCount;
            h.ui.clock.seconds = h.copy().turnStarted.seconds + 30 + r.late;
            for (int i = 0; i < 4; ++i) TickMainTimer(g), h.Carry();
            EXPECT_EQ(g.stepCount, n < r.turns ? steps + 1 : steps);
        }
        EXPECT_EQ(h.relay().Seat(0).state, 2);
        EXPECT_EQ(std::tuple(g.seatTable[0].state, h.ui.labels[0], h.ui.status[3]),
                  std::tuple(2, Gb("计算机"), Gb("您的位置已由计算机接管。")));
        EXPECT_EQ(told.takenOver, std::vector<std::string>{r.box});
        EXPECT_TRUE(told.explained.empty());
        EXPECT_EQ(std::tuple(g.netConnected, g.battleRunning, g.curSeat), std::tuple(1, 1, 0));
        EXPECT_FALSE(h.ui.giveUpEnabled);
        h.lan->SetUi(nullptr);
    }
}

// A window at seat 2, joined in its own turn, keeps the give-up (or peace) box open across its time and the grace;
// silent for longer than the disconnect time, its seat goes to the computer and the host closes its connection,
// and then the player confirms. Nothing goes, and he is told the real reason once, never that the host has gone.
TEST(LanRounds, AWindowHandedOverBehindItsBoxIsToldWhyOnce) {
    for (void (*box)(GameState&) : {GiveUp, OfferPeace}) {
        SCOPED_TRACE(box == GiveUp ? "give-up" : "peace");
        Host h;
        Game w;
        Told told;
        w.lan->SetUi(&told);
        h.g->optionsRecord.netMoveTimeOption = 30, h.g->optionsRecord.netDisconnectTimeOption = 20;
        h.NewRound();
        h.Join(1);
        ASSERT_TRUE(h.PlayBattle());
        ASSERT_TRUE(h.PassTurnsUntil(2));
        h.WindowAt(w, 2);
        h.TickBoth();
        ASSERT_EQ(std::pair(w.g->battleRunning, w.g->curSeat), std::pair(1, 0));
        const int64_t joined = h.ui.clock.seconds;
        bool asked = false;
        w.ui.onMessage = [&] {  // the question is up for 40 s, the main timers ticking
            if (std::exchange(asked, true)) return;
            for (int t = 1; t <= 40; ++t) h.ui.clock.seconds = joined + t, h.TickBoth();
        };
        box(*w.g);
        ASSERT_TRUE(h.links.closed.count(3));
        for (int i = 0; i < 3; ++i) h.TickBoth();
        EXPECT_EQ(std::count(w.ui.messages.begin(), w.ui.messages.end(), HostGoneText()), 0);
        EXPECT_EQ(told.explained, std::vector<std::string>{HandOverText(kLeaveSilentTurn)});
        EXPECT_EQ(std::tuple(w.g->netConnected, w.ui.status[3]), std::tuple(0, AbortReasonText(kLeaveSilentTurn)));
        EXPECT_EQ(h.relay().Seat(2).state, 0);
    }
}

// A window joins seat 2 12 s into a phase (move time 30, deploy time 40; seat 1 is a remote player's). Every
// window shows the deadline the host keeps, or none: in seat 1's turn the joiner cannot know when it began on the
// host, and shows none until the next step; in its own seat's turn both count its whole time from the join; in
// the deployment the joiner has the whole deploy time, which the host's window shows once its own seat has
// deployed (before the join or after it), while still deploying it keeps its own.
TEST(LanRounds, EveryWindowShowsTheHostsDeadlineOrNone) {
    enum { kNotYet, kBefore, kAfter };  // when the host's seat deploys
    const struct {
        const char* what;
        int toMove;  // in the battle, the seat to move as it joins; -1: the deployment
        int hostDeploys;
        std::pair<std::string, std::string> shown;  // on the host's window, on the joiner's
    } rows[] = {
        {"seat 1's turn", 1, kNotYet, {"18", "--"}},
        {"its own seat's turn", 2, kNotYet, {"30", "30"}},
        {"the deployment, the host's seat deploying", -1, kNotYet, {"28", "40"}},
        {"the deployment, the host's seat deployed", -1, kBefore, {"40", "40"}},
        {"the deployment, the host's seat deployed after the join", -1, kAfter, {"40", "40"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Host h;
        Game w;
        GameState& g = *h.g;
        g.optionsRecord.netMoveTimeOption = 30, g.optionsRecord.netDeployTimeOption = 40;
        h.NewRound();
        h.Join(1);
        if (r.toMove >= 0) {
            ASSERT_TRUE(h.PlayBattle());
            ASSERT_TRUE(h.PassTurnsUntil(r.toMove));
        } else {
            g.netState = kNetWaiting;
            HostStartsBattle(g);
            ASSERT_TRUE(h.TickUntil([&] { return g.netState == kNetDeploying; }));
        }
        bool finished = false;
        const auto hostDeploys = [&] {
            return h.TickUntil([&] { return finished = finished || FinishOwnDeployment(g); }) &&
                   h.TickUntil([&] { return g.netState == kNetOwnDeploySent; });
        };
        if (r.hostDeploys == kBefore) {
            ASSERT_TRUE(hostDeploys());
        }
        h.ui.clock.seconds = g.turnStarted.seconds + 12;
        h.WindowAt(w, 2);
        for (int i = 0; i < 3; ++i) h.TickBoth();
        if (r.hostDeploys == kAfter) {
            ASSERT_TRUE(hostDeploys());
            h.TickBoth();
        }
        ASSERT_EQ(w.g->netState, r.toMove >= 0 ? kNetBattle : kNetDeploying);
        EXPECT_EQ(std::pair(h.ui.timeRemaining, w.ui.timeRemaining), r.shown);
        if (r.toMove != 1) continue;
        // Seat 1 moves: the next turn's deadline is the same on both.
        h.Remote(1, EncodeMoveQz(*test::QuietMove(h.copy(), 0)));
        for (int i = 0; i < 3; ++i) h.TickBoth();
        ASSERT_EQ(w.g->stepCount, g.stepCount);
        EXPECT_EQ(std::pair(h.ui.timeRemaining, w.ui.timeRemaining), std::pair(std::string("30"), std::string("30")));
    }
}

// The side at seat 2 sends a move for `seat` (absolute) while local seat `toMove` is to move. It goes out only
// for the seat to move in a running battle; otherwise nothing is sent and the side's turn stays as it was.
TEST(LanRounds, AMoveGoesOutOnlyForTheSeatToMoveInARunningBattle) {
    const struct {
        const char* what;
        int running, state, toMove, seat;
        bool sent;
    } rows[] = {
        {"its own turn", 1, kNetBattle, 0, 2, true},
        {"the turn of the seat it names", 1, kNetBattle, 1, 3, true},
        {"another seat's turn", 1, kNetBattle, 1, 2, false},
        {"named for a seat not to move", 1, kNetBattle, 0, 3, false},
        {"the battle has ended", 0, kNetBattle, 0, 2, false},
        {"back in the waiting room", 1, kNetWaiting, 0, 2, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        Joined j;
        test::LayOutBattle(*j.g);
        j.g->battleRunning = row.running, j.g->netState = row.state, j.g->curSeat = row.toMove, j.g->netMyTurn = 1;
        j.g->netMoveRecord = MoveCand{kNoPiece, kNoPiece, kSurrenderCoord, kSurrenderCoord, kSurrenderCoord,
                                      kSurrenderCoord, 0};
        SendNetMessage(*j.g, "MoveQz", row.seat);
        const auto sent = j.own.Sent();
        ASSERT_EQ(sent.size(), row.sent ? 1u : 0u);
        if (row.sent) { EXPECT_EQ(DecodeMoveQz(sent[0])->seat, row.seat); }
        EXPECT_EQ(j.g->netMyTurn, row.sent ? 0 : 1);
    }
}

TEST(LanRounds, TheChatLineIsCutAt250Bytes) {
    Joined j;
    // Byte 250 falls inside a two-byte character.
    const std::string line = std::string(249, 'a') + Gb("中文") + std::string(40, 'b');
    SendChatLine(*j.g, line);
    const auto sent = j.own.Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(DecodeChat(sent[0])->text, line.substr(0, 250));
}

// The host's battle ends while a seat's queue still holds what was sent to it; while the result waits for the
// queues, the player stops hosting ("人机对奕" or "联网对战" answered): the wait ends, with nothing left to call.
TEST(LanRounds, HostingStoppedWhileTheResultWaitsForTheQueues) {
    Host h;
    h.Join(1);
    h.links.takeAtMostOf[2] = 0;
    h.Remote(1, EncodeChat(ChatBody{1, "bye"}));
    ASSERT_TRUE(ServerOutboxPending(*h.g));
    h.ui.onPump = [&h] { h.lan->StartHosting(nullptr); };
    EXPECT_TRUE(DrainServerQueues(*h.g));
    EXPECT_EQ(h.lan->relay(), nullptr);
}

}  // namespace
}  // namespace jq::net
