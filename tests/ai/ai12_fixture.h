// Hand-built positions for the upper levels' tests: an empty board on which
// pieces are put by board point, with belief rows set by hand.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <initializer_list>
#include <memory>
#include <utility>

#include "ai/expectation.h"
#include "ai/workspace.h"
#include "core/board.h"

namespace jq::testing12 {

class PositionTest : public ::testing::Test {
protected:
    PositionTest() : w(std::make_unique<AiWorkspace>()) {
        AiSnapshot& g = w->game;
        g = AiSnapshot{};
        for (int i = 0; i < 15; ++i) g.pieceValues[i] = kInitialPieceValues[i];
        g.styleCoefAttack = 0.618;
        g.styleCoefCaution = 0.8;
        g.styleCoefDefence = 0.382;
        g.styleDefence = 5;
        w->abortRequested = &abort;
        rng.Seed(12345);
        w->random = &rng;
        // Every piece starts off the board with an even belief over the
        // codes that move.
        for (int i = 0; i < kPieceCount; ++i) {
            PieceRec& pc = Pieces()[i];
            pc.alive = 0;
            for (auto& row : pc.beliefs) {
                for (float& x : row) x = 0.0f;
                for (int c = kBomb; c <= kEngineer; ++c) row[c - 1] = 10.0f;
            }
        }
    }

    PieceTable& Pieces() { return w->game.pieces; }
    static const BoardTables& B() { return Board(); }
    static GridPoint At(int point) { return {B().boardPoints[point].gridX, B().boardPoints[point].gridY}; }

    // Puts piece `index` of code `code` on board point `point`.
    void Put(int index, int code, int point) {
        PieceRec& pc = Pieces()[index];
        const GridPoint g = At(point);
        pc.x = pc.startX = g.x;
        pc.y = pc.startY = g.y;
        pc.code = code;
        pc.alive = 1;
    }

    // The row of `observer` about `piece`: the given codes with the given
    // weights, everything else 0.
    void Believe(int piece, int observer, std::initializer_list<std::pair<int, float>> weights) {
        float* row = Pieces()[piece].beliefs[observer];
        for (int j = 0; j < 12; ++j) row[j] = 0.0f;
        for (auto [code, weight] : weights) row[code - 1] = weight;
    }
    // Every observer sure of the piece's true code.
    void Reveal(int piece) {
        for (int s = 0; s < kSeats; ++s) Believe(piece, s, {{Pieces()[piece].code, 100.0f}});
    }

    MoveCand Move(int mover, int target, int fromPoint, int toPoint) const {
        MoveCand m;
        m.mover = mover;
        m.target = target;
        const GridPoint f = At(fromPoint);
        const GridPoint t = At(toPoint);
        m.fromX = f.x;
        m.fromY = f.y;
        m.toX = t.x;
        m.toY = t.y;
        m.outcome = 1;
        return m;
    }

    std::unique_ptr<AiWorkspace> w;
    std::atomic<int> abort{0};
    GameRandom rng;
};

}  // namespace jq::testing12
