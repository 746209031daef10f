// Whole LAN battles over sockets on 127.0.0.1, every side in this one process.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHostAddress>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
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
    // No screen; the clock stands still (no time-outs); each battle's steps are kept.
    explicit Side(int seat, uint32_t seed) {
        g->ui = &ui;
        ui.onPump = [] { QCoreApplication::processEvents(); };
        ui.duringResult = [this] {
            steps.emplace_back(g->stepRecords, g->stepRecords + std::min(g->stepCount, kMaxSteps));
        };
        g->appFolder = "/nonexistent-jq-folder/";
        g->optionsRecord.netMinMoveIntervalOption = 0, g->myNetSeat = seat;
        g->myNetName = Gb("玩家") + std::to_string(seat);
        g->mainRandom.Seed(seed), work->ownRandom.Seed(seed);
        g->lan = lan.get();
    }
    ~Side() {
        if (worker) worker->Shutdown();
        g->computer = nullptr;
        sockets.reset();
    }
    std::unique_ptr<GameState> g = std::make_unique<GameState>();
    test::RecordingUi ui;
    std::vector<std::vector<StepRec>> steps;
    std::unique_ptr<net::LanSession> lan = std::make_unique<net::LanSession>(*g);
    std::unique_ptr<net::LanSockets> sockets = std::make_unique<net::LanSockets>(*lan);
    std::unique_ptr<AiWorkspace> work = std::make_unique<AiWorkspace>();
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

// The host (seat 0) and one side per seat in `joiners` play `rounds` battles, each person's seat
// played by the computer player on its own side, the other seats by the host's computer.
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
        return std::all_of(joiners.begin(), joiners.end(), [&](int s) { return host.g->seatTable[s].state == 1; });
    };
    auto allEnded = [&] {
        return std::all_of(sides.begin(), sides.end(), [&](auto& s) { return s->ui.results.size() >= rounds; });
    };
    size_t started = 0;
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
        const auto moves = [&] { std::lock_guard lock(host.mutex); return std::exchange(host.handed, {}); }();
        for (const auto& [m, t] : moves) ExecuteComputerMove(*host.g, m, t);
    }
    std::string where;
    for (auto& s : sides)
        where += " seat/state/steps/inbox " + std::to_string(s->g->myNetSeat) + "/" + std::to_string(s->g->netState) +
                 "/" + std::to_string(s->g->stepCount) + "/" + std::to_string(s->lan->InboxSize());
    ASSERT_TRUE(allEnded()) << "the battle did not end in time:" << where;

    // The same battles on every side, each in its own view; results seen from local seats 0 and 2.
    for (size_t round = 0; round < rounds; ++round) {
        EXPECT_GT(host.steps[round].size(), 20u);
        const int r = host.ui.results[round];
        for (auto& s : sides) {
            const int seat = s->g->myNetSeat;
            EXPECT_EQ(s->steps[round], TurnedSteps(host.steps[round], seat)) << "side " << seat << " battle " << round;
            EXPECT_EQ(s->ui.results[round], seat % 2 == 0 || r == 2 ? r : 1 - r) << "side " << seat;
        }
    }
    for (auto& s : sides)
        for (const std::string& box : s->ui.messages)
            EXPECT_EQ(box.find(Gb("无法")), std::string::npos) << Utf8FromGb(box);
}

TEST(LanLoopback, HostAndThreeSidesPlayTwoWholeBattles) { PlayBattles({1, 2, 3}, 7, 2); }

TEST(LanLoopback, HostComputerSeatsDeployAndMove) { PlayBattles({2}, 11, 1); }

}  // namespace
}  // namespace jq
