// Hand-built positions for the computer player's tests: pieces put on board
// points, belief rows set by hand.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <utility>

#include "ai/expectation.h"
#include "ai/workspace.h"
#include "core/board.h"

namespace jq::aitest {

// The army's share of each code (sums to 100).
constexpr float kArmyRow[12] = {4, 12, 8, 4, 4, 8, 8, 8, 8, 12, 12, 12};
// One army, slot by slot.
constexpr int kArmy[25] = {8, 9, 10, 11, 12, 6, 7, 12, 10, 11, 9, 12, 7, 11, 10, 4, 2, 5, 2, 3, 8, 1, 2, 6, 3};

inline GridPoint At(int point) { return {Board().boardPoints[point].gridX, Board().boardPoints[point].gridY}; }

inline void SetRow(float row[12], std::initializer_list<std::pair<int, float>> weights) {
    for (int j = 0; j < 12; ++j) row[j] = 0.0f;
    for (const auto& [code, w] : weights) row[code - 1] = w;
}

inline void SetAllRows(PieceRec& p, std::initializer_list<std::pair<int, float>> weights) {
    for (auto& row : p.beliefs) SetRow(row, weights);
}

// An empty board: every piece off it, with the army's beliefs.
inline void ClearTable(PieceTable& t) {
    for (PieceRec& p : t) {
        p = PieceRec{};
        for (auto& row : p.beliefs) std::memcpy(row, kArmyRow, sizeof row);
    }
}

// A live piece of `code` on grid point (x, y), which becomes its start.
inline void Place(PieceTable& t, int piece, int code, int x, int y) {
    PieceRec& p = t[piece];
    p.code = code;
    p.alive = 1;
    p.x = p.startX = x;
    p.y = p.startY = y;
}

inline void PlaceAt(PieceTable& t, int piece, int code, int point) {
    const GridPoint g = At(point);
    Place(t, piece, code, g.x, g.y);
}

// A scene for case tables: pieces on board points, and belief rows of one
// observer (-1: every observer) with up to two codes.
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
        if (p.index >= 0) PlaceAt(t, p.index, p.code, p.point);
    for (const Bel& b : beliefs)
        for (int s = 0; s < kSeats && b.piece >= 0; ++s)
            if (b.observer < 0 || b.observer == s) {
                SetRow(t[b.piece].beliefs[s], {{b.codeA, b.weightA}});
                if (b.codeB != 0) t[b.piece].beliefs[s][b.codeB - 1] = b.weightB;
            }
}

// Four seats on their start points, each with kArmy.
inline void DealArmies(PieceTable& t) {
    for (int i = 0; i < kPieceCount; ++i) PlaceAt(t, i, kArmy[i % 25], (i / 25) * 30 + i % 25);
}

// Every row even over the codes that move.
inline void EvenBeliefs(PieceTable& t) {
    for (PieceRec& pc : t)
        for (auto& row : pc.beliefs) {
            for (float& x : row) x = 0.0f;
            for (int c = kBomb; c <= kEngineer; ++c) row[c - 1] = 10.0f;
        }
}

inline std::unique_ptr<AiWorkspace> MakeWorkspace() {
    auto w = std::make_unique<AiWorkspace>();
    std::memcpy(w->game.pieceValues, kInitialPieceValues, sizeof w->game.pieceValues);
    ClearTable(w->game.pieces);
    return w;
}

inline MoveCand Move(int mover, int target, int x1, int y1, int x2, int y2, int outcome = 1, float score = 0.0f) {
    MoveCand m;
    m.mover = mover;
    m.target = target;
    m.fromX = x1;
    m.fromY = y1;
    m.toX = x2;
    m.toY = y2;
    m.outcome = outcome;
    m.score = score;
    return m;
}

// An empty board for the upper levels: every piece off it with an even
// belief over the codes that move, a seeded generator and a stop flag.
class PositionTest : public ::testing::Test {
protected:
    PositionTest() : w(std::make_unique<AiWorkspace>()) {
        std::memcpy(w->game.pieceValues, kInitialPieceValues, sizeof w->game.pieceValues);
        w->abortRequested = &abort;
        rng.Seed(12345);
        w->random = &rng;
        for (PieceRec& pc : Pieces()) pc.alive = 0;
        EvenBeliefs(Pieces());
    }

    PieceTable& Pieces() { return w->game.pieces; }

    void Put(int index, int code, int point) {
        const GridPoint g = At(point);
        Place(Pieces(), index, code, g.x, g.y);
    }
    // The row of `observer` about `piece`.
    void Believe(int piece, int observer, std::initializer_list<std::pair<int, float>> weights) {
        SetRow(Pieces()[piece].beliefs[observer], weights);
    }
    // Every observer sure of the piece's true code.
    void Reveal(int piece) {
        for (int s = 0; s < kSeats; ++s) Believe(piece, s, {{Pieces()[piece].code, 100.0f}});
    }
    static MoveCand Move(int mover, int target, int fromPoint, int toPoint) {
        const GridPoint f = At(fromPoint);
        const GridPoint t = At(toPoint);
        return aitest::Move(mover, target, f.x, f.y, t.x, t.y);
    }

    std::unique_ptr<AiWorkspace> w;
    std::atomic<int> abort{0};
    GameRandom rng;
};

}  // namespace jq::aitest
