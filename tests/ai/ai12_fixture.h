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
#include "support/scene.h"

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
    static GridPoint At(int point) { return test::PointAt(point); }

    // Puts piece `index` of code `code` on board point `point`.
    void Put(int index, int code, int point) {
        test::PutAt(Pieces(), index, code, point);
    }

    // The row of `observer` about `piece`: the given codes with the given
    // weights, everything else 0.
    void Believe(int piece, int observer, std::initializer_list<std::pair<int, float>> weights) {
        test::SetRow(Pieces()[piece].beliefs[observer], weights);
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
