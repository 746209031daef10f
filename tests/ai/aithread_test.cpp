#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "ai/aithread.h"
#include "ai/choose0.h"
#include "ai_support.h"
#include "support/lan_fakes.h"
#include "support/recording_ui.h"
#include "core/qipan.h"

namespace jq {
namespace {

using namespace std::chrono_literals;

// What the worker hands over, collected for the test to carry out.
class Collector {
public:
    void Post(const MoveCand& m, uint64_t token) {
        std::lock_guard lock(mutex_);
        items_.push_back({m, token});
        cv_.notify_all();
    }
    bool WaitFor(size_t n, std::chrono::milliseconds limit = 60s) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, limit, [&] { return items_.size() >= n; });
    }
    struct Item {
        MoveCand move;
        uint64_t token;
    };
    std::vector<Item> Take() {
        std::lock_guard lock(mutex_);
        std::vector<Item> out;
        out.swap(items_);
        return out;
    }
    size_t Size() {
        std::lock_guard lock(mutex_);
        return items_.size();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Item> items_;
};

void DealArmies(PieceTable& p) {
    test::DeployArmy(p);
}

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g = std::make_unique<GameState>();
        g->ui = &ui;
        aitest::ClearTable(g->pieces);
        DealArmies(g->pieces);
        g->curSeat = 1;
        g->battleRunning = 1;
        g->zfChosenIndex[0] = 17;
        g->zfChosenIndex[2] = 402;
        worker = std::make_unique<AIDominate>(*g, [this](MoveCand m, uint64_t t) { collector.Post(m, t); });
        g->computer = worker.get();
    }
    void TearDown() override {
        worker.reset();
        g->computer = nullptr;
    }
    // Carries out what was handed over; true when the board changed.
    bool Deliver(const Collector::Item& item) {
        const int before = g->stepCount;
        ExecuteComputerMove(*g, item.move, item.token);
        return g->stepCount != before;
    }

    test::RecordingUi ui;
    std::unique_ptr<GameState> g;
    Collector collector;
    std::unique_ptr<AIDominate> worker;
};

TEST_F(WorkerTest, IdleAfterConstructionAndStopDoesNothing) {
    EXPECT_TRUE(worker->IsIdle());
    worker->Stop();
    EXPECT_TRUE(worker->IsIdle());
    EXPECT_EQ(worker->abortRequested.load(), 0);
    EXPECT_EQ(collector.Size(), 0u);
}

TEST_F(WorkerTest, MoveIsCarriedOutOnTheMainThreadAndTheWorkerStaysBusyUntilThen) {
    worker->Resume();
    ASSERT_TRUE(collector.WaitFor(1));
    EXPECT_FALSE(worker->IsIdle());  // the hand-over is still pending
    worker->Resume();                // not woken twice
    std::this_thread::sleep_for(20ms);
    auto items = collector.Take();
    ASSERT_EQ(items.size(), 1u);
    const MoveCand m = items[0].move;
    EXPECT_EQ(m.mover / 25, 1);
    EXPECT_TRUE(Deliver(items[0]));
    EXPECT_TRUE(worker->IsIdle());
    EXPECT_EQ(g->stepCount, 1);
    const StepRec& r = g->stepRecords[0];
    EXPECT_EQ(r, (StepRec{m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome}));
    EXPECT_EQ(ui.diagnostics[4], "17=402");
    EXPECT_FALSE(ui.diagnostics[1].empty());
    // The same hand-over twice is carried out once.
    EXPECT_FALSE(Deliver(items[0]));
}

TEST_F(WorkerTest, StopDuringTheSearchDropsTheMove) {
    const PieceTable before = g->pieces;
    worker->Resume();
    worker->Stop();
    EXPECT_TRUE(worker->IsIdle());
    EXPECT_EQ(worker->abortRequested.load(), 0);
    for (const auto& item : collector.Take()) EXPECT_FALSE(Deliver(item));
    EXPECT_EQ(std::memcmp(&before, &g->pieces, sizeof before), 0);
    EXPECT_EQ(g->curSeat, 1);
}

TEST_F(WorkerTest, StopWithTheHandOverPendingDropsTheMove) {
    worker->Resume();
    ASSERT_TRUE(collector.WaitFor(1));
    worker->Stop();
    EXPECT_TRUE(worker->IsIdle());
    for (const auto& item : collector.Take()) EXPECT_FALSE(Deliver(item));
    EXPECT_EQ(g->stepCount, 0);
    EXPECT_TRUE(ui.diagnostics[4].empty());  // a dropped move shows nothing
    // The worker takes up the next search as usual.
    worker->Resume();
    ASSERT_TRUE(collector.WaitFor(1));
    EXPECT_TRUE(Deliver(collector.Take()[0]));
}

TEST_F(WorkerTest, AbortFlagAtTheHandOverShowsButCarriesOutNothing) {
    worker->Resume();
    ASSERT_TRUE(collector.WaitFor(1));
    worker->abortRequested = 1;
    EXPECT_FALSE(Deliver(collector.Take()[0]));
    EXPECT_EQ(ui.diagnostics[4], "17=402");
    EXPECT_TRUE(worker->IsIdle());
}

TEST_F(WorkerTest, SeatWithoutAMoveGivesUp) {
    // Seat 1 keeps only its flag and mines.
    for (int p = 25; p < 50; ++p)
        if (g->pieces[p].code != kFlag && g->pieces[p].code != kMine) g->pieces[p].alive = 0;
    worker->Resume();
    ASSERT_TRUE(collector.WaitFor(1));
    EXPECT_TRUE(Deliver(collector.Take()[0]));
    EXPECT_EQ(g->stepRecords[0], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 1}));
    for (int p = 25; p < 50; ++p) EXPECT_EQ(g->pieces[p].alive, 0);
    EXPECT_NE(g->curSeat, 1);
}

TEST_F(WorkerTest, LanMoveIsSentInTheMoversViewAndNotCarriedOut) {
    net::LanSession lan(*g);
    testing::FakeClientLink link;
    lan.AttachClient(&link);
    g->lan = &lan;
    g->netConnected = 1;
    g->netMyTurn = 1;
    worker->Resume();
    ASSERT_TRUE(collector.WaitFor(1));
    const auto item = collector.Take()[0];
    EXPECT_FALSE(Deliver(item));
    EXPECT_EQ(g->netMyTurn, 0);
    // Sent in seat 1's own view.
    const MoveCand sent = MoveInMoverView(item.move);
    EXPECT_EQ(std::memcmp(&g->netMoveRecord, &sent, sizeof sent), 0);
    EXPECT_EQ(g->netMoveRecord.mover, item.move.mover % 25);
    EXPECT_TRUE(worker->IsIdle());
}

TEST_F(WorkerTest, RefusedMoveBecomesTheGiveUpOfTheSeat) {
    worker->Resume();
    ASSERT_TRUE(collector.WaitFor(1));
    const auto item = collector.Take()[0];
    // The board no longer allows the move (its mover is gone), in the same
    // position otherwise: asking the worker again would find it again.
    g->pieces[item.move.mover].alive = 0;
    EXPECT_TRUE(Deliver(item));
    EXPECT_EQ(g->stepRecords[0], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 1}));
    EXPECT_EQ(g->netMoveRecord.mover, kNoPiece);
    for (int p = 25; p < 50; ++p) EXPECT_EQ(g->pieces[p].alive, 0);
    EXPECT_NE(g->curSeat, 1);
    EXPECT_TRUE(worker->IsIdle());
}

TEST_F(WorkerTest, MoveOfAnotherSeatIsNeverCarriedOut) {
    worker->Resume();
    ASSERT_TRUE(collector.WaitFor(1));
    auto item = collector.Take()[0];
    // A move of seat 0's piece handed over for seat 1's turn.
    item.move = aitest::Move(4, kNoPiece, 22, 17, 22, 18);
    EXPECT_TRUE(Deliver(item));
    EXPECT_EQ(g->pieces[4].y, 17);
    EXPECT_EQ(g->stepRecords[0], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 1}));
}

TEST_F(WorkerTest, MoveForAPositionThatIsGoneIsDropped) {
    worker->Resume();
    ASSERT_TRUE(collector.WaitFor(1));
    const auto item = collector.Take()[0];
    g->stepCount = 3;  // play went on meanwhile
    EXPECT_FALSE(Deliver(item));
    EXPECT_EQ(g->stepCount, 3);
    EXPECT_TRUE(ui.diagnostics[4].empty());
    EXPECT_TRUE(worker->IsIdle());

    g->stepCount = 0;
    worker->Resume();
    ASSERT_TRUE(collector.WaitFor(1));
    const auto second = collector.Take()[0];
    g->curSeat = 2;
    EXPECT_FALSE(Deliver(second));
    EXPECT_TRUE(worker->IsIdle());
}

TEST_F(WorkerTest, UpperLevelsStartTheMoveClockWhenTheyStartThinking) {
    ui.clock.seconds = 5000;
    g->turnClock.seconds = 100;
    g->optionsRecord.aiLevel = 0;
    worker->Resume();
    EXPECT_EQ(g->turnClock.seconds, 100);
    worker->Stop();
    g->optionsRecord.aiLevel = 2;
    worker->Resume();
    EXPECT_EQ(g->turnClock.seconds, 5000);
    worker->Stop();
}

// The bomb is valued afresh by every expectation the worker computes, and a
// search starts from the value the previous one left, not from the start
// value.
TEST(WorkerMemory, BombValueGoesOnFromTheLastSearch) {
    test::RecordingUi ui;
    auto g = std::make_unique<GameState>();
    g->ui = &ui;
    aitest::ClearTable(g->pieces);
    // Seat 1's bomb two steps from seat 0's flag, which it knows; nothing
    // can be captured, so the search itself values the bomb only when its
    // flag plan weighs the attack, after every score is made.
    aitest::PutAt(g->pieces, 21, kFlag, 21);
    aitest::SetRow(g->pieces[21].beliefs[1], {{1, 100.0f}});
    aitest::PutAt(g->pieces, 30, kBomb, 12);
    g->curSeat = 1;
    ASSERT_FLOAT_EQ(g->pieceValues[2], 130.0f);

    Collector collector;
    AIDominate worker(*g, [&collector](MoveCand m, uint64_t t) { collector.Post(m, t); });
    MoveCand handed[2];
    for (MoveCand& m : handed) {
        ASSERT_TRUE(worker.SetSeed(42));
        worker.Resume();
        ASSERT_TRUE(collector.WaitFor(1));
        m = collector.Take()[0].move;
        worker.Stop();
    }

    // The same searches on workspaces of their own: the first from the
    // start value, the second from what the first left.
    auto first = std::make_unique<AiWorkspace>();
    TakeSnapshot(*g, first->game);
    first->ownRandom.Seed(42);
    ASSERT_TRUE(ChooseMove(*first));
    EXPECT_NE(first->game.pieceValues[2], 130.0f);
    auto second = std::make_unique<AiWorkspace>();
    TakeSnapshot(*g, second->game);
    second->game.pieceValues[2] = first->game.pieceValues[2];
    second->ownRandom.Seed(42);
    ASSERT_TRUE(ChooseMove(*second));

    EXPECT_EQ(handed[0].score, first->aiMoveList.list[0].score);
    EXPECT_EQ(handed[1].score, second->aiMoveList.list[0].score);
    EXPECT_NE(handed[0].score, handed[1].score);
    worker.Shutdown();
}

TEST_F(WorkerTest, DestroyingTheWorkerWhileItThinksJoinsIt) {
    worker->Resume();
    const auto start = std::chrono::steady_clock::now();
    worker.reset();
    g->computer = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(WorkerTest, SameSeedSameMoves) {
    Collector other;
    auto g2 = std::make_unique<GameState>();
    g2->pieces = g->pieces;
    g2->curSeat = g->curSeat;
    AIDominate second(*g2, [&other](MoveCand m, uint64_t t) { other.Post(m, t); });
    ASSERT_TRUE(worker->SetSeed(99));
    ASSERT_TRUE(second.SetSeed(99));
    worker->Resume();
    second.Resume();
    ASSERT_TRUE(collector.WaitFor(1));
    ASSERT_TRUE(other.WaitFor(1));
    const MoveCand a = collector.Take()[0].move;
    const MoveCand b = other.Take()[0].move;
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    second.Shutdown();
}

// Searches started and stopped at random moments: after every stop the
// worker is at rest and nothing it found can still land; moves carried out
// are carried out once.
TEST_F(WorkerTest, RandomStartsAndStops) {
    std::mt19937 rng(12345);
    int executed = 0;
    for (int round = 0; round < 150; ++round) {
        worker->Resume();
        const int action = static_cast<int>(rng() % 4);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
        if (action == 0) {
            // Let it finish and carry the move out.
            ASSERT_TRUE(collector.WaitFor(1));
            for (const auto& item : collector.Take())
                if (Deliver(item)) ++executed;
            EXPECT_TRUE(worker->IsIdle());
            continue;
        }
        if (action == 1) collector.WaitFor(1, std::chrono::milliseconds(rng() % 20));
        worker->Stop();
        EXPECT_TRUE(worker->IsIdle());
        EXPECT_EQ(worker->abortRequested.load(), 0);
        const int steps = g->stepCount;
        for (const auto& item : collector.Take()) EXPECT_FALSE(Deliver(item));
        EXPECT_EQ(g->stepCount, steps);
        if (g->curSeat == 0) g->curSeat = 1;
    }
    EXPECT_EQ(g->stepCount, executed);
}

// The worker's own generator: low word 1 at the start; each draw takes
// low * 22695477 + 1 and yields bits 16..30; a seed s sets the low word to
// s and makes one draw.
TEST(WorkerRandom, StartsFromTheFixedStateAndCanBeSeeded) {
    auto w = std::make_unique<AiWorkspace>();
    for (int expected : {346, 130, 10982, 1090}) EXPECT_EQ(w->random->Next(), expected);
    w->random->Seed(12345);
    EXPECT_EQ(w->random->Next(), 24996);
    EXPECT_EQ(w->random->Next(), 10921);
}

TEST(MoverView, TurnsTheMoveForTheMoversSeat) {
    MoveCand m = aitest::Move(57, 30, 18, 24, 18, 23, 1, 12.5f);
    const MoveCand c = MoveInMoverView(m);
    EXPECT_EQ(c.mover, 7);
    EXPECT_EQ(c.target, 80);
    EXPECT_EQ(c.fromX, 22);
    EXPECT_EQ(c.fromY, 16);
    EXPECT_EQ(c.toX, 22);
    EXPECT_EQ(c.toY, 17);
    EXPECT_EQ(c.outcome, 1);
    EXPECT_EQ(c.score, 12.5f);

    // The target's seat is counted from the mover's seat.
    const MoveCand d = MoveInMoverView(aitest::Move(30, 5, 23, 18, 22, 17));
    EXPECT_EQ(d.mover, 5);
    EXPECT_EQ(d.target, 3 * 25 + 5);

    const MoveCand own = aitest::Move(3, -2, 21, 17, 21, 18);
    const MoveCand same = MoveInMoverView(own);
    EXPECT_EQ(std::memcmp(&own, &same, sizeof own), 0);

    const MoveCand giveUp = MoveInMoverView(aitest::Move(-2, -2, 22, 22, 22, 22, 3));
    EXPECT_EQ(giveUp.mover, -2);
    EXPECT_EQ(giveUp.fromX, 22);
    EXPECT_EQ(giveUp.outcome, 0);
}

}  // namespace
}  // namespace jq
