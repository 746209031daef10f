// Hand-built positions for the computer player's tests, on top of the
// shared board scenes: a workspace on an empty board, case-table scenes,
// and a fixture with a seeded generator and a stop flag.
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
#include "support/scene.h"

namespace jq::aitest {

// Every piece off the board, every row the army's shares.
inline void ClearTable(PieceTable& t) {
    test::ClearBoard(t);
    test::ArmyBeliefs(t);
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
        if (p.index >= 0) test::PutAt(t, p.index, p.code, p.point);
    for (const Bel& b : beliefs)
        for (int s = 0; s < kSeats && b.piece >= 0; ++s)
            if (b.observer < 0 || b.observer == s) {
                test::SetRow(t[b.piece].beliefs[s], {{b.codeA, b.weightA}});
                if (b.codeB != 0) t[b.piece].beliefs[s][b.codeB - 1] = b.weightB;
            }
}

// The upper levels' empty board: even beliefs, a seeded generator, a stop
// flag.
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
    void Put(int index, int code, int point) { test::PutAt(Pieces(), index, code, point); }
    void Believe(int piece, int observer, std::initializer_list<std::pair<int, float>> weights) {
        test::SetRow(Pieces()[piece].beliefs[observer], weights);
    }
    // Every observer sure of the piece's true code.
    void Reveal(int piece) {
        for (int s = 0; s < kSeats; ++s) Believe(piece, s, {{Pieces()[piece].code, 100.0f}});
    }
    static MoveCand Move(int mover, int target, int fromPoint, int toPoint) {
        const GridPoint f = test::PointAt(fromPoint);
        const GridPoint t = test::PointAt(toPoint);
        return aitest::Move(mover, target, f.x, f.y, t.x, t.y);
    }

    std::unique_ptr<AiWorkspace> w;
    std::atomic<int> abort{0};
    GameRandom rng;
};

}  // namespace jq::aitest
