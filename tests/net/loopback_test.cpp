// Whole LAN battles over real sockets on 127.0.0.1, every side in this one
// process: the host's side, the joining sides, the host's computer seats.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "ai/aithread.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "net/ownmove.h"
#include "net/ui/lansockets.h"
#include "play/turnloop.h"
#include "support/recording_ui.h"
#include "view/rotation.h"

namespace jq {
namespace {

using Clock = std::chrono::steady_clock;

struct Side {
    explicit Side(int seat, uint32_t seed) {
        // No screen; the clock stands still (no time-outs); the steps are
        // kept when the battle ends.
        g = std::make_unique<GameState>();
        g->ui = &ui;
        ui.onPump = [] { QCoreApplication::processEvents(); };
        ui.duringResult = [this] {
            steps.emplace_back(g->stepRecords, g->stepRecords + std::min(g->stepCount, kMaxSteps));
        };
        g->appFolder = "/nonexistent-jq-folder/";
        g->optionsRecord.netMinMoveIntervalOption = 0;
        g->mainRandom.Seed(seed);
        g->myNetSeat = seat;
        g->myNetName = Gb("玩家") + std::to_string(seat);
        lan = std::make_unique<net::LanSession>(*g);
        g->lan = lan.get();
        sockets = std::make_unique<net::LanSockets>(*lan);
        work = std::make_unique<AiWorkspace>();
        work->ownRandom.Seed(seed);
    }
    ~Side() {
        if (worker) worker->Shutdown();
        g->computer = nullptr;
        sockets.reset();
    }
    std::unique_ptr<GameState> g;
    test::RecordingUi ui;
    std::vector<std::vector<StepRec>> steps;  // per battle
    std::unique_ptr<net::LanSession> lan;
    std::unique_ptr<net::LanSockets> sockets;
    std::unique_ptr<AiWorkspace> work;
    std::unique_ptr<AIDominate> worker;
    std::mutex mutex;  // the worker's hand-overs, for the main thread
    std::deque<std::pair<MoveCand, uint64_t>> handed;
};

bool Pump(const std::function<bool()>& done, Clock::time_point deadline) {
    while (!done()) {
        if (Clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

std::vector<StepRec> TurnedSteps(const std::vector<StepRec>& steps, int turns) {
    auto tmp = std::make_unique<GameState>();
    std::copy(steps.begin(), steps.end(), tmp->stepRecords);
    for (int t = 0; t < turns; ++t) RotateStepRecords(*tmp);
    return {tmp->stepRecords, tmp->stepRecords + steps.size()};
}

// The host (seat 0) and one side per seat in `joiners` play `rounds`
// battles; every other seat is the host's computer's. Every person's seat is
// played by the computer player on its own side, as a headless side plays
// it.
void PlayBattles(const std::vector<int>& joiners, uint32_t seed, size_t rounds) {
    const auto deadline = Clock::now() + std::chrono::seconds(240);
    std::vector<std::unique_ptr<Side>> sides;
    sides.push_back(std::make_unique<Side>(0, seed));
    Side& host = *sides[0];
    host.g->isNetHost = 1;
    host.worker = std::make_unique<AIDominate>(*host.g, [&host](MoveCand m, uint64_t t) {
        std::lock_guard lock(host.mutex);
        host.handed.emplace_back(m, t);
    });
    host.worker->SetSeed(seed);
    host.g->computer = host.worker.get();
    ASSERT_TRUE(host.sockets->Listen(QHostAddress::LocalHost, 0));
    const quint16 port = host.sockets->ListeningPort();

    auto connect = [&](Side& s) {
        s.sockets->ConnectTo("127.0.0.1", port);
        ASSERT_TRUE(Pump([&] { return s.sockets->ClientConnected() && s.lan->ClientActive(); }, deadline));
        s.g->netConnected = 1;
        net::RejoinNetBattle(*s.g);
    };
    connect(host);
    for (int seat : joiners) {
        sides.push_back(std::make_unique<Side>(seat, seed + static_cast<uint32_t>(seat)));
        connect(*sides.back());
    }

    auto allJoined = [&] {
        for (int seat : joiners)
            if (host.g->seatTable[seat].state != 1) return false;
        return true;
    };
    size_t started = 0;
    auto allEnded = [&] {
        for (auto& s : sides)
            if (s->ui.results.size() < rounds) return false;
        return true;
    };
    while (!allEnded() && Clock::now() < deadline) {
        QCoreApplication::processEvents();
        for (auto& s : sides) {
            GameState& g = *s->g;
            if (s->ui.results.size() == rounds) continue;  // this side has played
            TickMainTimer(g);
            net::FinishOwnDeployment(g);  // deployed as dealt
            net::SendOwnComputerMove(g, *s->work);
        }
        if (started < rounds && started == host.ui.results.size() && host.g->netState == net::kNetWaiting &&
            allJoined()) {
            net::HostStartsBattle(*host.g);
            ++started;
        }
        std::deque<std::pair<MoveCand, uint64_t>> moves;
        {
            std::lock_guard lock(host.mutex);
            moves.swap(host.handed);
        }
        for (const auto& [m, t] : moves) ExecuteComputerMove(*host.g, m, t);
    }
    std::string where;
    for (auto& s : sides)
        where += " seat " + std::to_string(s->g->myNetSeat) + " state " + std::to_string(s->g->netState) + " steps " +
                 std::to_string(s->g->stepCount) + " inbox " + std::to_string(s->lan->InboxSize()) + ";";
    ASSERT_TRUE(allEnded()) << "the battle did not end in time:" << where;

    // The same battles on every side, each in its own view.
    for (size_t round = 0; round < rounds; ++round) {
        const std::vector<StepRec>& steps = host.steps[round];
        EXPECT_GT(steps.size(), 20u);
        for (auto& s : sides) {
            const int seat = s->g->myNetSeat;
            EXPECT_EQ(s->steps[round], TurnedSteps(steps, seat)) << "side " << seat << " battle " << round;
            // The result is seen from the local seats 0 and 2.
            const int r = host.ui.results[round];
            EXPECT_EQ(s->ui.results[round], seat % 2 == 0 || r == 2 ? r : 1 - r) << "side " << seat;
        }
    }
    for (auto& s : sides) {
        for (const std::string& box : s->ui.messages)
            EXPECT_EQ(box.find(Gb("无法")), std::string::npos) << Utf8FromGb(box);
    }
}

TEST(LanLoopback, HostAndThreeSidesPlayTwoWholeBattles) { PlayBattles({1, 2, 3}, 7, 2); }

TEST(LanLoopback, HostComputerSeatsDeployAndMove) { PlayBattles({2}, 11, 1); }

}  // namespace
}  // namespace jq
