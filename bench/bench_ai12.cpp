// Timing of the upper levels' move choice ("中级", "高级") and its parts on
// the positions of a seeded battle against the computer: the opening deal
// of every seat, and the same boards with the thinking seat's flag and one
// enemy flag located (so both flag plans run).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "ai/choose12.h"
#include "ai/expected.h"
#include "ai/workspace.h"
#include "core/gameui.h"
#include "core/qipan.h"
#include "formations/newbattle.h"

namespace {

using namespace jq;

struct Positions {
    std::vector<AiSnapshot> snapshots;
};

const Positions& OpeningPositions() {
    static const Positions p = [] {
        Positions out;
        NullUi ui;
        auto g = std::make_unique<GameState>();
        g->ui = &ui;
        g->mainRandom.Seed(2024);
        NewBattleAgainstComputer(*g);
        for (int seat = 0; seat < kSeats; ++seat) {
            g->curSeat = seat;
            AiSnapshot s;
            TakeSnapshot(*g, s);
            out.snapshots.push_back(s);
        }
        return out;
    }();
    return p;
}

// The own flag and the flag of the next seat believed found.
void LocateFlags(AiSnapshot& s) {
    const int me = s.curSeat;
    const int enemy = (me + 1) % kSeats;
    for (int piece : {me * kPiecesPerSeat + 21, me * kPiecesPerSeat + 23, enemy * kPiecesPerSeat + 21,
                      enemy * kPiecesPerSeat + 23}) {
        if (s.pieces[piece].code != kFlag) continue;
        for (float& x : s.pieces[piece].beliefs[me]) x = 0.0f;
        s.pieces[piece].beliefs[me][kFlag - 1] = 100.0f;
    }
}

void RunChoice(benchmark::State& state, int level, bool flags) {
    auto w = std::make_unique<AiWorkspace>();
    const auto& positions = OpeningPositions().snapshots;
    size_t i = 0;
    for (auto _ : state) {
        w->game = positions[i++ % positions.size()];
        w->game.aiLevel = level;
        if (flags) LocateFlags(w->game);
        w->ownRandom.Seed(7);
        benchmark::DoNotOptimize(ChooseMoveAdvanced(*w));
    }
}

void BM_ChooseMiddleLevel(benchmark::State& state) { RunChoice(state, 1, false); }
void BM_ChooseTopLevel(benchmark::State& state) { RunChoice(state, 2, false); }
void BM_ChooseTopLevelFlagsLocated(benchmark::State& state) { RunChoice(state, 2, true); }

void BM_ExpectedOutcomeScoring(benchmark::State& state) {
    auto w = std::make_unique<AiWorkspace>();
    const auto& positions = OpeningPositions().snapshots;
    size_t i = 0;
    for (auto _ : state) {
        w->game = positions[i++ % positions.size()];
        MoveGenWork& gen = w->aiMoveList;
        const int n = GenerateMoves(gen, w->game.pieces, w->game.curSeat);
        benchmark::DoNotOptimize(EvaluateMovesExpected(*w, w->game.curSeat, n, gen.list, w->game.pieces));
    }
}

BENCHMARK(BM_ChooseMiddleLevel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseTopLevel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChooseTopLevelFlagsLocated)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExpectedOutcomeScoring)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
