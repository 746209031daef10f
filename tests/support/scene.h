// Board scenes: pieces and whole armies put straight into a piece table or a game, and belief rows set by
// hand.
#pragma once

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <numeric>
#include <utility>

#include "core/board.h"
#include "core/qipan.h"

namespace jq::test {

// A legal army by deployment slot: the flag in a headquarters (21), mines in the last two rows (16, 18, 22),
// bombs off the front row (19, 24).
inline constexpr int kArmy[kPiecesPerSeat] = {8, 9, 10, 11, 12, 6, 7, 12, 10, 11, 9, 12, 7, 11, 10, 4, 2, 5, 2, 3, 8, 1, 2, 6, 3};
// The army's share of each code, in percent (a belief row that knows nothing).
inline constexpr float kArmyShare[12] = {4, 12, 8, 4, 4, 8, 8, 8, 8, 12, 12, 12};

inline int PieceOf(int seat, int slot) { return seat * kPiecesPerSeat + slot; }

inline GridPoint PointAt(int boardPoint) {
    const BoardPoint& p = Board().boardPoints[boardPoint];
    return {p.gridX, p.gridY};
}
// The point of `seat`'s deployment slot `slot`.
inline GridPoint SlotPoint(int seat, int slot) { return PointAt(seat * 30 + slot); }

// Every piece off the board (alive 0, nowhere).
inline void ClearBoard(PieceTable& t) { t.fill(PieceRec{}); }

// Puts piece `piece` with `code` alive on grid (x, y), which becomes its start.
inline void Put(PieceTable& t, int piece, int code, int x, int y) {
    PieceRec& p = t[piece];
    p.code = code, p.alive = 1, p.x = p.startX = x, p.y = p.startY = y;
}
inline void Put(GameState& g, int piece, int code, int x, int y) { Put(g.pieces, piece, code, x, y); }

// The same on board point `point`.
inline void PutAt(PieceTable& t, int piece, int code, int point) {
    const GridPoint at = PointAt(point);
    Put(t, piece, code, at.x, at.y);
}

// Every seat's army on its own deployment points, all alive.
inline void DeployArmy(PieceTable& t, const int* army = kArmy) {
    for (int i = 0; i < kPieceCount; ++i) PutAt(t, i, army[i % kPiecesPerSeat], SeatOf(i) * 30 + i % kPiecesPerSeat);
}

// All four seats deployed with `army`, nothing taken, no step made, a battle under way with seat `first` to
// move.
inline void LayOutBattle(GameState& g, const int* army = kArmy, int first = 0) {
    DeployArmy(g.pieces, army);
    std::memset(g.eliminatedPieces, kNoPiece, sizeof g.eliminatedPieces);
    std::fill(std::begin(g.stepRecords), std::end(g.stepRecords), StepRec{});
    g.deployedPieces = g.pieces;
    g.stepCount = g.deployPhase = 0;
    g.curSeat = first;
    g.selectedPiece = kNoPiece;
    g.battleRunning = 1;
}

// Belief rows: the given codes with the given weights, everything else 0.
inline void SetRow(float row[12], std::initializer_list<std::pair<int, float>> weights) {
    for (int j = 0; j < 12; ++j) row[j] = 0.0f;
    for (const auto& [code, w] : weights) row[code - 1] = w;
}
inline void SetAllRows(PieceRec& p, std::initializer_list<std::pair<int, float>> weights) {
    for (auto& row : p.beliefs) SetRow(row, weights);
}
// Every observer's row about every piece: the army's shares.
inline void ArmyBeliefs(PieceTable& t) {
    for (PieceRec& p : t)
        for (auto& row : p.beliefs)
            for (int j = 0; j < 12; ++j) row[j] = kArmyShare[j];
}

inline float Sum12(const float* row) { return std::accumulate(row, row + 12, 0.0f); }

}  // namespace jq::test
