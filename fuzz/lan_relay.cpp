// The host's relay against sides that send anything in any order. The input
// is a script: each step picks a connection (the host's own, the three
// remote players, a stranger) and what it does: join, deploy, move (mostly a
// legal move of its seat, chosen from the position as relayed so far, or one
// spoiled in some way), give up, time out, ask or answer for peace, chat,
// leave, close, send raw bytes; or the host's player starts, deploys, lets
// time pass, changes the move time; or a chain of fresh connections comes
// and goes, each taking a seat, saying its lines (perhaps reading nothing)
// and leaving after a few milliseconds; or time passes in the host's ticks.
// A remote player whose connection is gone joins again on a new connection,
// so the connection ids only grow, and the addresses are hundreds. The
// host's own side runs its main timer on the packets it gets back, and its
// computer plays the seats it holds. The connections may be paced, as the
// sockets pace them: after each packet a connection takes nothing for a few
// ticks of the host (no longer than as many ticks of 32 ms take), the host's
// own connection, which its own client reads as the packets come, for the
// sockets' 50 ms of the host's clock (several gaps in a long tick). And
// what the host's own side sends (its deployments and moves for the
// computer's seats included) may be held on its way while others join
// and leave.
//
// What every connection receives is applied by a side that does exactly
// what the protocol says (tests/support/literal_side.h). Whatever the sides
// send, every relayed move must be one such a side can apply: a battle
// running, the seat to move, a legal move with the outcome the pieces give;
// peace only in a battle; and at the end every seated side stands where the
// host's own copy of the battle stands and knows who holds each seat as the
// relay does. A chat line its sender sent within his share (fewer lines of
// his waiting than the host keeps) reaches the host's own side, in his
// order, unless he lost his seat meanwhile. No seat's turn, the computer's
// included, outlasts twice its time and the grace (the deployment: twice
// the deploy time and the grace, counted once the host's player has
// deployed), whatever comes and goes meanwhile, and a turn whose seat a
// person held when it began outlasts its time and the grace by nobody's
// leaving and joining again, with a slack of a few of the host's ticks:
// checked on every tick while the host's own side's words flow. And at the
// end nobody waits for nobody: with the host's player ending his
// deployment, the deployment ends and each turn passes within twice its
// time and the grace.
#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../tests/support/fake_computer.h"
#include "../tests/support/host_moves.h"
#include "../tests/support/lan_fakes.h"
#include "../tests/support/literal_side.h"
#include "core/board.h"
#include "core/combat.h"
#include "core/pathfind.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "net/host/chatshare.h"
#include "net/host/relay.h"
#include "play/turnloop.h"

namespace {

using namespace jq;
using jq::testing::LiteralSide;

void Check(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "lan_relay: %s\n", what);
    std::abort();
}

class ClockUi : public NullUi {
public:
    ClockStamp Now() override { return clock; }
    ClockStamp clock{1000, 0, 0, 0};
};

class Links : public net::ServerLinks {
public:
    bool Listening() const override { return true; }
    size_t Write(net::ConnId id, const uint8_t* data, size_t size) override {
        if (!Ready(id)) return 0;
        written[id].insert(written[id].end(), data, data + size);
        if (paced && size > 0) {
            inGap.insert(id);
            if (id == own) ownGapFromMs = StampMs(clock->clock);
        }
        return size;
    }
    bool Ready(net::ConnId id) override { return inGap.count(id) == 0 && deaf.count(id) == 0; }
    void Close(net::ConnId id) override { closed[id] = true; }
    void Stop() override {}
    std::map<net::ConnId, std::vector<uint8_t>> written;
    std::map<net::ConnId, bool> closed;
    // Paced: a connection that took a packet takes nothing until its gap
    // ends.
    bool paced = false;
    // The host's clock, the host's own connection, and when its gap began.
    const ClockUi* clock = nullptr;
    net::ConnId own = -1;
    int64_t ownGapFromMs = 0;
    std::set<net::ConnId> inGap;
    // Connections that read nothing.
    std::set<net::ConnId> deaf;
};

// The script.
class Script {
public:
    Script(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool More() const { return at_ < size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

constexpr int kOwnConn = 1;
// The script's remote connections: the players of seats 1 to 3 (2 to 4)
// and a stranger who asks for any seat (5).
constexpr int kStranger = 5;
// Addresses the remote connections come from (text only: nobody dials
// them).
constexpr int kAddresses = 600;
std::string AddressOf(int n) { return "127.1." + std::to_string(n / 250) + "." + std::to_string(n % 250 + 1); }
// The host's main timer ticks every 32 ms.
constexpr int64_t kTickMs = 32;
// The sockets' gap after each packet, where the reader takes it at once.
constexpr int64_t kOwnGapMs = 50;
// A turn may outlast its bound by this much and this many ticks of the
// host: a step's copies taken, the computer's formations one a tick.
constexpr int64_t kSlackMs = 2000;
constexpr int kSlackTicks = 16;
constexpr int kArmy[kPiecesPerSeat] = {8, 9, 10, 11, 12, 6, 7, 12, 10, 11, 9, 12, 7, 11, 10, 4, 2, 5, 2, 3, 8, 1, 2, 6, 3};

PieceTable TableOf(const testing::LiteralBoard& b) {
    PieceTable t{};
    for (int i = 0; i < kPieceCount; ++i) {
        const auto& p = b[static_cast<size_t>(i)];
        t[static_cast<size_t>(i)].x = p.x, t[static_cast<size_t>(i)].y = p.y;
        t[static_cast<size_t>(i)].code = p.code, t[static_cast<size_t>(i)].alive = p.alive;
    }
    return t;
}

bool Movable(const PieceTable& t, int piece) {
    const PieceRec& pc = t[static_cast<size_t>(piece)];
    if (pc.alive != 1 || pc.code == kFlag || pc.code == kMine || !IsValidCode(pc.code)) return false;
    const int p = PointIndexAt(Board(), pc.x, pc.y);
    return p >= 0 && Board().boardPoints[p].kind != kHeadquarters;
}

// Whether the move (absolute seats) can be made on the table.
bool Legal(PathWork& work, const PieceTable& t, int mover, int target, GridPoint a, GridPoint z) {
    if (!IsValidPiece(mover) || !Movable(t, mover)) return false;
    const PieceRec& m = t[static_cast<size_t>(mover)];
    if (m.x != a.x || m.y != a.y) return false;
    if (PointIndexAt(Board(), z.x, z.y) < 0) return false;
    if (PieceAtPoint(z.x, z.y, t) != (IsValidPiece(target) ? target : kNoPiece)) return false;
    PathBuffer path;
    return FindMovePath(work, mover, a.x, a.y, z.x, z.y, path, t, nullptr) > 0;
}

// Every relayed packet, before a literal side applies it: only what such a
// side can apply without parting from the battle.
void CheckRelayed(PathWork& work, const LiteralSide& side, const net::Packet& p) {
    const auto w = net::PacketWord(p);
    if (!w) return;
    if (*w == net::Word::kPeaceRequest || *w == net::Word::kPeaceFinalOk) Check(side.running(), "peace relayed outside a battle");
    // A deployment or a battle start again would put taken pieces back.
    if (*w == net::Word::kSwitchEnd || *w == net::Word::kAllSwitchEnd) Check(!side.running(), "a deployment relayed in a battle");
    if (*w != net::Word::kMoveQz) return;
    const auto b = net::DecodeMoveQz(p);
    if (!b) return;  // a side drops it whole
    Check(side.running(), "a move relayed outside a battle");
    Check(b->seat == side.seatToMove(), "a move relayed out of turn");
    const MoveCand& m = b->move;
    if (m.mover == kNoPiece) return;  // give-up or time-out of the seat to move
    const int s = b->seat;
    const int mover = m.mover + kPiecesPerSeat * s;
    const int target =
        m.target >= 0 ? ((m.target / kPiecesPerSeat + s) % kSeats) * kPiecesPerSeat + m.target % kPiecesPerSeat : kNoPiece;
    const GridPoint a = testing::LiteralForward({m.fromX, m.fromY}, s);
    const GridPoint z = testing::LiteralForward({m.toX, m.toY}, s);
    const PieceTable t = TableOf(side.board());
    Check(Legal(work, t, mover, target, a, z), "an illegal move relayed");
    const int outcome = IsValidPiece(target) ? ResolveCombatCodes(t[static_cast<size_t>(mover)].code,
                                                                  t[static_cast<size_t>(target)].code)
                                             : 1;
    Check(m.outcome == outcome, "a false outcome relayed");
}

// A connection's listener: checks and applies what the host sends it.
struct Listener {
    explicit Listener(int s) : side(s), seat(s) {}
    // `now`: the host's clock (seconds) when the bytes went out.
    // `turnStarts`: when each step's turn began on the host, by step count.
    void Feed(PathWork& work, const std::vector<uint8_t>& bytes, int64_t now,
              const std::map<int, int64_t>& turnStarts) {
        framer.Feed(bytes.data(), bytes.size());
        while (!side.refused()) {
            auto p = framer.Next();
            if (!p) break;
            CheckRelayed(work, side, *p);
            if (watchesTimes) CheckTimes(*p, now, turnStarts);
            if (net::PacketWord(*p) == net::Word::kChatMessage)
                if (auto c = net::DecodeChat(*p)) chats.push_back(c->text);
            const int steps = side.steps();
            const bool running = side.running();
            side.Apply(*p);
            if (side.steps() != steps || side.running() != running) turnFrom = now;
        }
    }
    // A time-out goes out only once the seat's move time has run out since
    // the turn began on the host (its own connection's copy may reach it
    // later, paced or held), at most three times for one player on a seat in
    // a battle: the count it carries, its player's, is 1 to 3. The battle's times are those of "AllSwitchEnd", and
    // every "JoinLast" of the battle carries the same. Only the host's own
    // connection, there from the start, hears every turn.
    void CheckTimes(const net::Packet& p, int32_t now, const std::map<int, int64_t>& turnStarts) {
        const auto w = net::PacketWord(p);
        if (w == net::Word::kAllSwitchEnd) {
            if (auto b = net::DecodeAllSwitchEnd(p)) {
                Check(net::TimeInRange(b->moveTime) && net::TimeInRange(b->deployTime) &&
                          net::TimeInRange(b->disconnectTime),
                      "battle times out of range");
                moveTime = b->moveTime;
            }
        } else if (w == net::Word::kJoinLast) {
            if (auto b = net::DecodeJoinLast(p); b && b->netState == net::kNetBattle)
                Check(b->moveTime == moveTime, "a battle's \"JoinLast\" with other times");
        } else if (w == net::Word::kMoveQz) {
            const auto b = net::DecodeMoveQz(p);
            if (!b || b->move.fromX != kTimeoutCoord) return;
            const auto start = turnStarts.find(side.steps());
            const int64_t from = start != turnStarts.end() ? start->second : turnFrom;
            Check(now - from >= moveTime, "a time-out relayed before the move time ran out");
            Check(b->move.outcome >= 1 && b->move.outcome <= net::kTimeoutsPassed,
                  "a time-out relayed beyond its player's third");
        }
    }
    net::PacketFramer framer;
    LiteralSide side;
    int seat;
    bool open = true;
    bool joined = false;
    bool watchesTimes = false;
    int32_t moveTime = 0, turnFrom = 0;
    std::vector<std::string> chats;
};

struct World {
    World() {
        links.clock = &ui, links.own = kOwnConn;
        host->ui = &ui, host->lan = lan.get(), host->netConnected = 1, host->isNetHost = 1;
        host->appFolder = "/nonexistent-jq-fuzz/";
        host->myNetName = "host";
        host->optionsRecord.netMinMoveIntervalOption = 0;
        // The host's computer moves at once for the seat to move, when it
        // may.
        computer.play = [this] {
            GameState& h = *host;
            const int seat = h.curSeat;
            const std::vector<MoveCand> moves = test::LegalMoves(h, false, seat);
            net::MoveQzBody b{MoveCand{}, seat};
            if (moves.empty())
                MakeGiveUpMove(b.move, 0);
            else
                b = test::InSenderView(moves.front(), seat);
            h.netMoveRecord = b.move;
            net::SendNetMessage(h, "MoveQz", seat);
        };
        host->computer = &computer;
        lan->AttachClient(&own);
        lan->StartHosting(&links);
        relay().Connected(kOwnConn, "127.0.0.1", 40001);
        relay().SetOwnConnection(kOwnConn);
        listeners.emplace(kOwnConn, Listener(0));
        listeners.at(kOwnConn).watchesTimes = true;
        for (int c = 2; c <= kStranger; ++c) slot[c] = Connect(AddressOf(c), c == kStranger ? 1 : c - 1);
        net::RejoinNetBattle(*host);
        Carry();
    }
    ~World() { host->computer = nullptr; }
    net::HostRelay& relay() { return *lan->relay(); }

    // A new connection, with the next id, and its listener.
    net::ConnId Connect(const std::string& address, int seat) {
        const net::ConnId id = nextId++;
        relay().Connected(id, address, 1024 + id % 60000);
        listeners.emplace(id, Listener(seat));
        addressOf[id] = address;
        return id;
    }
    // The connection the script's `conn` stands for now.
    net::ConnId Id(int conn) const { return conn == kOwnConn ? kOwnConn : slot[conn]; }
    // Whether the script's remote connection is gone (closed by its side
    // or by the host).
    bool Gone(int conn) {
        const net::ConnId id = Id(conn);
        return !listeners.at(id).open || links.closed.count(id) != 0;
    }
    // The script's remote connection is back on a new connection: from the
    // address it had, or from the next one.
    void Reconnect(int conn, int seat, bool sameAddress) {
        const std::string address = sameAddress ? addressOf[Id(conn)] : AddressOf(addressesUsed++ % kAddresses);
        slot[conn] = Connect(address, seat);
    }
    // Its side closes a remote connection.
    void Close(net::ConnId id) {
        Listener& l = listeners.at(id);
        if (id == kOwnConn || !l.open) return;
        l.open = false;
        relay().Closed(id);
        Carry();
    }
    // A closed connection of a chain is forgotten: nothing more goes to it.
    void Forget(net::ConnId id) {
        listeners.erase(id);
        addressOf.erase(id);
        links.written.erase(id);
        links.closed.erase(id);
        links.inGap.erase(id);
        links.deaf.erase(id);
    }

    // Bytes both ways until nothing moves (the host's own side's bytes stay
    // on their way while held).
    void Carry() {
        for (int pass = 0; pass < 4; ++pass) {
            bool moved = false;
            if (!own.written.empty() && !holdOwn) {
                std::vector<uint8_t> up;
                up.swap(own.written);
                relay().Received(kOwnConn, up.data(), up.size());
                moved = true;
            }
            NoteTurnStart();
            for (auto& [id, l] : listeners) {
                std::vector<uint8_t> down;
                down.swap(links.written[id]);
                if (down.empty()) continue;
                moved = true;
                l.Feed(work, down, ui.clock.seconds, turnStarts);
                if (id == kOwnConn) lan->ClientReceived(down.data(), down.size());
                // A refused side leaves.
                if (l.side.refused() && l.open) {
                    l.open = false;
                    relay().Closed(id);
                }
            }
            if (!moved) break;
        }
    }
    // When the turn at the host's copy's step began (whole seconds, down).
    void NoteTurnStart() {
        const GameState& copy = relay().Referee();
        turnStarts[copy.stepCount] = StampMs(copy.turnStarted) / 1000;
    }
    // One tick of the host's main timer (its turn loop, then its LAN pump);
    // every `gapTicks` ticks the paced connections' gaps end, and at the
    // latest once the host's clock has moved on as far as that many ticks of
    // kTickMs: the sockets pace in time, not in ticks, so a host whose ticks
    // come a quarter of a second apart does not make a gap last seconds.
    void Tick() {
        TickMainTimer(*host);
        const int64_t now = StampMs(ui.clock);
        if (gapTicks > 0 && (++ticks % gapTicks == 0 || now - gapsEndedMs >= gapTicks * kTickMs)) {
            EndGaps();
            gapsEndedMs = now;
        }
        // The host's own connection is read by the host's own client as its
        // packets come, so its gaps are the sockets' own: each ends
        // kOwnGapMs of the host's clock after its packet, on the sockets'
        // timer, as many in a tick as the tick's time holds.
        while (links.inGap.count(kOwnConn) != 0 && now - links.ownGapFromMs >= kOwnGapMs) {
            const int64_t next = links.ownGapFromMs + kOwnGapMs;
            links.inGap.erase(kOwnConn);
            relay().Writable(kOwnConn);
            if (links.inGap.count(kOwnConn) != 0) links.ownGapFromMs = next;
            Carry();
        }
        Carry();
        NoteSeats();
        WatchTurn();
    }
    // Time passes in ticks of the host's main timer (one at least), each
    // `tickMs` apart.
    void Pass(int64_t ms, int64_t tickMs = kTickMs) {
        do {
            const int64_t step = std::min(ms, tickMs);
            const int64_t at = StampMs(ui.clock) + step;
            ui.clock.seconds = at / 1000, ui.clock.millis = static_cast<uint16_t>(at % 1000);
            ms -= step;
            Tick();
        } while (ms > 0);
    }
    // A remote connection's seat, as it changes: each change begins a new
    // holding, whose waiting chat lines may go with it.
    void NoteSeats() {
        for (auto& [id, l] : listeners) {
            if (id == kOwnConn) continue;
            const int s = l.open ? relay().SeatOfConnection(id) : -1;
            if (s != seatNow[id]) seatNow[id] = s, ++holding[id];
        }
    }
    // Whether a side holding `table` knows the seats as the relay holds them.
    bool Knows(const SeatRec (&table)[kSeats], bool hostSide) {
        SeatRec truth[kSeats];
        for (int s = 0; s < kSeats; ++s) truth[s] = relay().Seat(s);
        return net::SeatTable::Knows(table, truth, hostSide, relay().Deploying());
    }
    // The round's deploy time: the host's option (the script changes only
    // the move time, which the battle on the host's copy runs with).
    int DeployTime() const { return SanitizedLanTimes(host->optionsRecord).deploy; }
    // The turn under way on the host's copy (the deployment, or a step of
    // the battle) ends within twice its time and the grace, counted while
    // it is bounded: the host's side in the match and its words flowing,
    // and in the deployment once the host's player (who has no deploy
    // time-out) has deployed; a jump of the clock (the host held up) starts
    // the count again. A turn whose seat a person held when the count began
    // ends within its time and the grace: nobody gets more by leaving and
    // joining again, on another connection or from another address. A turn
    // that has run over its bound and the slack in time still gets a few
    // ticks of the host, for what waited for a tick.
    void WatchTurn() {
        const int64_t now = StampMs(ui.clock);
        const GameState& copy = relay().Referee();
        const Turn turn{relay().Deploying(), copy.battleRunning != 0, copy.stepCount};
        const bool inGame = host->netConnected != 0 && lan->ClientActive();
        const bool bounded = inGame && !holdOwn && (turn.deploying ? relay().Seat(0).deployed == 2 : turn.running);
        if (!bounded || !(turn == turn_) || jumped) {
            jumped = false;
            turn_ = turn, turnFromMs_ = now, overdueTicks_ = 0;
            personHeld_ = turn.running && IsValidSeat(copy.curSeat) && relay().Seat(copy.curSeat).state == 1;
            return;
        }
        const int64_t time = turn.deploying ? DeployTime() : copy.netMoveTime;
        const int64_t bound = (personHeld_ ? time : 2 * time) + net::kTurnGraceSeconds;
        if (now - turnFromMs_ <= bound * 1000 + kSlackMs || ++overdueTicks_ <= kSlackTicks) return;
        std::fprintf(stderr, "%s for %lld ms against %lld s, step %d, seat to move %d", turn.deploying ? "deployment" : "turn",
                     static_cast<long long>(now - turnFromMs_), static_cast<long long>(bound), copy.stepCount, copy.curSeat);
        for (int s = 0; s < kSeats; ++s)
            std::fprintf(stderr, "; seat %d state %d deployed %d", s, relay().Seat(s).state, relay().Seat(s).deployed);
        std::fprintf(stderr, "; computer waits %d\n", relay().ComputerWaits() ? 1 : 0);
        Check(!personHeld_, "a person's turn outlasts its time by his joining again");
        Check(false, "a turn outlasts its bound");
    }
    struct Turn {
        bool deploying = false;
        bool running = false;
        int steps = 0;
        friend bool operator==(const Turn&, const Turn&) = default;
    };
    Turn turn_;
    bool jumped = false;
    std::map<int, int64_t> turnStarts;
    // A person held the seat to move when the count began.
    bool personHeld_ = false;
    int64_t turnFromMs_ = 0;
    int overdueTicks_ = 0;
    // A chat line of a remote connection for its own seat, within its share:
    // it is to reach the host's own side.
    void Chat(int conn, int seat) {
        NoteSeats();
        const net::ConnId id = Id(conn);
        const bool owed = conn != kOwnConn && listeners.at(id).open && relay().SeatOfConnection(id) == seat &&
                          Unheard(id) < net::kChatWaitingLines;
        const std::string text = "c" + std::to_string(++chatLines);
        if (owed) said.push_back({id, holding[id], text});
        Send(id, net::EncodeChat(net::ChatBody{seat, text}));
    }
    // The lines of a connection waiting at the relay are among those it has
    // said in its holding that the host's own side has not heard (a line
    // relayed may still be on its way): at most that many.
    size_t Unheard(net::ConnId id) {
        const std::vector<std::string>& heard = listeners.at(kOwnConn).chats;
        std::erase_if(unheard[id], [&](const std::pair<int, std::string>& l) {
            // Only the numbered lines are told apart.
            return l.first != holding[id] ||
                   (l.second[0] == 'c' && std::find(heard.begin(), heard.end(), l.second) != heard.end());
        });
        return unheard[id].size();
    }
    std::map<net::ConnId, std::vector<std::pair<int, std::string>>> unheard;
    struct Said {
        net::ConnId conn;
        int holding;
        std::string text;
    };
    std::vector<Said> said;
    std::map<net::ConnId, int> seatNow, holding;
    int chatLines = 0;
    void EndGaps() {
        std::set<net::ConnId> waited;
        waited.swap(links.inGap);
        for (net::ConnId id : waited) relay().Writable(id);
    }
    // A gap is far shorter than a second of the host's clock: before the
    // clock moves on, what waits in the paced queues goes out and arrives.
    void Drain() {
        for (int i = 0; i < 1000 && !links.inGap.empty(); ++i) EndGaps();
        Carry();
    }
    // What the host's own side sends goes on its connection, behind what it
    // sent before.
    void Send(net::ConnId id, const net::Packet& p) {
        if (!listeners.at(id).open) return;
        if (id == kOwnConn) {
            own.written.insert(own.written.end(), p.begin(), p.end());
        } else {
            if (auto c = net::DecodeChat(p)) unheard[id].emplace_back(holding[id], c->text.empty() ? "-" : c->text);
            relay().Received(id, p.data(), p.size());
        }
        Carry();
    }
    // The seat a connection speaks for: its own, or (the host's own side,
    // acting for the computer) the seat to move.
    int SeatOf(int conn, Script& in) {
        if (conn == kOwnConn) return (in.Byte() & 1) ? listeners.at(kOwnConn).side.seatToMove() : 0;
        return conn == kStranger ? in.Byte() % kSeats : conn - 1;
    }

    net::ConnId Holder(int seat) {
        for (auto& [id, l] : listeners)
            if (id != kOwnConn && l.open && relay().SeatOfConnection(id) == seat) return id;
        return kOwnConn;
    }

    ClockUi ui;
    std::unique_ptr<GameState> host = std::make_unique<GameState>();
    std::unique_ptr<net::LanSession> lan = std::make_unique<net::LanSession>(*host);
    test::FakeComputer computer;
    jq::testing::FakeClientLink own;
    Links links;
    int gapTicks = 0;
    int64_t ticks = 0;
    int64_t gapsEndedMs = 0;
    bool holdOwn = false;
    PathWork work{Board()};
    std::map<net::ConnId, Listener> listeners;
    // The connection each script's remote connection is on now, and where
    // each connection comes from.
    net::ConnId slot[kStranger + 1] = {};
    std::map<net::ConnId, std::string> addressOf;
    net::ConnId nextId = 2;
    int addressesUsed = kStranger + 1;
    // Connections of chains so far.
    int chained = 0;
};

net::Packet JoinOf(int seat, const std::string& name) {
    SeatRec r;
    PutBoundedText(r.name, sizeof r.name, name);
    r.seat = seat, r.state = 1;
    return net::EncodeJoin(r);
}

net::Packet ArmyOf(int seat) {
    net::SwitchEndBody b{{}, seat};
    for (int k = 0; k < kPiecesPerSeat; ++k) b.codes[k] = static_cast<int8_t>(kArmy[k]);
    return net::EncodeSwitchEnd(b);
}

// A move for `seat` on the position as relayed: a legal one chosen by the
// script, in the sender's view; spoiled in one way when `spoil` is not 0.
net::Packet MoveOf(World& w, int seat, Script& in, int spoil) {
    const PieceTable t = TableOf(w.listeners.at(kOwnConn).side.board());
    // Each choice takes one byte of the script, whatever there is to choose
    // from: the mover among those of the seat (from the one picked on, the
    // first that can go somewhere), then its destination.
    const uint8_t pick = in.Byte(), place = in.Byte();
    int mover = seat * kPiecesPerSeat + pick % kPiecesPerSeat;
    std::vector<GridPoint> to;
    for (int n = 0; n < kPiecesPerSeat && to.empty(); ++n) {
        const int candidate = seat * kPiecesPerSeat + (pick + n) % kPiecesPerSeat;
        if (!Movable(t, candidate) && spoil != 3) continue;  // spoil 3: any piece, a mine or a dead one too
        const PieceRec& c = t[static_cast<size_t>(candidate)];
        for (int q = 0; q < kPointCount; ++q) {
            const GridPoint z{Board().boardPoints[q].gridX, Board().boardPoints[q].gridY};
            if (spoil == 4 || spoil == 3 || Legal(w.work, t, candidate, PieceAtPoint(z.x, z.y, t), {c.x, c.y}, z))
                to.push_back(z);  // spoil 4: anywhere
        }
        if (!to.empty()) mover = candidate;
    }
    const PieceRec& m = t[static_cast<size_t>(mover)];
    const GridPoint a{m.x, m.y};
    const GridPoint z = to.empty() ? a : to[place % to.size()];
    int target = PieceAtPoint(z.x, z.y, t);
    int outcome = IsValidPiece(target) ? ResolveCombatCodes(m.code, t[static_cast<size_t>(target)].code) : 1;
    if (spoil == 1) outcome = outcome == 1 ? -1 : 1;  // a false outcome
    if (spoil == 2) target = in.Byte() % kPieceCount;  // a target that is not there
    net::MoveQzBody b;
    b.seat = seat;
    b.move.mover = mover - kPiecesPerSeat * seat;
    b.move.target = IsValidPiece(target) ? ((SeatOf(target) - seat + kSeats) % kSeats) * kPiecesPerSeat + target % kPiecesPerSeat
                                         : kNoPiece;
    const GridPoint sa = testing::LiteralForward(a, -seat), sz = testing::LiteralForward(z, -seat);
    b.move.fromX = sa.x, b.move.fromY = sa.y, b.move.toX = sz.x, b.move.toY = sz.y;
    b.move.outcome = outcome < -1 ? -1 : outcome;
    if (spoil == 5) b.seat = (seat + 1 + in.Byte() % 3) % kSeats;  // another seat's name on it
    return net::EncodeMoveQz(b);
}

net::Packet SpecialOf(int seat, int coord, int outcome) {
    net::MoveQzBody b;
    b.seat = seat;
    b.move.mover = b.move.target = kNoPiece;
    b.move.fromX = b.move.fromY = b.move.toX = b.move.toY = coord;
    b.move.outcome = outcome;
    return net::EncodeMoveQz(b);
}

// A chain of fresh connections, one after another: each takes a seat (one
// of seats 1 to 3, as `seats` has it, two bits each), says its lines, stays
// its time and leaves (when they overlap, once the next has come); the
// next comes 2 ms later, from the next of `span` addresses. What the script
// reads: the count, the seats, the flags, the time each stays.
void Chain(World& w, Script& in) {
    static constexpr int kLines[] = {0, 1, 2, 8};
    static constexpr int kSpans[] = {1, 20, 250, kAddresses};
    const int count = 1 + in.Byte() % 64;
    const uint8_t seats = in.Byte(), flags = in.Byte();
    const int64_t stayMs = 4 * int64_t{in.Byte()};
    const int lines = kLines[flags & 3];
    const bool deaf = (flags & 4) != 0;      // reads nothing while it stays
    const bool overlap = (flags & 8) != 0;   // leaves once the next has come
    const int span = kSpans[(flags >> 4) & 3];
    const bool cancels = (flags & 64) != 0;  // gives its seat up before it closes
    const int first = (flags >> 7) * 300;    // where its addresses begin
    net::ConnId staying = -1;
    const auto leave = [&](net::ConnId id, int seat) {
        if (cancels) w.Send(id, net::EncodeSeatWord(net::Word::kJoinCancel, seat));
        w.Close(id);
        w.Forget(id);
    };
    int stayingSeat = 0;
    for (int i = 0; i < count; ++i) {
        const int seat = 1 + ((seats >> (2 * (i % 4))) & 3) % 3;
        const net::ConnId id = w.Connect(AddressOf(first + w.chained++ % span), seat);
        if (deaf) w.links.deaf.insert(id);
        w.Send(id, JoinOf(seat, "n" + std::to_string(id)));
        for (int k = 0; k < lines; ++k) w.Send(id, net::EncodeChat(net::ChatBody{seat, "line"}));
        if (staying >= 0) leave(staying, stayingSeat);
        staying = id, stayingSeat = seat;
        w.Pass(stayMs, std::max(kTickMs, stayMs / 4));
        if (!overlap) leave(id, seat), staying = -1;
        w.Pass(2);
    }
    if (staying >= 0) leave(staying, stayingSeat);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Script in(data, size);
    World w;
    for (int steps = 0; in.More() && steps < 4000; ++steps) {
        const uint8_t op = in.Byte();
        if (op >= 240) {
            // A chain of fresh connections, or time passing in up to 32
            // ticks of the host, a quarter of a second apart.
            if (op % 2 == 0)
                Chain(w, in);
            else
                w.Pass(250 * (1 + int64_t{in.Byte()} % 32), 250);
            continue;
        }
        const int conn = 1 + op % 5;
        // What a step reads of the script, in this order: the seat (the host's
        // own side and the stranger), then the rest.
        switch ((op / 5) % 16) {
            case 0: {
                // The host's own side says "Join" only as a new round begins,
                // by itself: a join comes from a remote side.
                const int from = conn == kOwnConn ? kStranger : conn;
                const int seat = from == kStranger ? in.Byte() % kSeats : from - 1;
                const uint8_t how = in.Byte();
                const bool otherName = (how & 7) == 0;
                // A side whose connection is gone comes back on a new one,
                // from its address or another.
                if (w.Gone(from)) w.Reconnect(from, seat, (how & 8) != 0);
                // A side joins when it has connected or its battle has ended,
                // never in the middle of a round; it starts afresh, with the
                // deployment of the seat it asks for as its own.
                Listener& l = w.listeners.at(w.Id(from));
                const bool ended = l.side.endedAt() >= 0 && !l.side.running() && l.side.netState() <= net::kNetWaiting;
                if (!l.open || (l.joined && !ended)) break;
                l.side = LiteralSide(seat), l.seat = seat, l.joined = true;
                w.Send(w.Id(from), JoinOf(seat, otherName ? "x" : "p" + std::to_string(seat)));
                break;
            }
            case 1: w.Send(w.Id(conn), net::EncodeSeatWord(net::Word::kJoinCancel, w.SeatOf(conn, in))); break;
            case 2: w.Send(w.Id(conn), ArmyOf(w.SeatOf(conn, in))); break;
            case 3:
            case 4:
            case 5:
            case 6: {
                // The seat to move moves, on the connection that holds it
                // (the host's own side for a computer's seat).
                const int seat = w.listeners.at(kOwnConn).side.seatToMove();
                w.Send(w.Holder(seat), MoveOf(w, seat, in, 0));
                break;
            }
            case 7:
            case 8: {
                const int seat = w.SeatOf(conn, in);
                const int spoil = (op / 5) % 16 == 8 ? 1 + in.Byte() % 5 : 0;
                w.Send(w.Id(conn), MoveOf(w, seat, in, spoil));
                break;
            }
            case 9: w.Send(w.Id(conn), SpecialOf(w.SeatOf(conn, in), kSurrenderCoord, 0)); break;
            case 10: {
                const int seat = w.SeatOf(conn, in);
                w.Send(w.Id(conn), SpecialOf(seat, kTimeoutCoord, 1 + in.Byte() % 4));
                break;
            }
            case 11: {
                static constexpr net::Word kPeace[] = {net::Word::kPeaceRequest, net::Word::kPeaceOk, net::Word::kPeaceAbort};
                const int seat = w.SeatOf(conn, in);
                w.Send(w.Id(conn), net::EncodeSeatWord(kPeace[in.Byte() % 3], seat));
                break;
            }
            case 12: w.Chat(conn, w.SeatOf(conn, in)); break;
            case 13:
                switch (in.Byte() % 6) {
                    case 0: net::HostStartsBattle(*w.host); break;
                    case 1: net::FinishOwnDeployment(*w.host); break;
                    case 2:
                        w.Drain();
                        w.ui.clock.seconds += in.Byte();
                        w.jumped = true;
                        break;
                    case 3:
                        // The host's player changes the move time: from the next round on.
                        w.host->optionsRecord.netMoveTimeOption = in.Byte() % 70;
                        break;
                    case 4:
                        // The sockets pace the connections (a gap of 1 to 12
                        // ticks after each packet, as 50 ms are to the
                        // host's ticks), or no more.
                        w.gapTicks = in.Byte() % 13;
                        w.links.paced = w.gapTicks > 0;
                        if (!w.links.paced) w.EndGaps();
                        break;
                    default: w.holdOwn = !w.holdOwn; break;
                }
                for (int t = in.Byte() % 8; t >= 0; --t) w.Tick();
                break;
            case 14: w.Close(w.Id(conn)); break;
            default: {
                // Raw bytes, from a remote side only: the host's own
                // connection carries only what its side builds.
                std::vector<uint8_t> raw(in.Byte() % 40);
                for (uint8_t& b : raw) b = in.Byte();
                const net::ConnId from = w.Id(conn == kOwnConn ? kStranger : conn);
                if (w.listeners.at(from).open) w.relay().Received(from, raw.data(), raw.size());
                w.Carry();
            }
        }
        w.NoteSeats();
        w.Tick();
    }
    // Whatever is on its way arrives, and the queues drain.
    w.holdOwn = false;
    w.gapTicks = 0;
    w.links.paced = false;
    w.Drain();
    for (int t = 0; t < 40; ++t) w.Tick();

    // Every seated side, the host's own included, knows the seats as the relay holds them.
    const bool hostInGame = w.host->netConnected != 0 && w.lan->ClientActive();
    if (hostInGame) Check(w.Knows(w.host->seatTable, true), "the host's side does not know the seats");
    for (auto& [id, l] : w.listeners) {
        if (!l.open || l.side.refused() || (id != kOwnConn && w.relay().SeatOfConnection(id) < 0)) continue;
        if (id == kOwnConn && !hostInGame) continue;
        SeatRec table[kSeats];
        for (int s = 0; s < kSeats; ++s) table[s] = l.side.seatRecord(s);
        if (!w.Knows(table, id == kOwnConn)) {
            std::fprintf(stderr, "connection %d deploying %d running %d\n", id, w.relay().Deploying(), w.relay().Referee().battleRunning);
            for (int s = 0; s < kSeats; ++s)
                std::fprintf(stderr, "  seat %d side: %s st %d dep %d port %d | relay: %s st %d dep %d port %d\n", s, table[s].name,
                             table[s].state, table[s].deployed, table[s].port, w.relay().Seat(s).name, w.relay().Seat(s).state,
                             w.relay().Seat(s).deployed, w.relay().Seat(s).port);
        }
        Check(w.Knows(table, id == kOwnConn), "a side does not know the seats");
    }

    // Every side still seated stands where the host's copy stands.
    const GameState& copy = w.relay().Referee();
    for (auto& [id, l] : w.listeners) {
        if (!l.open || w.relay().SeatOfConnection(id) < 0 || l.side.refused()) continue;
        // A battle running, or ended and not yet followed by another.
        const bool ended = !l.side.running() && l.side.result() != testing::kNoResult && copy.stepCount > 0 &&
                           copy.battleRunning == 0 && l.side.netState() <= net::kNetWaiting;
        if (!l.side.running() && !ended) continue;
        const std::string parting = testing::Parting(l.side, copy);
        if (!parting.empty()) std::fprintf(stderr, "connection %d: %s\n", id, parting.c_str());
        Check(parting.empty(), "a side parts from the host's copy");
        Check(l.side.running() == (copy.battleRunning != 0), "a side and the host's copy differ on the battle's end");
        // A draw leaves no trace on the board.
        if (ended && l.side.result() != testing::kResultDraw)
            Check(testing::ResultOf(copy) == l.side.result(), "a side and the host's copy differ on the result");
    }

    if (!hostInGame) return 0;
    // The chat lines waiting at their senders go on within a few seconds.
    for (int second = 0; second < 5; ++second) {
        w.ui.clock.seconds += 1;
        for (int t = 0; t < 3; ++t) w.Tick();
    }
    if (w.host->netConnected != 0 && w.lan->ClientActive()) {
        const std::vector<std::string>& heard = w.listeners.at(kOwnConn).chats;
        std::map<int, size_t> last;
        for (const World::Said& l : w.said) {
            if (w.holding[l.conn] != l.holding) continue;
            const auto at = std::find(heard.begin(), heard.end(), l.text);
            if (at == heard.end()) std::fprintf(stderr, "line %s of connection %d\n", l.text.c_str(), l.conn);
            Check(at != heard.end(), "a chat line within its sender's share is lost");
            const size_t index = static_cast<size_t>(at - heard.begin());
            Check(!last.count(l.conn) || last[l.conn] < index, "a sender's chat lines out of order");
            last[l.conn] = index;
        }
    }

    // Nobody waits for nobody: with the host's player ending his
    // deployment, every turn (the deployment) ends within twice its time
    // and the grace, and the slack.
    const int longest = 2 * std::max(w.DeployTime(), copy.netMoveTime) + net::kTurnGraceSeconds;
    int steps = copy.stepCount, turns = 0, still = 0;
    bool deploying = w.relay().Deploying();
    for (int second = 0; second < 12 * longest && turns < 4; ++second) {
        if (w.host->netConnected == 0 || !w.lan->ClientActive()) break;
        const bool waiting = w.relay().Deploying() || copy.battleRunning != 0;
        if (!waiting) break;
        net::FinishOwnDeployment(*w.host);
        w.ui.clock.seconds += 1;
        for (int t = 0; t < 2; ++t) w.Tick();
        if (copy.stepCount != steps || w.relay().Deploying() != deploying) {
            steps = copy.stepCount, deploying = w.relay().Deploying();
            still = 0, ++turns;
        } else {
            const int bound = 2 * (deploying ? w.DeployTime() : copy.netMoveTime) + net::kTurnGraceSeconds;
            Check(++still * int64_t{1000} <= bound * int64_t{1000} + kSlackMs, "the match waits for nobody");
        }
    }
    return 0;
}
