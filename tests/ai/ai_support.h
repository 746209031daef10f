// Small positions for the computer player's tests.
#pragma once

#include <cstring>
#include <memory>

#include "ai/expectation.h"
#include "ai/workspace.h"
#include "core/board.h"
#include "support/scene.h"

namespace jq::aitest {

using test::ArmyBeliefs;
using test::Put;
using test::PutAt;
using test::SetAllRows;
using test::SetRow;

// An empty board: every piece off it, with army beliefs.
inline void ClearTable(PieceTable& t) {
    test::ClearBoard(t);
    ArmyBeliefs(t);
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

}  // namespace jq::aitest
