// Small positions for the computer player's tests.
#pragma once

#include <cstring>
#include <initializer_list>
#include <memory>
#include <utility>

#include "ai/expectation.h"
#include "ai/workspace.h"
#include "core/board.h"

namespace jq::aitest {

// Every row: the army's share of each code (sums to 100).
constexpr float kArmyRow[12] = {4, 12, 8, 4, 4, 8, 8, 8, 8, 12, 12, 12};

inline void SetRow(float row[12], std::initializer_list<std::pair<int, float>> weights) {
    for (int j = 0; j < 12; ++j) row[j] = 0.0f;
    for (const auto& [code, w] : weights) row[code - 1] = w;
}

inline void SetAllRows(PieceRec& p, std::initializer_list<std::pair<int, float>> weights) {
    for (auto& row : p.beliefs) SetRow(row, weights);
}

inline void ArmyBeliefs(PieceTable& t) {
    for (PieceRec& p : t)
        for (auto& row : p.beliefs) std::memcpy(row, kArmyRow, sizeof row);
}

// An empty board: every piece off it, with army beliefs.
inline void ClearTable(PieceTable& t) {
    for (PieceRec& p : t) p = PieceRec{};
    ArmyBeliefs(t);
}

// Puts a live piece of `code` on grid point (x, y), which becomes its start.
inline void Place(PieceTable& t, int piece, int code, int x, int y) {
    PieceRec& p = t[piece];
    p.code = code;
    p.alive = 1;
    p.x = p.startX = x;
    p.y = p.startY = y;
}

// Puts the piece on board point `point`.
inline void PlaceAt(PieceTable& t, int piece, int code, int point) {
    const BoardPoint& bp = Board().boardPoints[point];
    Place(t, piece, code, bp.gridX, bp.gridY);
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
