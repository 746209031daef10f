#include "core/board.h"

namespace jq {

void BuildBoardTables(BoardTables& t) {
    // Filled in by the geometry work.
    t = BoardTables{};
}

const BoardTables& Board() {
    static const BoardTables tables = [] {
        BoardTables t;
        BuildBoardTables(t);
        return t;
    }();
    return tables;
}

int PointIndexAt(const BoardTables& t, int x, int y) {
    if (x < kGridMin || x > kGridMax || y < kGridMin || y > kGridMax) return kNoPoint;
    return t.pointAtGrid[x - kGridMin][y - kGridMin];
}

int PieceAtPoint(int x, int y, const PieceTable& pieces) {
    for (int i = 0; i < kPieceCount; ++i) {
        const PieceRec& p = pieces[i];
        if (p.x == x && p.y == y && p.alive == 1) return i;
    }
    return kNoPiece;
}

void PieceGrid::Fill(const PieceTable& pieces) {
    for (auto& col : cell)
        for (auto& c : col) c = kNoPiece;
    for (int i = 0; i < kPieceCount; ++i) {
        const PieceRec& p = pieces[i];
        if (p.alive != 1) continue;
        if (p.x < kGridMin || p.x > kGridMax || p.y < kGridMin || p.y > kGridMax) continue;
        cell[p.x - kGridMin][p.y - kGridMin] = i;
    }
}

int PieceGrid::At(int x, int y) const {
    if (x < kGridMin || x > kGridMax || y < kGridMin || y > kGridMax) return kNoPoint;
    return cell[x - kGridMin][y - kGridMin];
}

GridPoint TurnGridPoint(GridPoint p, int turns) {
    turns = ((turns % 4) + 4) % 4;
    for (int i = 0; i < turns; ++i) p = GridPoint{p.y, 40 - p.x};
    return p;
}

GridPoint SeatMap(GridPoint p, int seat) {
    switch (((seat % 4) + 4) % 4) {
        case 1: return GridPoint{40 - p.y, p.x};
        case 2: return GridPoint{40 - p.x, 40 - p.y};
        case 3: return GridPoint{p.y, 40 - p.x};
        default: return p;
    }
}

}  // namespace jq
