// Timing of the rules the computer player leans on: the move test with its
// path, over random mid-game boards (every live piece to every point), and
// the combat decision.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "core/board.h"
#include "core/combat.h"
#include "core/pathfind.h"

namespace {

using namespace jq;

// The 25 codes a seat deploys.
constexpr int kSeatCodes[kPiecesPerSeat] = {1, 2, 2, 2, 3, 3, 4, 5, 6, 6, 7, 7, 8,
                                            8, 9, 9, 10, 10, 10, 11, 11, 11, 12, 12, 12};

struct Position {
    PieceTable table{};
    PieceGrid grid;
};

struct Query {
    int position;
    int piece;
    int x1, y1, x2, y2;
};

struct Workload {
    std::vector<Position> positions;
    std::vector<Query> queries;
};

// Boards as they look some way into a battle: 40 to 70 live pieces of the
// usual codes on distinct random points.
const Workload& MidGameWorkload() {
    static const Workload w = [] {
        Workload out;
        std::mt19937 rng(424242);
        for (int b = 0; b < 32; ++b) {
            Position pos;
            std::vector<int> points(kPointCount);
            for (int i = 0; i < kPointCount; ++i) points[i] = i;
            std::shuffle(points.begin(), points.end(), rng);
            std::vector<int> order(kPieceCount);
            for (int i = 0; i < kPieceCount; ++i) order[i] = i;
            std::shuffle(order.begin(), order.end(), rng);
            const int live = std::uniform_int_distribution<int>(40, 70)(rng);
            for (int k = 0; k < kPieceCount; ++k) {
                PieceRec& p = pos.table[order[k]];
                const BoardPoint& bp = Board().boardPoints[points[k]];
                p.x = bp.gridX;
                p.y = bp.gridY;
                p.code = kSeatCodes[order[k] % kPiecesPerSeat];
                p.alive = k < live ? 1 : 0;
            }
            pos.grid.Fill(pos.table);
            const int index = static_cast<int>(out.positions.size());
            out.positions.push_back(pos);
            for (int piece = 0; piece < kPieceCount; ++piece) {
                const PieceRec& p = pos.table[piece];
                if (p.alive != 1) continue;
                for (int t = 0; t < kPointCount; ++t) {
                    const BoardPoint& bp = Board().boardPoints[t];
                    out.queries.push_back({index, piece, p.x, p.y, bp.gridX, bp.gridY});
                }
            }
        }
        return out;
    }();
    return w;
}

// One iteration is one call; the reported time is the time per call.
void RunFindMovePath(benchmark::State& state, bool withGrid) {
    const Workload& w = MidGameWorkload();
    PathWork work(Board());
    PathBuffer out;
    size_t i = 0;
    for (auto _ : state) {
        const Query& q = w.queries[i];
        const Position& pos = w.positions[q.position];
        const int n = FindMovePath(work, q.piece, q.x1, q.y1, q.x2, q.y2, out, pos.table,
                                   withGrid ? &pos.grid : nullptr);
        benchmark::DoNotOptimize(n);
        if (++i == w.queries.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_FindMovePath_Table(benchmark::State& state) { RunFindMovePath(state, false); }
void BM_FindMovePath_Grid(benchmark::State& state) { RunFindMovePath(state, true); }

// Only the costly case: engineers sent two or more cells away, which ends
// in the railway search whenever no straight or corner run exists.
void BM_FindMovePath_EngineerRuns(benchmark::State& state) {
    const Workload& w = MidGameWorkload();
    std::vector<Query> runs;
    for (const Query& q : w.queries) {
        const PieceRec& p = w.positions[q.position].table[q.piece];
        if (p.code == kEngineer && (std::abs(q.x1 - q.x2) >= 2 || std::abs(q.y1 - q.y2) >= 2))
            runs.push_back(q);
    }
    PathWork work(Board());
    PathBuffer out;
    size_t i = 0;
    for (auto _ : state) {
        const Query& q = runs[i];
        const Position& pos = w.positions[q.position];
        const int n = FindMovePath(work, q.piece, q.x1, q.y1, q.x2, q.y2, out, pos.table, &pos.grid);
        benchmark::DoNotOptimize(n);
        if (++i == runs.size()) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ResolveCombat(benchmark::State& state) {
    PieceTable table{};
    for (int i = 0; i < kPieceCount; ++i) table[i].code = kSeatCodes[i % kPiecesPerSeat];
    std::mt19937 rng(99);
    std::vector<std::pair<int, int>> pairs(4096);
    std::uniform_int_distribution<int> draw(0, kPieceCount - 1);
    for (auto& pr : pairs) pr = {draw(rng), draw(rng)};
    size_t i = 0;
    for (auto _ : state) {
        const auto& pr = pairs[i];
        benchmark::DoNotOptimize(ResolveCombat(table, pr.first, pr.second));
        i = (i + 1) & (pairs.size() - 1);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_FindMovePath_Table);
BENCHMARK(BM_FindMovePath_Grid);
BENCHMARK(BM_FindMovePath_EngineerRuns);
BENCHMARK(BM_ResolveCombat);

}  // namespace

BENCHMARK_MAIN();
