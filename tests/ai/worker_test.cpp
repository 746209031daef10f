#include <QCoreApplication>
#include <QObject>
#include <pthread.h>
#include <time.h>

#include <functional>
#include <mutex>

#include "ai/aithread.h"
#include "ai/selfplay.h"
#include "ai/ui/aihandover.h"
#include "core/qipan.h"
#include "position.h"
#include "records/battlefile.h"
#include "support/files_support.h"
#include "support/lan_fakes.h"
#include "support/recording_ui.h"

namespace jq::aitest {
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
struct Collector {
    // Waits up to `limit` for a hand-over, then takes every one there is.
    std::vector<HandOver> Take(std::chrono::milliseconds limit = 0ms) {
        for (const auto end = std::chrono::steady_clock::now() + limit;; std::this_thread::sleep_for(1ms)) {
            std::lock_guard lock(mutex);
            if (!items.empty() || std::chrono::steady_clock::now() >= end) return std::exchange(items, {});
        }
    }
    HandOver Next() {
        auto taken = Take(60s);
        EXPECT_EQ(taken.size(), 1u);
        return taken.empty() ? HandOver{} : taken[0];
    }
    std::function<void(MoveCand, uint64_t)> Sink() {
        return [this](MoveCand m, uint64_t token) {
            std::lock_guard lock(mutex);
            items.push_back({m, token});
        };
    }
    std::mutex mutex;
    std::vector<HandOver> items;
};

// Four armies dealt, `seat` to move.
std::unique_ptr<GameState> DealtGame(GameUi& ui, int seat) {
    auto g = std::make_unique<GameState>();
    g->ui = &ui;
    test::ArmyBeliefs(g->pieces);
    test::LayOutBattle(*g, test::kArmy, seat);
    g->zfChosenIndex[0] = 17;
    g->zfChosenIndex[2] = 402;
    return g;
}

class WorkerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g = DealtGame(ui, 1);
        worker = std::make_unique<AIDominate>(*g, collector.Sink());
        g->computer = worker.get();
    }
    void TearDown() override { worker.reset(); }
    // Carries out what was handed over; true when the board changed.
    bool Deliver(const HandOver& item) {
        const int before = g->stepCount;
        ExecuteComputerMove(*g, item.move, item.token);
        return g->stepCount != before;
    }
    // A search started and its hand-over awaited.
    HandOver Search() {
        worker->Resume();
        return collector.Next();
    }

    LabelUi ui;
    std::unique_ptr<GameState> g;
    Collector collector;
    std::unique_ptr<AIDominate> worker;
};

// The basic level leaves the move clock alone, the upper ones start it.
TEST_F(WorkerTest, MoveIsCarriedOutOnceAndTheWorkerStaysBusyUntilThen) {
    ui.clock.seconds = 5000;
    g->lastActivity.seconds = 100;
    worker->Stop();  // idle: nothing to stop
    EXPECT_TRUE(worker->IsIdle());
    const HandOver item = Search();
    EXPECT_EQ(g->lastActivity.seconds, 100);
    EXPECT_FALSE(worker->IsIdle());  // the hand-over is pending
    worker->Resume();                // not woken twice
    EXPECT_TRUE(collector.Take(20ms).empty());
    const MoveCand m = item.move;
    EXPECT_EQ(SeatOf(m.mover), 1);
    EXPECT_TRUE(Deliver(item));
    EXPECT_TRUE(worker->IsIdle());
    EXPECT_EQ(g->stepRecords[0], (StepRec{m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome}));
    EXPECT_EQ(ui.diagnostics[4], "17=402");
    EXPECT_FALSE(Deliver(item));
    g->lastActivity.seconds = 100;
    g->optionsRecord.aiLevel = 1;
    worker->Resume();
    EXPECT_EQ(g->lastActivity.seconds, 5000);
}

// A stop with the hand-over pending drops it: arriving while a newer one is pending, it shows nothing and
// changes nothing.
TEST_F(WorkerTest, StaleHandOverArrivingWhileANewerOneIsPendingIsDropped) {
    const auto stale = Search();
    worker->Stop();
    const auto fresh = Search();  // the same position, a new search
    EXPECT_FALSE(Deliver(stale));
    EXPECT_TRUE(ui.diagnostics[4].empty());
    EXPECT_FALSE(worker->IsIdle()) << "the newer hand-over is still pending";
    EXPECT_TRUE(Deliver(fresh));
    EXPECT_EQ(g->stepCount, 1);
    EXPECT_TRUE(worker->IsIdle());
}

// A hand-over with the abort flag raised shows its figures but carries out nothing; one for a position that
// is gone (play went on, another seat to move) shows nothing either.
TEST_F(WorkerTest, AbortedOrOutdatedHandOverIsDropped) {
    for (int variant = 0; variant < 3; ++variant) {
        const auto item = Search();
        if (variant == 0) worker->abortRequested = 1;
        if (variant == 1) g->stepCount = 3;
        if (variant == 2) g->curSeat = 2;
        EXPECT_FALSE(Deliver(item)) << variant;
        EXPECT_EQ(ui.diagnostics[4], variant == 0 ? "17=402" : "") << variant;
        EXPECT_TRUE(worker->IsIdle()) << variant;
        g->stepCount = 0;
        g->curSeat = 1;
        ui.diagnostics[4].clear();
    }
}

// A seat without a move, a move the board refuses (its mover gone) and a move of another seat all become the
// give-up of the seat to move.
TEST_F(WorkerTest, GiveUpWhenThereIsNoMoveOrTheBoardRefusesIt) {
    for (int variant = 0; variant < 3; ++variant) {
        TearDown();
        SetUp();
        for (int p = 25; p < 50 && variant == 0; ++p)
            if (g->pieces[p].code != kFlag && g->pieces[p].code != kMine) g->pieces[p].alive = 0;
        HandOver item = Search();
        if (variant == 1) g->pieces[item.move.mover].alive = 0;
        if (variant == 2) item.move = Move(4, kNoPiece, 22, 17, 22, 18);
        EXPECT_TRUE(Deliver(item)) << variant;
        EXPECT_EQ(g->stepRecords[0], (StepRec{kNoPiece, kNoPiece, 22, 22, 22, 22, 1})) << variant;
        EXPECT_EQ(std::make_tuple(g->netMoveRecord.mover, g->pieces[4].y), std::make_tuple(kNoPiece, 17));
        for (int p = 25; p < 50; ++p) EXPECT_EQ(g->pieces[p].alive, 0) << p;
        EXPECT_NE(g->curSeat, 1);
        EXPECT_TRUE(worker->IsIdle());
    }
}

// In a LAN battle the move is sent in the mover's own view (its seat as seat 0, a target counted from it),
// not carried out.
TEST_F(WorkerTest, LanMoveIsSentInTheMoversView) {
    net::LanSession lan(*g);
    testing::FakeClientLink link;
    lan.AttachClient(&link);
    g->lan = &lan;
    g->netConnected = g->netMyTurn = 1;
    g->netState = net::kNetBattle;
    const auto item = Search();
    EXPECT_FALSE(Deliver({item.move, item.token + 1}));  // a foreign token
    EXPECT_FALSE(worker->IsIdle());
    EXPECT_FALSE(Deliver(item));
    EXPECT_EQ(g->netMyTurn, 0);
    const MoveCand& sent = g->netMoveRecord;
    const GridPoint from = TurnGridPoint({item.move.fromX, item.move.fromY}, 1);
    EXPECT_EQ(std::tie(sent.mover, sent.fromX, sent.fromY), std::make_tuple(item.move.mover - 25, from.x, from.y));
    EXPECT_TRUE(worker->IsIdle());
    EXPECT_EQ(MoveInMoverView(Move(30, 5, 23, 18, 22, 17)).target, 3 * 25 + 5);
    EXPECT_EQ(MoveInMoverView(Move(kNoPiece, kNoPiece, 22, 22, 22, 22, 3)).outcome, 0);
}

// Searches started and stopped at random moments: after every stop the worker is at rest and nothing it found
// can still land or change the board; moves carried out are carried out once; destroying it while it thinks
// joins it.
TEST_F(WorkerTest, RandomStartsAndStops) {
    std::mt19937 rng(12345);
    int executed = 0;
    for (int round = 0; round < 100; ++round) {
        worker->Resume();
        const int action = static_cast<int>(rng() % 4);
        std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
        if (action == 0) {
            for (const auto& item : collector.Take(60s)) executed += Deliver(item);
            EXPECT_TRUE(worker->IsIdle());
            continue;
        }
        if (action == 1) std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 20));
        worker->Stop();
        EXPECT_TRUE(worker->IsIdle());
        EXPECT_EQ(worker->abortRequested.load(), 0);
        const PieceTable before = g->pieces;
        for (const auto& item : collector.Take()) EXPECT_FALSE(Deliver(item));
        EXPECT_EQ(std::memcmp(&before, &g->pieces, sizeof before), 0);
        if (g->curSeat == 0) g->curSeat = 1;
    }
    EXPECT_EQ(g->stepCount, executed);
    worker->Resume();
    worker.reset();
}

// The bomb's value is the worker's own: each search goes on from the value the previous one left. Seat 1's
// bomb two steps from seat 0's flag, which it knows: only the flag plan values the bomb, after every score is
// made.
TEST_F(WorkerTest, BombValueGoesOnFromTheLastSearch) {
    ClearTable(g->pieces);
    PutAt(g->pieces, 21, kFlag, 21);
    SetRow(g->pieces[21].beliefs[1], {{kFlag, 100.0f}});
    PutAt(g->pieces, 30, kBomb, 12);
    auto own = std::make_unique<AiWorkspace>();  // the same two searches on a workspace of its own
    float handed[2], bomb = 0.0f;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(worker->SetSeed(42));
        handed[i] = Search().move.score;
        worker->Stop();
        TakeSnapshot(*g, own->game);
        if (i == 1) own->game.pieceValues[2] = bomb;
        own->ownRandom.Seed(42);
        ASSERT_TRUE(ChooseMove(*own));
        bomb = own->game.pieceValues[2];
        EXPECT_EQ(handed[i], own->aiMoveList.list[0].score) << i;
    }
    EXPECT_NE(handed[0], handed[1]);
}

// A busy middle game: the armies dealt with holes in their lines, two pieces of every seat in the centre, and
// every flag known to every seat, so the upper levels plan attacks and defences.
void MiddleGame(GameState& g) {
    for (int s = 0; s < kSeats; ++s) {
        for (int slot : {0, 5, 9, 13}) g.pieces[test::PieceOf(s, slot)].alive = 0;
        PutAt(g.pieces, test::PieceOf(s, 1), test::kArmy[1], 120 + 2 * s);
        PutAt(g.pieces, test::PieceOf(s, 3), test::kArmy[3], 121 + 2 * s);
        SetAllRows(g.pieces[test::PieceOf(s, 21)], {{kFlag, 100.0f}});
    }
    g.stepCount = 60;
}

double CpuMs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

// A whole search of every level, asked to stop soon after it starts, ends at once: the worker is at rest,
// nothing is handed over, and destroying it joins its thread. The same search on a thread of the test's own,
// stopped once it has spent a tenth of the processor time the whole search takes, must end reporting the stop
// well before it has spent the whole (processor time, so a loaded machine does not change the verdict).
TEST_F(WorkerTest, StopEndsAWholeSearchOfEveryLevelPromptly) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kBound = 3s;
    MiddleGame(*g);
    for (int level : {0, 1, 2}) {
        g->optionsRecord.aiLevel = level;
        worker->Resume();
        std::this_thread::sleep_for(2ms);
        const auto asked = Clock::now();
        worker->Stop();
        EXPECT_LT(Clock::now() - asked, kBound) << level;
        EXPECT_TRUE(worker->IsIdle()) << level;
        EXPECT_TRUE(collector.Take(10ms).empty()) << level;

        auto w = std::make_unique<AiWorkspace>();
        TakeSnapshot(*g, w->game);
        const double started = CpuMs(CLOCK_THREAD_CPUTIME_ID);
        ASSERT_TRUE(ChooseMove(*w));
        const double whole = CpuMs(CLOCK_THREAD_CPUTIME_ID) - started;
        std::atomic<int> stop{0};
        w->abortRequested = &stop;
        bool finished = true;
        double spent = whole;
        // A stop that comes late because this thread was kept waiting is tried again.
        for (int attempt = 0; attempt < 3 && (finished || spent >= whole * 0.75); ++attempt) {
            TakeSnapshot(*g, w->game);
            stop = 0;
            std::thread search([&] {
                const double from = CpuMs(CLOCK_THREAD_CPUTIME_ID);
                finished = ChooseMove(*w);
                spent = CpuMs(CLOCK_THREAD_CPUTIME_ID) - from;
            });
            clockid_t clock;
            ASSERT_EQ(pthread_getcpuclockid(search.native_handle(), &clock), 0);
            const auto deadline = Clock::now() + kBound;
            while (CpuMs(clock) < whole / 10 && Clock::now() < deadline) std::this_thread::yield();
            stop = 1;
            search.join();
        }
        EXPECT_FALSE(finished) << level;
        EXPECT_LT(spent, whole * 0.75) << level << ": " << spent << " of " << whole << " ms";
    }
    worker->Resume();
    const auto asked = Clock::now();
    worker.reset();
    EXPECT_LT(Clock::now() - asked, kBound);
}

// The window's worker: the move reaches the window's thread as a queued call, dropped when the window is
// gone.
TEST(WindowHandOver, MoveIsCarriedOutOnTheWindowsThreadUnlessTheWindowIsGone) {
    static int argc = 1;
    static char name[] = "ai_tests", *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
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
        do QCoreApplication::processEvents();
        while (!windowGoes && g->stepCount == 0 && std::chrono::steady_clock::now() < deadline);
        EXPECT_EQ(g->stepCount, windowGoes ? 0 : 1);
        EXPECT_EQ(ui.onThread, windowGoes ? std::thread::id() : std::this_thread::get_id());
        worker->Stop();
        EXPECT_TRUE(worker->IsIdle());
    }
}

// One whole battle per level with the computer in every seat: it ends with a result, and the battle driver
// finds every step legal and every position sound. The record written decodes to the steps played.
TEST(SelfPlay, OneSeededBattlePerLevelEndsSoundly) {
    const test::ScratchFolder folder;
    for (int level : {0, 1, 2}) {
        SelfPlayOptions o;
        for (int& l : o.levels) l = level;
        o.seed = 6;
        o.dataFolder = folder.Plain();  // no database, no statistics: generated armies
        o.recordPath = folder.Path("battle.kbt");
        const SelfPlayResult r = PlaySelfBattle(o);
        EXPECT_EQ(r.failure, "") << "level " << level;
        EXPECT_TRUE(r.result >= 0 && r.result <= 2 && r.steps > 0) << r.result << " " << r.steps;
        const BattleDecodeResult decoded = DecodeBattleFile(folder.Read("battle.kbt"));
        EXPECT_EQ(decoded.error, BattleFileError::kNone);
        EXPECT_EQ(static_cast<int>(decoded.file.moves.size()), r.steps);
    }
}

}  // namespace
}  // namespace jq::aitest
