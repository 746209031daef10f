// A side's own turn in a LAN battle, on the model without sockets: one move per step whatever else arrives,
// nothing once the rules have ended the battle, its own clock counted from the start of the turn, and other
// sides' text shown without control bytes. What the host would relay is handed to the side as bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "ai/workspace.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "net/side/ownmove.h"
#include "play/peace.h"
#include "play/turnloop.h"
#include "support/lan_fakes.h"
#include "support/recording_ui.h"
#include "support/scene.h"
#include "view/rotation.h"

namespace jq::net {
namespace {

class ShownLines : public LanUi {
public:
    void ChatLine(int, const std::string& line) override { lines.push_back(line); }
    void AskPeace(int, const std::string& question) override { lines.push_back(question); }
    void ExplainLeaving(const std::string& why) override { explained.push_back(why); }
    void Notice(const std::string& text) override { notices.push_back(text); }
    std::vector<std::string> lines;
    std::vector<std::string> explained;
    std::vector<std::string> notices;
};

// Absolute seat `seat` of a running battle, every army on the board, absolute seat `first` to move.
struct Side {
    Side(int seat, int first) {
        g->ui = &ui, g->lan = lan.get(), g->appFolder = "/nonexistent-jq-folder/";
        lan->SetUi(&shown);
        lan->AttachClient(&link);
        test::LayOutBattle(*g, test::kArmy, LocalSeat(first, seat));
        g->netConnected = 1, g->myNetSeat = seat, g->isNetHost = seat == 0 ? 1 : 0, g->practiceMode = 1;
        g->netState = kNetBattle, g->netMyTurn = 1, g->netMoveTime = 60, g->netDisconnectTime = 300;
        g->optionsRecord.aiLevel = 0;
        for (int s = 0; s < kSeats; ++s) PutBoundedText(g->seatTable[s].name, 32, "p" + std::to_string(s));
        g->seatTable[seat].state = 1;
        g->lastActivity = g->turnStarted = ui.clock;
    }
    void Relayed(const Packet& p) { lan->ClientReceived(p.data(), p.size()); }
    // The tick as junqi-lan runs it: the main timer, then the own computer's move.
    void Tick() {
        TickMainTimer(*g);
        SendOwnComputerMove(*g, *work);
    }
    std::vector<Packet> Moves() const {
        std::vector<Packet> v = link.Sent();
        v.erase(std::remove_if(v.begin(), v.end(),
                               [](const Packet& p) { return PacketWord(p) != Word::kMoveQz; }),
                v.end());
        return v;
    }

    std::unique_ptr<GameState> g = std::make_unique<GameState>();
    test::RecordingUi ui;
    ShownLines shown;
    std::unique_ptr<LanSession> lan = std::make_unique<LanSession>(*g);
    testing::FakeClientLink link;
    std::unique_ptr<AiWorkspace> work = std::make_unique<AiWorkspace>();
};

Packet GiveUpOf(int seat) {
    MoveCand m;
    m.fromX = m.fromY = m.toX = m.toY = kSurrenderCoord;
    return EncodeMoveQz(MoveQzBody{m, seat});
}

Packet JoinOf(int seat, const std::string& name) {
    SeatRec r;
    PutBoundedText(r.name, 32, name);
    r.seat = seat, r.state = 1;
    return EncodeJoin(r);
}

// What the window's board sends for a move the player made (it has checked the move, not the turn).
void MoveFromTheBoard(Side& s) {
    s.g->netMoveRecord = MoveCand{};
    s.g->netMoveRecord.mover = 0;
    SendNetMessage(*s.g, "MoveQz", s.g->myNetSeat);
}

// The own seat's move is on its way to the host when something else arrives; nothing the side does before
// its move comes back sends a second one, on the host (seat 0) or a joining side (seat 2).
TEST(LanTurns, OneMovePerStepWhateverArrivesMeanwhile) {
    const struct {
        const char* what;
        Packet packet;
    } arrivals[] = {
        {"a chat line", EncodeChat(ChatBody{1, "hello"})},
        {"a Join for a free seat", JoinOf(3, "late")},
        {"a JoinCancel", EncodeSeatWord(Word::kJoinCancel, 3)},
        {"another seat's move, dropped", GiveUpOf(1)},
        {"a refused peace", EncodeSeatWord(Word::kPeaceFinalAbort, 0)},
    };
    for (const int seat : {0, 2}) {
        for (const auto& a : arrivals) {
            SCOPED_TRACE(std::string(a.what) + ", seat " + std::to_string(seat));
            Side s(seat, seat);
            ASSERT_TRUE(SendOwnComputerMove(*s.g, *s.work));
            s.Relayed(a.packet);
            TickMainTimer(*s.g);
            EXPECT_FALSE(SendOwnComputerMove(*s.g, *s.work));
            s.ui.clock.seconds += 61;  // its move time has run out meanwhile
            s.Tick();
            GiveUp(*s.g);
            MoveFromTheBoard(s);
            ASSERT_EQ(s.Moves().size(), 1u);
            EXPECT_EQ(s.g->netTimeoutCount, 0);
            // Its move comes back: the next seat is to move, and the side's next turn may send again.
            s.Relayed(s.Moves()[0]);
            s.Tick();
            EXPECT_EQ(std::pair(s.g->stepCount, s.g->netMyTurn), std::pair(1, 1));
            EXPECT_NE(s.g->curSeat, 0);
        }
    }
}

// The host (seat 0) is next after a step that ends the battle: seat 3's give-up with its partner gone, or a
// draw the host announces. The tick applies the step after it has tested for the end, so the battle is
// still running when the side's own move would be chosen: nothing goes out, by any path, and the next tick
// books the result.
TEST(LanTurns, NothingIsSentAfterTheStepThatEndsTheBattle) {
    const struct {
        const char* what;
        int toMove;  // absolute
        Packet ending;
        int result;
    } endings[] = {
        {"seat 3 gives up, seat 1 gone", 3, GiveUpOf(3), kBattleWon},
        {"the step limit", 0, EncodeBare(Word::kMaxStepLimited), kBattleDraw},
        {"peace agreed", 0, EncodeSeatWord(Word::kPeaceFinalOk, 0), kBattleDraw},
    };
    const struct {
        const char* what;
        std::function<void(Side&)> send;
    } senders[] = {
        {"the computer's choice", [](Side& s) { SendOwnComputerMove(*s.g, *s.work); }},
        {"a give-up", [](Side& s) { GiveUp(*s.g); }},
        {"a move from the board", MoveFromTheBoard},
    };
    for (const auto& e : endings) {
        for (const auto& send : senders) {
            SCOPED_TRACE(std::string(e.what) + ", " + send.what);
            Side s(0, e.toMove);
            s.g->stepCount = 4;
            for (int i = 25; i < 50; ++i) s.g->pieces[i].alive = 0;
            s.Relayed(e.ending);
            TickMainTimer(*s.g);
            ASSERT_EQ(std::pair(s.g->battleRunning, s.g->curSeat), std::pair(1, 0));
            send.send(s);
            TickMainTimer(*s.g);
            EXPECT_TRUE(s.Moves().empty());
            EXPECT_EQ(s.ui.results, std::vector<int>{e.result});
        }
    }
}

// The battle starts at 0 s (the deployment began 100 s before), seat 1 to move. Seat 1 thinks; seat 2 writes
// a chat line every 20 s, which restarts every lastActivity. Seat 1's clock shows and acts on the turn's own
// time: its time-out goes out as the 60 s run out, and the host, which applies it as relayed, still has
// seat 1 in a person's hands at 91 s (move time plus disconnect time).
TEST(LanTurns, AChattyBattleLeavesTheThinkingPlayerHisTime) {
    Side host(0, 1), thinking(1, 1);
    host.g->seatTable[1].state = 1;
    for (Side* s : {&host, &thinking}) {
        for (SeatRec& r : s->g->seatTable) r.deployed = 2;
        s->g->battleRunning = 0, s->g->netState = kNetOwnDeploySent, s->g->turnStarted.seconds = -100;
        s->Relayed(EncodeAllSwitchEnd(AllSwitchEndBody{1, 1, 60, 40, 30}));
        TickMainTimer(*s->g);
        TickMainTimer(*s->g);
        ASSERT_EQ(std::pair(s->g->battleRunning, s->g->netState), std::pair(1, int(kNetBattle)));
    }
    int timeoutAt = -1;
    for (int t = 1; t <= 95; ++t) {
        for (Side* s : {&host, &thinking}) {
            s->ui.clock.seconds = t;
            if (t % 20 == 0) s->Relayed(EncodeChat(ChatBody{2, "still here?"}));
            TickMainTimer(*s->g);
        }
        if (t == 50) {
            EXPECT_EQ(thinking.ui.timeRemaining, "10");
        }
        for (const Packet& p : thinking.link.Sent()) host.Relayed(p), thinking.Relayed(p);
        if (timeoutAt < 0 && !thinking.link.written.empty()) timeoutAt = t;
        thinking.link.written.clear();
        if (t == 91) {
            EXPECT_EQ(host.g->seatTable[1].state, 1);
        }
    }
    EXPECT_EQ(timeoutAt, 60);
    EXPECT_EQ(thinking.g->netTimeoutCount, 1);
    EXPECT_EQ(host.link.Sent().size(), 0u);  // no JoinCancel for seat 1
    EXPECT_EQ(host.g->stepCount, 1);
}

// A side that takes a running battle from "JoinLast" long after the turn began there has the seat's whole move
// time from its join (60 s), as the host gives it. Another side, where seat 1's turn began 1000 s before, counts
// the seat's time again from seat 1's "Join" (not from another seat's): both show the same deadline.
TEST(LanTurns, ARejoiningSideCountsItsTurnFromTheJoin) {
    Side s(1, 1), other(2, 1);
    JoinLastBody b;
    for (int i = 0; i < kPieceCount; ++i) {
        b.x[i] = static_cast<int8_t>(s.g->pieces[i].x), b.y[i] = static_cast<int8_t>(s.g->pieces[i].y);
        b.code[i] = static_cast<int8_t>(s.g->pieces[i].code), b.alive[i] = 1;
    }
    b.seats[1].state = 1, b.curSeat = 1, b.netState = kNetBattle, b.moveTime = 60, b.disconnectTime = 300;
    s.g->battleRunning = 0, s.g->netState = kNetJoinSent, s.g->netMyTurn = 0;
    other.ui.clock.seconds = 990;
    other.Relayed(JoinOf(3, "p3"));
    // The tick that applies a join draws the clock before it: the next one shows what the join did.
    for (int i = 0; i < 2; ++i) TickMainTimer(*other.g);
    EXPECT_EQ(other.ui.timeRemaining, "0");
    s.ui.clock.seconds = other.ui.clock.seconds = 1000;
    s.Relayed(EncodeJoinLast(b));
    other.Relayed(JoinOf(1, "late"));
    for (Side* t : {&s, &other}) TickMainTimer(*t->g);
    ASSERT_EQ(std::tuple(s.g->battleRunning, s.g->curSeat, s.g->netMyTurn), std::tuple(1, 0, 1));
    for (Side* t : {&s, &other}) {
        TickMainTimer(*t->g);
        EXPECT_EQ(t->ui.timeRemaining, "60");
        t->ui.clock.seconds = 1059;
        TickMainTimer(*t->g);
        EXPECT_EQ(t->ui.timeRemaining, "1");
    }
    EXPECT_TRUE(s.Moves().empty());
    s.ui.clock.seconds = 1060;
    TickMainTimer(*s.g);
    ASSERT_EQ(s.Moves().size(), 1u);
    EXPECT_EQ(DecodeMoveQz(s.Moves()[0])->move.fromX, kTimeoutCoord);

    // Joining a deployment under way, 30 s into its 40: the whole 40 s to deploy, shown from the join; a side
    // that has deployed shows it too, from the "Join", while one still deploying keeps its own 10 s.
    Side d(1, 1), deployed(2, 1), deploying(3, 1);
    b.netState = kNetDeployBegins, b.deployTime = 40;
    d.g->battleRunning = 0, d.g->netState = kNetJoinSent;
    for (Side* t : {&deployed, &deploying}) {
        t->g->battleRunning = 0, t->g->netDeployTime = 40, t->g->turnStarted.seconds = 1970;
        t->g->netState = t == &deployed ? kNetOwnDeploySent : kNetDeploying;
        t->ui.clock.seconds = 2000;
        t->Relayed(JoinOf(1, "late"));
    }
    d.ui.clock.seconds = 2000;
    d.Relayed(EncodeJoinLast(b));
    for (int i = 0; i < 2; ++i)
        for (Side* t : {&d, &deployed, &deploying}) TickMainTimer(*t->g);
    ASSERT_EQ(std::pair(d.g->netState, d.g->deployPhase), std::pair(int{kNetDeploying}, 1));
    EXPECT_EQ(std::tuple(d.ui.timeRemaining, deployed.ui.timeRemaining, deploying.ui.timeRemaining),
              std::tuple("40", "40", "10"));
    d.ui.clock.seconds = 2040;
    TickMainTimer(*d.g);
    EXPECT_EQ(d.ui.timeRemaining, "0");
}

Packet TimeoutOf(int seat, int count) {
    MoveCand m;
    MakeTimeoutMove(m, count);
    return EncodeMoveQz(MoveQzBody{m, seat});
}

// The host's answer to a refused move: the battle as the side has it, one step made (seat 1's time-out), the
// side's seat 2 to move.
Packet AnswerInTheTurn(const Side& s) {
    JoinLastBody b;
    for (int i = 0; i < kPieceCount; ++i) {
        const int j = (kPiecesPerSeat * 2 + i) % kPieceCount;  // the host's view of local piece i
        const GridPoint p = TurnGridPoint(GridPoint{s.g->pieces[i].x, s.g->pieces[i].y}, -2);
        b.x[j] = static_cast<int8_t>(p.x), b.y[j] = static_cast<int8_t>(p.y);
        b.code[j] = static_cast<int8_t>(s.g->pieces[i].code), b.alive[j] = 1;
    }
    b.steps = {StepRec{kNoPiece, kNoPiece, kTimeoutCoord, kTimeoutCoord, kTimeoutCoord, kTimeoutCoord, 1}};
    for (int k = 0; k < kSeats; ++k) b.seats[k] = s.g->seatTable[k];
    b.curSeat = 2, b.netState = kNetBattle, b.moveTime = 60, b.deployTime = 40, b.disconnectTime = 300;
    return EncodeJoinLast(b);
}

// Seat 2's turn begins at 0 s, when seat 1's time-out reaches it; its move time is 60 s. Nothing that comes or
// waits in the turn gives it time: not a chat line, a peace question and its refusal, or the host's answer to
// a refused move 20 s in; nor the peace question its player kept open from before the turn until 20 s in,
// behind which the step that began the turn waited unapplied. The clock shows what the host allows, and the
// own time-out goes out as the 60 s run out, not 60 s after the step was applied.
TEST(LanTurns, NothingInTheTurnRestartsTheOwnClock) {
    const struct {
        const char* what;
        std::function<void(Side&)> at20;  // the turn has begun at 0 and been applied, unless said
        bool stepWaitsBehindTheBox;
    } rows[] = {
        {"a chat line", [](Side& s) { s.Relayed(EncodeChat(ChatBody{1, "hurry"})); }, false},
        {"a peace question, refused",
         [](Side& s) {
             s.Relayed(EncodeSeatWord(Word::kPeaceRequest, 0));
             s.Relayed(EncodeSeatWord(Word::kPeaceFinalAbort, 0));
         },
         false},
        {"the host's answer to a refused move", [](Side& s) { s.Relayed(AnswerInTheTurn(s)); }, false},
        {"its own peace question, open since before the turn", nullptr, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Side s(2, 1);
        s.ui.clock.seconds = -5;
        if (r.stepWaitsBehindTheBox) {
            // The box is up from -5 s to 20 s; the main timer ticks inside it.
            s.ui.answers = {0};
            s.ui.onMessage = [&s] {
                s.ui.onMessage = nullptr;
                s.ui.clock.seconds = 0;
                s.Relayed(TimeoutOf(1, 1));
                for (int t = 0; t <= 20; ++t) s.ui.clock.seconds = t, TickMainTimer(*s.g);
                ASSERT_EQ(s.g->stepCount, 0);  // not applied while the box is up
            };
            OfferPeace(*s.g);
        } else {
            s.ui.clock.seconds = 0;
            s.Relayed(TimeoutOf(1, 1));
            TickMainTimer(*s.g);
            s.ui.clock.seconds = 20;
            r.at20(s);
        }
        for (int i = 0; i < 4; ++i) TickMainTimer(*s.g);
        ASSERT_EQ(std::tuple(s.g->stepCount, s.g->curSeat, s.g->netMyTurn), std::tuple(1, 0, 1));
        EXPECT_EQ(s.ui.timeRemaining, "40");
        s.ui.clock.seconds = 50;
        TickMainTimer(*s.g);
        EXPECT_EQ(s.ui.timeRemaining, "10");
        s.ui.clock.seconds = 59, s.ui.clock.millis = 999;
        TickMainTimer(*s.g);
        EXPECT_TRUE(s.Moves().empty());
        s.ui.clock.seconds = 60, s.ui.clock.millis = 0;
        TickMainTimer(*s.g);
        ASSERT_EQ(s.Moves().size(), 1u);
        EXPECT_EQ(DecodeMoveQz(s.Moves()[0])->move.fromX, kTimeoutCoord);
    }
}

// The player presses "缴械投降" (or "祈求和平") with 5 s on his clock and confirms it: with time still on the
// clock it goes out; once the clock has run out while the box was up it does not, and the status line says
// so, and the bulletin too, where the turn's time-out, taking the status line next, leaves it. Inside the
// grace the own time-out goes instead; after it the host has ended the turn itself, and nothing goes: its
// time-out, when it comes, is the turn's. A move from the board after the time is not sent either.
TEST(LanTurns, OnlyWhatIsConfirmedInTimeIsSent) {
    const std::string tooLate = Gb("走棋时间已到，此步没有发出！");
    const struct {
        const char* what;
        void (*box)(GameState&);
        int confirmedAt;
        std::vector<int> sent;  // fromX of the moves sent
        std::string status;
    } rows[] = {
        {"a give-up with a second left", GiveUp, 59, {kSurrenderCoord}, ""},
        {"a give-up inside the grace", GiveUp, 61, {kTimeoutCoord}, tooLate},
        {"a give-up after the grace", GiveUp, 63, {}, tooLate},
        {"a peace request after the grace", OfferPeace, 64, {}, Gb("走棋时间已到，和棋请求没有发出！")},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Side s(2, 2);
        s.ui.clock.seconds = 55;
        s.ui.onMessage = [&s, &r] {
            for (int t = 55; t <= r.confirmedAt; ++t) s.ui.clock.seconds = t, TickMainTimer(*s.g);
        };
        r.box(*s.g);
        EXPECT_EQ(s.ui.status[3], r.status);
        MoveFromTheBoard(s);
        s.ui.onMessage = nullptr;
        TickMainTimer(*s.g);
        std::vector<int> sent;
        for (const Packet& p : s.Moves()) sent.push_back(DecodeMoveQz(p)->move.fromX);
        EXPECT_EQ(sent, r.sent);
        EXPECT_EQ(s.link.Sent().size(), r.sent.size());  // no peace request either
        EXPECT_EQ(s.g->netPeaceRequestCount, 0);
        if (!r.sent.empty()) continue;
        s.Relayed(TimeoutOf(2, 1));
        TickMainTimer(*s.g);
        EXPECT_EQ(std::pair(s.g->stepCount, s.g->netTimeoutCount), std::pair(1, 1));
        EXPECT_NE(s.ui.status[3], r.status);
        EXPECT_EQ(s.shown.notices, (std::vector<std::string>{r.status, tooLate}));  // the box's, the board's
    }
}

// The host has closed the connection while the own seat is to move, its time run out: the side neither
// counts time-outs that cannot go out nor shows a box for each; once what the host sent before the close is
// applied, it leaves the battle and says why once (not after the silence rule's 1.2 disconnect times).
TEST(LanTurns, NoTimeOutsTowardsAHostThatHasGone) {
    for (const bool person : {true, false}) {
        SCOPED_TRACE(person ? "a person's seat" : "a seat without moves, the computer's");
        Side s(2, 2);
        s.g->netDisconnectTime = 100;
        if (!person) {
            s.g->seatTable[2].state = 0;
            for (int i = 0; i < kPiecesPerSeat; ++i) s.g->pieces[i].alive = i == 21 ? 1 : 0;  // its flag only
        }
        s.Relayed(EncodeSeatWord(Word::kPeaceFinalAbort, 0));
        s.link.connected = false;
        s.ui.clock.seconds = 61;
        TickMainTimer(*s.g);
        EXPECT_EQ(std::tuple(s.g->netConnected, s.ui.status[3]), std::tuple(1, Gb("有人不同意和棋,战争还得继续!")));
        for (int t = 62; t <= 64; ++t) {
            s.ui.clock.seconds = t;
            TickMainTimer(*s.g);
        }
        EXPECT_EQ(std::tuple(s.g->netTimeoutCount, s.g->netConnected,
                             std::count(s.ui.messages.begin(), s.ui.messages.end(), HostGoneText())),
                  std::tuple(0, 0, 0));
        EXPECT_EQ(s.ui.status[3], Gb("服务器停止响应！退出网战。"));
        EXPECT_EQ(s.shown.explained, std::vector<std::string>{HostGoneText()});
    }
}

// Names and chat lines come from other sides: what reaches a seat label, the bulletin or the peace question
// holds no control byte, and GB2312 text passes as it is.
TEST(LanTurns, ControlBytesFromOtherSidesAreNotShown) {
    const std::string gb = Gb("红方");
    const struct {
        const char* what;
        std::string text, shown;
    } texts[] = {
        {"line breaks", "a\nresult: won steps 1\r\n", "a result: won steps 1  "},
        {"an escape sequence and a bell", "\x1b[2J\a", "?[2J?"},
        {"tab, DEL and other C0 bytes", "\t\x7f\x01\x1f", " ???"},
        {"GB2312 and plain text", gb + " ok~", gb + " ok~"},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(t.what);
        Side s(2, 0);
        s.Relayed(JoinOf(3, t.text.substr(0, 31)));
        s.Relayed(EncodeChat(ChatBody{3, t.text}));
        s.Relayed(EncodeSeatWord(Word::kPeaceRequest, 3));
        for (int i = 0; i < 3; ++i) TickMainTimer(*s.g);
        const std::string name = t.shown.substr(0, 31);
        EXPECT_EQ(s.ui.labels[1], name);
        ASSERT_EQ(s.shown.lines.size(), 2u);
        EXPECT_EQ(s.shown.lines[0], name + Gb("：") + t.shown);
        EXPECT_EQ(s.shown.lines[1].substr(0, name.size()), name);
        EXPECT_EQ(BoundedText(s.g->seatTable[3].name, 32), t.text.substr(0, 31));  // the record stays as sent
        // The labels are laid out again for the next deployment.
        s.ui.labels[1].clear();
        StartNetDeployment(*s.g);
        const std::string& label = s.ui.labels[1];  // blanks at its ends trimmed
        EXPECT_TRUE(!label.empty() && name.find(label) != std::string::npos) << label;
    }
}

}  // namespace
}  // namespace jq::net
