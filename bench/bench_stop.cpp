// How long a stop takes: the computer player's worker is woken for the seat
// to move on a busy middle-game position and asked to stop while it thinks;
// the time measured is the stop alone, from the request until the worker is
// at rest (goal: well under 100 ms). The length of a whole search of the same
// level is printed beside it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <thread>

#include "ai/aithread.h"
#include "ai/choose0.h"
#include "ai/workspace.h"
#include "core/gameui.h"
#include "core/qipan.h"
#include "formations/newbattle.h"

namespace {

using namespace jq;
using Clock = std::chrono::steady_clock;

// A seeded deal opened up: holes in every seat's lines, two pieces of every
// seat in the centre, every flag known to every seat.
std::unique_ptr<GameState> MiddleGame(GameUi& ui) {
    auto g = std::make_unique<GameState>();
    g->ui = &ui;
    g->mainRandom.Seed(2024);
    NewBattleAgainstComputer(*g);
    const BoardTables& b = *g->board;
    for (int s = 0; s < kSeats; ++s) {
        const int base = s * kPiecesPerSeat;
        for (int slot : {0, 5, 9, 13}) g->pieces[base + slot].alive = 0;
        for (int k = 0; k < 2; ++k) {
            PieceRec& pc = g->pieces[base + 1 + 2 * k];
            pc.x = b.boardPoints[120 + 2 * s + k].gridX;
            pc.y = b.boardPoints[120 + 2 * s + k].gridY;
        }
        for (int slot : {21, 23}) {
            PieceRec& pc = g->pieces[base + slot];
            if (pc.code != kFlag) continue;
            for (auto& row : pc.beliefs) {
                for (float& x : row) x = 0.0f;
                row[kFlag - 1] = 100.0f;
            }
        }
    }
    g->stepCount = 60;
    return g;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// state.range(0): the level; state.range(1): milliseconds of thinking
// before the stop.
void BM_StopWhileThinking(benchmark::State& state) {
    NullUi ui;
    auto g = MiddleGame(ui);
    g->optionsRecord.aiLevel = static_cast<int32_t>(state.range(0));
    AIDominate worker(*g, [](MoveCand, uint64_t) {});
    g->computer = &worker;

    auto w = std::make_unique<AiWorkspace>();
    TakeSnapshot(*g, w->game);
    const auto started = Clock::now();
    ChooseMove(*w);
    state.counters["whole_search_ms"] = Ms(Clock::now() - started);

    double worst = 0.0;
    for (auto _ : state) {
        worker.Resume();
        std::this_thread::sleep_for(std::chrono::milliseconds(state.range(1)));
        const auto asked = Clock::now();
        worker.Stop();
        const double ms = Ms(Clock::now() - asked);
        worst = ms > worst ? ms : worst;
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["worst_stop_ms"] = worst;
}

BENCHMARK(BM_StopWhileThinking)
    ->ArgsProduct({{0, 1, 2}, {1, 10}})
    ->ArgNames({"level", "after_ms"})
    ->UseManualTime()
    ->Iterations(50)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
