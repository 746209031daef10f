// What the host's relay costs per relayed "MoveQz": four seats (the host's
// and three remote ones) deploy and start a battle, then each seat in turn
// moves one piece into a camp of its own area and back, so every move is
// legal and nothing is taken. The time measured is the relay's alone: the
// packet's arrival, its checks, and its copies handed to the four
// connections (goal: well under a millisecond).
//
// The same moves under a flood of bare connections at the door: 6000
// addresses, 25 connections for each simulated millisecond (25,000 a second),
// each reset by its side 50 ms after it came, while the door lets in whom it
// may. Reported: connections taken a second, the time per move, and the
// process's resident memory before and after (goal: the same).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <deque>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../tests/support/lan_fakes.h"
#include "../tests/support/literal_side.h"
#include "core/board.h"
#include "core/gameui.h"
#include "core/pathfind.h"
#include "core/qipan.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "net/host/door.h"
#include "net/host/relay.h"

namespace {

using namespace jq;

constexpr int kArmy[kPiecesPerSeat] = {8, 9, 10, 11, 12, 6, 7, 12, 10, 11, 9, 12, 7, 11, 10, 4, 2, 5, 2, 3, 8, 1, 2, 6, 3};
// Moves per measured batch; a fresh battle before each, far from the step
// limit.
constexpr int kMovesPerBatch = 400;

// Keeps what goes to the host's own side while the battle is set up, and
// throws every copy away once it runs.
class Links : public net::ServerLinks {
public:
    bool Listening() const override { return true; }
    size_t Write(net::ConnId id, const uint8_t* data, size_t size) override {
        if (keep && id == 1) {
            written.insert(written.end(), data, data + size);
            all.insert(all.end(), data, data + size);
        }
        return size;
    }
    void Close(net::ConnId) override {}
    void Stop() override {}
    bool keep = true;
    std::vector<uint8_t> written;
    std::vector<uint8_t> all;  // everything the host's own side was sent
};

GridPoint Back(GridPoint p, int turns) {
    for (int t = 0; t < turns; ++t) p = GridPoint{p.y, 40 - p.x};
    return p;
}

struct Battle {
    Battle() {
        host->ui = &ui, host->lan = lan.get(), host->netConnected = 1, host->isNetHost = 1;
        host->appFolder = "/nonexistent-jq-bench/";
        host->myNetName = "host";
        lan->AttachClient(&own);
        lan->StartHosting(&links);
        relay().Connected(1, "127.0.0.1", 40001);
        relay().SetOwnConnection(1);
        net::RejoinNetBattle(*host);
        Carry();
        for (int s = 1; s < kSeats; ++s) {
            relay().Connected(s + 1, "10.0.0." + std::to_string(s), 600 + s);
            SeatRec r;
            PutBoundedText(r.name, sizeof r.name, "p" + std::to_string(s));
            r.seat = s, r.state = 1;
            Send(s + 1, net::EncodeJoin(r));
        }
        Ticks(40);
        net::HostStartsBattle(*host);
        Ticks(40);
        for (int s = 1; s < kSeats; ++s) {
            net::SwitchEndBody b{{}, s};
            for (int k = 0; k < kPiecesPerSeat; ++k) b.codes[k] = static_cast<int8_t>(kArmy[k]);
            Send(s + 1, net::EncodeSwitchEnd(b));
        }
        net::FinishOwnDeployment(*host);
        Ticks(60);
        ok = host->battleRunning == 1;
        // Each seat's piece and the camp it goes to, in absolute seats.
        PathWork work(Board());
        for (int s = 0; s < kSeats && ok; ++s) {
            bool found = false;
            for (int k = 0; k < kPiecesPerSeat && !found; ++k) {
                const int piece = s * kPiecesPerSeat + k;
                const PieceRec& pc = host->pieces[piece];
                if (pc.code == kFlag || pc.code == kMine) continue;
                for (int q = s * 30; q < s * 30 + 30 && !found; ++q) {
                    const BoardPoint& bp = Board().boardPoints[q];
                    if (bp.kind != kCamp || PieceAtPoint(bp.gridX, bp.gridY, host->pieces) != kNoPiece) continue;
                    PathBuffer path;
                    if (FindMovePath(work, piece, pc.x, pc.y, bp.gridX, bp.gridY, path, host->pieces, nullptr) <= 0) continue;
                    from[s] = {pc.x, pc.y}, to[s] = {bp.gridX, bp.gridY}, slot[s] = k;
                    found = true;
                }
            }
            ok = found;
        }
        seat = host->curSeat;
        links.keep = false;
    }
    net::HostRelay& relay() { return *lan->relay(); }
    void Carry() {
        for (int pass = 0; pass < 4; ++pass) {
            std::vector<uint8_t> up, down;
            up.swap(own.written);
            relay().Received(1, up.data(), up.size());
            down.swap(links.written);
            lan->ClientReceived(down.data(), down.size());
        }
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) {
            net::HandleNetBattle(*host);
            Carry();
        }
    }
    void Send(net::ConnId id, const net::Packet& p) {
        relay().Received(id, p.data(), p.size());
        Carry();
    }
    // The next move of the seat to move, in its own view.
    net::Packet NextMove() {
        const int s = seat;
        const bool out = (moved[s]++ % 2) == 0;
        const GridPoint a = Back(out ? from[s] : to[s], s), z = Back(out ? to[s] : from[s], s);
        net::MoveQzBody b;
        b.seat = s;
        b.move.mover = slot[s], b.move.target = kNoPiece, b.move.outcome = 1;
        b.move.fromX = a.x, b.move.fromY = a.y, b.move.toX = z.x, b.move.toY = z.y;
        seat = (seat + host->turnDirection + kSeats) % kSeats;
        return net::EncodeMoveQz(b);
    }

    // A batch of moves, each on the connection of its seat (seat s is
    // connection s + 1).
    std::vector<std::pair<net::ConnId, net::Packet>> NextMoves() {
        std::vector<std::pair<net::ConnId, net::Packet>> moves;
        for (int i = 0; i < kMovesPerBatch; ++i) {
            const net::ConnId conn = seat + 1;
            moves.emplace_back(conn, NextMove());
        }
        return moves;
    }

    NullUi ui;
    std::unique_ptr<GameState> host = std::make_unique<GameState>();
    std::unique_ptr<net::LanSession> lan = std::make_unique<net::LanSession>(*host);
    jq::testing::FakeClientLink own;
    Links links;
    bool ok = false;
    GridPoint from[kSeats], to[kSeats];
    int slot[kSeats] = {};
    int moved[kSeats] = {};
    int seat = 0;
};

// A battle under way, or none (the benchmark is skipped with why).
std::unique_ptr<Battle> StartBattle(benchmark::State& state) {
    auto battle = std::make_unique<Battle>();
    if (battle->ok) return battle;
    state.SkipWithError("the battle did not start");
    return nullptr;
}

void BM_RelayedMove(benchmark::State& state) {
    size_t relayed = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto battle = StartBattle(state);
        if (!battle) break;
        const auto moves = battle->NextMoves();
        net::HostRelay& relay = battle->relay();
        state.ResumeTiming();
        for (const auto& [conn, p] : moves) relay.Received(conn, p.data(), p.size());
        state.PauseTiming();
        relayed += kMovesPerBatch;
        battle.reset();
        state.ResumeTiming();
    }
    state.counters["per_move"] =
        benchmark::Counter(static_cast<double>(relayed), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RelayedMove)->Unit(benchmark::kMillisecond);

// Resident memory of this process, in kB (0 when it cannot be read).
double ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    for (double kb = 0; status >> key;)
        if (key == "VmRSS:" && status >> kb) return kb;
    return 0;
}

void BM_RelayedMoveUnderBareFlood(benchmark::State& state) {
    constexpr int kFloodPerMs = 25, kHeldMs = 50;
    constexpr uint32_t kAddresses = 6000;
    const double before = ResidentKb();
    net::AcceptDoor door;
    std::deque<net::AcceptDoor::Id> open;
    net::AcceptDoor::Id next = 0;
    int64_t nowMs = 0;
    size_t relayed = 0, came = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto battle = StartBattle(state);
        if (!battle) break;
        const auto moves = battle->NextMoves();
        net::HostRelay& relay = battle->relay();
        state.ResumeTiming();
        for (const auto& [conn, p] : moves) {
            relay.Received(conn, p.data(), p.size());
            ++nowMs;
            for (int k = 0; k < kFloodPerMs; ++k, ++next) {
                const std::optional<net::AcceptDoor::Id> gone = door.Come(next, 0x7F0A0000 + next % kAddresses, nowMs);
                if (gone != next) open.push_back(next);
            }
            while (open.size() > size_t{kFloodPerMs * kHeldMs}) {
                door.Gone(open.front());
                open.pop_front();
            }
            benchmark::DoNotOptimize(door.LetIn(nowMs));
        }
        state.PauseTiming();
        relayed += kMovesPerBatch;
        came += size_t{kMovesPerBatch} * kFloodPerMs;
        battle.reset();
        state.ResumeTiming();
    }
    state.counters["per_move"] =
        benchmark::Counter(static_cast<double>(relayed), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["connections_per_s"] = benchmark::Counter(static_cast<double>(came), benchmark::Counter::kIsRate);
    state.counters["rss_before_kB"] = before;
    state.counters["rss_after_kB"] = ResidentKb();
}
BENCHMARK(BM_RelayedMoveUnderBareFlood)->Unit(benchmark::kMillisecond);

// Before measuring: a batch relayed with the host's own connection kept and
// applied by a side that follows the protocol, so the figure is known to
// be one of moves that were relayed.
bool MovesAreRelayed() {
    Battle battle;
    if (!battle.ok) return false;
    testing::LiteralSide side(0);
    side.Feed(battle.links.all);  // the battle so far
    battle.links.all.clear();
    battle.links.keep = true;
    for (int i = 0; i < kMovesPerBatch; ++i) {
        const net::ConnId conn = battle.seat + 1;
        const net::Packet p = battle.NextMove();
        battle.relay().Received(conn, p.data(), p.size());
    }
    side.Feed(battle.links.all);
    std::printf("a side that follows the protocol applied %d of %d moves, battle running: %s\n", side.steps(),
                kMovesPerBatch, side.running() ? "yes" : "no");
    return side.steps() == kMovesPerBatch && side.running();
}

}  // namespace

int main(int argc, char** argv) {
    if (!MovesAreRelayed()) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
