// What the computer player's tests share: its headers, hand-built positions on top of the shared board scenes
// (a workspace on an empty board, case-table scenes) and a fixture with a seeded generator and a stop flag.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <random>
#include <span>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "ai/choose0.h"
#include "ai/choose12.h"
#include "ai/derivedmoves.h"
#include "ai/evaluate.h"
#include "ai/expectation.h"
#include "ai/expected.h"
#include "ai/flagdefence.h"
#include "ai/inference.h"
#include "ai/movegen.h"
#include "ai/relations.h"
#include "ai/workspace.h"
#include "core/combat.h"
#include "support/scene.h"

namespace jq::aitest {

using test::PointAt;
using test::Put;
using test::PutAt;
using test::SetAllRows;
using test::SetRow;

// Every piece off the board, every row the army's shares.
inline void ClearTable(PieceTable& t) {
    test::ClearBoard(t);
    test::ArmyBeliefs(t);
}

// Every row even over the codes that move.
inline void EvenBeliefs(PieceTable& t) {
    for (PieceRec& pc : t)
        for (auto& row : pc.beliefs)
            for (int c = 1; c <= 12; ++c) row[c - 1] = c >= kBomb ? 10.0f : 0.0f;
}

inline std::unique_ptr<AiWorkspace> MakeWorkspace(bool even = false) {
    auto w = std::make_unique<AiWorkspace>();
    std::memcpy(w->game.pieceValues, kInitialPieceValues, sizeof w->game.pieceValues);
    ClearTable(w->game.pieces);
    if (even) EvenBeliefs(w->game.pieces);
    return w;
}

inline MoveCand Move(int mover, int target, int x1, int y1, int x2, int y2, int outcome = 1,
                     float score = 0.0f) {
    return {mover, target, x1, y1, x2, y2, outcome, score};
}

// A random board: about 60 live pieces of every code, engineers plentiful, on distinct points; beliefs left
// as they are.
inline void RandomBoard(std::mt19937& rng, PieceTable& t) {
    for (PieceRec& pc : t) pc.alive = 0;
    std::vector<int> points(kPointCount);
    for (int p = 0; p < kPointCount; ++p) points[p] = p;
    std::shuffle(points.begin(), points.end(), rng);
    for (int i = 0, next = 0; i < kPieceCount; ++i)
        if (rng() % 10 >= 4) PutAt(t, i, rng() % 3 == 0 ? kEngineer : 1 + static_cast<int>(rng() % 12), points[next++]);
}

// A row of `code` A and B with their weights, every other code 0.
inline void Row2(float* row, int codeA, float weightA, int codeB = 0, float weightB = 0) {
    SetRow(row, {{codeA, weightA}});
    if (codeB != 0) row[codeB - 1] = weightB;
}

// A scene for case tables: pieces on board points, and belief rows of one observer (-1: every observer) with
// up to two codes.
struct Pc {
    int index = -1, code = 0, point = 0;
};
struct Bel {
    int piece = -1, observer = -1, codeA = 0;
    float weightA = 0;
    int codeB = 0;
    float weightB = 0;
};
template <size_t P, size_t B>
void Apply(PieceTable& t, const Pc (&pieces)[P], const Bel (&beliefs)[B]) {
    for (const Pc& p : pieces)
        if (p.index >= 0) PutAt(t, p.index, p.code, p.point);
    for (const Bel& b : beliefs)
        for (int s = 0; s < kSeats && b.piece >= 0; ++s)
            if (b.observer < 0 || b.observer == s) Row2(t[b.piece].beliefs[s], b.codeA, b.weightA, b.codeB, b.weightB);
}

// The upper levels' empty board: even beliefs, a seeded generator, a stop flag.
class PositionTest : public ::testing::Test {
protected:
    PositionTest() {
        w->abortRequested = &abort;
        rng.Seed(12345);
        w->random = &rng;
    }
    PieceTable& Pieces() { return w->game.pieces; }
    void Clear() {
        test::ClearBoard(Pieces());
        EvenBeliefs(Pieces());
    }
    void Put(int index, int code, int point) { PutAt(Pieces(), index, code, point); }
    void Believe(int piece, int observer, std::initializer_list<std::pair<int, float>> weights) {
        SetRow(Pieces()[piece].beliefs[observer], weights);
    }

    std::unique_ptr<AiWorkspace> w = MakeWorkspace(true);
    std::atomic<int> abort{0};
    GameRandom rng;
};

}  // namespace jq::aitest
