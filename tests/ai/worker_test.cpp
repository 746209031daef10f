#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "ai/aithread.h"
#include "ai/choose0.h"
#include "ai/selfplay.h"
#include "ai/ui/aihandover.h"
#include "core/qipan.h"
#include "position.h"
#include "records/battlefile.h"
#include "records/fileio.h"
#include "support/lan_fakes.h"
#include "support/recording_ui.h"

namespace jq {
namespace {

using namespace std::chrono_literals;

// Notes the thread the hand-over shows its figures on.
class LabelUi : public test::RecordingUi {
public:
    void SetDiagnosticLabel(int index, const std::string& text) override {
        RecordingUi::SetDiagnosticLabel(index, text);
        onThread = std::this_thread::get_id();
    }
    std::thread::id onThread;
};

// What the worker hands over, kept for the test to carry out.
struct HandOver {
    MoveCand move;
    uint64_t token = 0;
};
class Collector {
public:
    void Post(const MoveCand& m, uint64_t token) {
        std::lock_guard lock(mutex_);
        items_.push_back({m, token});
        cv_.notify_all();
    }
    bool Wait(std::chrono::milliseconds limit = 60s) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, limit, [&] { return !items_.empty(); });
    }
    std::vector<HandOver> Take() {
        std::lock_guard lock(mutex_);
        return std::exchange(items_, {});
    }
    HandOver Next() {
        EXPECT_TRUE(Wait());
        auto items = Take();
        EXPECT_EQ(items.size(), 1u);
        return items.empty() ? HandOver{} : items[0];
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<HandOver> items_;
};

// Four armies dealt, seat 1 to move.
std::unique_ptr<GameState> DealtGame(GameUi& ui, int seat) {
    auto g = std::make_unique<GameState>();
    g->ui = &ui;
    aitest::ClearTable(g->pieces);
    test::DeployArmy(g->pieces);
    g->curSeat = seat;
    g->battleRunning = 1;
    g->zfChosenIndex[0] = 17;
    g->zfChosenIndex[2] = 402;
    return g;
}

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g = DealtGame(ui, 1);
        worker = std::make_unique<AIDominate>(*g, [this](MoveCand m, uint64_t t) { collector.Post(m, t); });
        g->computer = worker.get();
    }
    void TearDown() override { worker.reset(); }
    // Carries out what was handed over; true when the board changed.
    bool Deliver(const HandOver& item) {
        const int before = g->stepCount;
        ExecuteComputerMove(*g, item.move, item.token);
        return g->stepCount != before;
    }

    LabelUi ui;
    std::unique_ptr<GameState> g;
    Collector collector;
    std::unique_ptr<AIDominate> worker;
};

TEST_F(WorkerTest, MoveIsCarriedOutOnceAndTheWorkerStaysBusyUntilThen) {
    worker->Stop();  // idle: nothing to stop
    EXPECT_TRUE(worker->IsIdle());
    worker->Resume();
    ASSERT_TRUE(collector.Wait());
    EXPECT_FALSE(worker->IsIdle());  // the hand-over is pending
    worker->Resume();                // not woken twice
    std::this_thread::sleep_for(20ms);
    auto items = collector.Take();
    ASSERT_EQ(items.size(), 1u);
    const MoveCand m = items[0].move;
    EXPECT_EQ(SeatOf(m.mover), 1);
    EXPECT_TRUE(Deliver(items[0]));
    EXPECT_TRUE(worker->IsIdle());
    EXPECT_EQ(g->stepRecords[0], (StepRec{m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome}));
    EXPECT_EQ(ui.diagnostics[4], "17=402");
    EXPECT_FALSE(Deliver(items[0]));
}

TEST_F(WorkerTest, StopDuringTheSearchOrWithTheHandOverPendingDropsTheMove) {
    const PieceTable before = g->pieces;
    worker->Resume();
    worker->Stop();
    EXPECT_TRUE(worker->IsIdle());
    EXPECT_EQ(worker->abortRequested.load(), 0);
    for (const auto& item : collector.Take()) EXPECT_FALSE(Deliver(item));
    EXPECT_EQ(std::memcmp(&before, &g->pieces, sizeof before), 0);

    worker->Resume();
    ASSERT_TRUE(collector.Wait());
    worker->Stop();
    EXPECT_TRUE(worker->IsIdle());
    for (const auto& item : collector.Take()) EXPECT_FALSE(Deliver(item));
    EXPECT_TRUE(ui.diagnostics[4].empty());  // a dropped move shows nothing
    worker->Resume();
    EXPECT_TRUE(Deliver(collector.Next()));
}

TEST_F(WorkerTest, StaleHandOverArrivingWhileANewerOneIsPendingIsDropped) {
    worker->Resume();
    const auto stale = collector.Next();
    worker->Stop();
    worker->Resume();  // the same position, a new search
    const auto fresh = collector.Next();
    EXPECT_FALSE(Deliver(stale));
    EXPECT_FALSE(worker->IsIdle()) << "the newer hand-over is still pending";
    EXPECT_TRUE(Deliver(fresh));
    EXPECT_EQ(g->stepCount, 1);
    EXPECT_TRUE(worker->IsIdle());
}

TEST_F(WorkerTest, AbortFlagAtTheHandOverShowsButCarriesOutNothing) {
    worker->Resume();
    const auto item = collector.Next();
    worker->abortRequested = 1;
    EXPECT_FALSE(Deliver(item));
    EXPECT_EQ(ui.diagnostics[4], "17=402");
    EXPECT_TRUE(worker->IsIdle());
}

TEST_F(WorkerTest, MoveForAPositionThatIsGoneIsDropped) {
    worker->Resume();
    const auto first = collector.Next();
    g->stepCount = 3;  // play went on meanwhile
    EXPECT_FALSE(Deliver(first));
    EXPECT_TRUE(ui.diagnostics[4].empty());
    EXPECT_TRUE(worker->IsIdle());
    g->stepCount = 0;
    worker->Resume();
    const auto second = collector.Next();
    g->curSeat = 2;
    EXPECT_FALSE(Deliver(second));
    EXPECT_TRUE(worker->IsIdle());
}

// A seat without a move, a move the board refuses (its mover gone) and a
// move of another seat all become the give-up of the seat to move.
TEST_F(WorkerTest, GiveUpWhenThereIsNoMoveOrTheBoardRefusesIt) {
    for (int variant = 0; variant < 3; ++variant) {
        TearDown();
        SetUp();
        if (variant == 0)
            for (int p = 25; p < 50; ++p)
                if (g->pieces[p].code != kFlag && g->pieces[p].code != kMine) g->pieces[p].alive = 0;
        worker->Resume();
        HandOver item = collector.Next();
        if (variant == 1) g->pieces[item.move.mover].alive = 0;
        if (variant == 2) item.move = aitest::Move(4, kNoPiece, 22, 17, 22, 18);
        EXPECT_TRUE(Deliver(item)) << variant;
        EXPECT_EQ(g->stepRecords[0], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 1})) << variant;
        EXPECT_EQ(g->netMoveRecord.mover, kNoPiece);
        for (int p = 25; p < 50; ++p) EXPECT_EQ(g->pieces[p].alive, 0) << p;
        EXPECT_NE(g->curSeat, 1);
        EXPECT_TRUE(worker->IsIdle());
        EXPECT_EQ(g->pieces[4].y, 17);
    }
}

// In a LAN battle the move is sent in the mover's own view (its seat as
// seat 0), not carried out.
TEST_F(WorkerTest, LanMoveIsSentInTheMoversView) {
    net::LanSession lan(*g);
    testing::FakeClientLink link;
    lan.AttachClient(&link);
    g->lan = &lan;
    g->netConnected = 1;
    g->netMyTurn = 1;
    worker->Resume();
    const auto item = collector.Next();
    EXPECT_FALSE(Deliver({item.move, item.token + 1}));  // a foreign token
    EXPECT_FALSE(worker->IsIdle());
    EXPECT_FALSE(Deliver(item));
    EXPECT_EQ(g->netMyTurn, 0);
    const MoveCand& sent = g->netMoveRecord;
    const GridPoint from = TurnGridPoint({item.move.fromX, item.move.fromY}, 1);
    EXPECT_EQ(std::tie(sent.mover, sent.fromX, sent.fromY), std::make_tuple(item.move.mover - 25, from.x, from.y));
    EXPECT_TRUE(worker->IsIdle());
    // A target is counted from the mover's seat.
    EXPECT_EQ(MoveInMoverView(aitest::Move(30, 5, 23, 18, 22, 17)).target, 3 * 25 + 5);
    EXPECT_EQ(MoveInMoverView(aitest::Move(kNoPiece, kNoPiece, 22, 22, 22, 22, 3)).outcome, 0);
}

TEST_F(WorkerTest, UpperLevelsStartTheMoveClockWhenTheyStartThinking) {
    ui.clock.seconds = 5000;
    g->turnClock.seconds = 100;
    worker->Resume();
    EXPECT_EQ(g->turnClock.seconds, 100);
    worker->Stop();
    g->optionsRecord.aiLevel = 1;
    worker->Resume();
    EXPECT_EQ(g->turnClock.seconds, 5000);
}

// Searches started and stopped at random moments: after every stop the
// worker is at rest and nothing it found can still land; moves carried out
// are carried out once; destroying it while it thinks joins it.
TEST_F(WorkerTest, RandomStartsAndStops) {
    std::mt19937 rng(12345);
    int executed = 0;
    for (int round = 0; round < 100; ++round) {
        worker->Resume();
        const int action = static_cast<int>(rng() % 4);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
        if (action == 0) {
            ASSERT_TRUE(collector.Wait());
            for (const auto& item : collector.Take()) executed += Deliver(item);
            EXPECT_TRUE(worker->IsIdle());
            continue;
        }
        if (action == 1) collector.Wait(std::chrono::milliseconds(rng() % 20));
        worker->Stop();
        EXPECT_TRUE(worker->IsIdle());
        EXPECT_EQ(worker->abortRequested.load(), 0);
        for (const auto& item : collector.Take()) EXPECT_FALSE(Deliver(item));
        if (g->curSeat == 0) g->curSeat = 1;
    }
    EXPECT_EQ(g->stepCount, executed);
    worker->Resume();
    worker.reset();
}

// The bomb's value is the worker's own: each search goes on from the value
// the previous one left.
TEST(WorkerMemory, BombValueGoesOnFromTheLastSearch) {
    LabelUi ui;
    auto g = std::make_unique<GameState>();
    g->ui = &ui;
    aitest::ClearTable(g->pieces);
    // Seat 1's bomb two steps from seat 0's flag, which it knows: only the
    // flag plan values the bomb, after every score is made.
    test::PutAt(g->pieces, 21, kFlag, 21);
    test::SetRow(g->pieces[21].beliefs[1], {{kFlag, 100.0f}});
    test::PutAt(g->pieces, 30, kBomb, 12);
    g->curSeat = 1;
    Collector collector;
    AIDominate worker(*g, [&collector](MoveCand m, uint64_t t) { collector.Post(m, t); });
    float handed[2];
    for (float& score : handed) {
        ASSERT_TRUE(worker.SetSeed(42));
        worker.Resume();
        score = collector.Next().move.score;
        worker.Stop();
    }
    // The same two searches on workspaces of their own.
    auto own = std::make_unique<AiWorkspace>();
    float bomb = 0.0f;
    for (int i = 0; i < 2; ++i) {
        TakeSnapshot(*g, own->game);
        if (i == 1) own->game.pieceValues[2] = bomb;
        own->ownRandom.Seed(42);
        ASSERT_TRUE(ChooseMove(*own));
        bomb = own->game.pieceValues[2];
        EXPECT_EQ(handed[i], own->aiMoveList.list[0].score) << i;
    }
    EXPECT_NE(handed[0], handed[1]);
}

// The window's worker: the move reaches the window's thread as a queued
// call, dropped when the window is gone.
TEST(WindowHandOver, MoveIsCarriedOutOnTheWindowsThreadUnlessTheWindowIsGone) {
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "ai_tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }
    for (bool windowGoes : {false, true}) {
        LabelUi ui;
        auto g = DealtGame(ui, 2);
        auto window = std::make_unique<QObject>();
        auto worker = CreateWindowComputerPlayer(window.get(), *g);
        g->computer = worker.get();
        worker->Resume();
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (worker->LastThinkMs() == 0.0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        std::this_thread::sleep_for(50ms);
        if (windowGoes) window.reset();
        do {
            QCoreApplication::processEvents();
        } while (!windowGoes && g->stepCount == 0 && std::chrono::steady_clock::now() < deadline);
        EXPECT_EQ(g->stepCount, windowGoes ? 0 : 1);
        if (!windowGoes) EXPECT_EQ(ui.onThread, std::this_thread::get_id());
        worker->Stop();
        EXPECT_TRUE(worker->IsIdle());
        worker.reset();
    }
}

// One whole battle per level with the computer in every seat: it ends with
// a result, and the battle driver finds every step legal and every position
// sound. The record written decodes to the steps played.
TEST(SelfPlay, OneSeededBattlePerLevelEndsSoundly) {
    const auto folder = std::filesystem::temp_directory_path() / ("jq-selfplay-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (int level : {0, 1, 2}) {
        SelfPlayOptions o;
        for (int& l : o.levels) l = level;
        o.seed = 6;
        o.dataFolder = folder.string();  // no database, no statistics: generated armies
        o.recordPath = (folder / ("battle-" + std::to_string(level) + ".kbt")).string();
        const SelfPlayResult r = PlaySelfBattle(o);
        EXPECT_EQ(r.failure, "") << "level " << level;
        EXPECT_GE(r.result, 0) << "level " << level;
        EXPECT_LE(r.result, 2);
        ASSERT_GT(r.steps, 0);
        for (const SelfPlayMove& m : r.moves) ASSERT_EQ(m.level, level);

        const auto bytes = ReadFileBytes(o.recordPath, kBattleFileMaxBytes);
        ASSERT_TRUE(bytes.has_value());
        const BattleDecodeResult decoded = DecodeBattleFile(*bytes);
        EXPECT_EQ(decoded.error, BattleFileError::kNone);
        EXPECT_EQ(static_cast<int>(decoded.file.moves.size()), r.steps);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace jq
