#include "ai/movegen.h"

#include <cstdlib>

#include "core/combat.h"

namespace jq {

namespace {

int Quadrant(int x, int y) {
    if (x >= 21) return y >= 21 ? 1 : 4;
    return y >= 21 ? 2 : 3;
}

bool IsLink(const GridPoint& link) { return link.x != 0 && link.y != 0; }

// True when at least one railway neighbour of point p is an empty cell.
bool HasEmptyRailNeighbour(const MoveGenWork& w, int p) {
    for (const GridPoint& link : w.board->railLinks[p]) {
        if (link.x == 0 && link.y == 0) break;
        if (w.grid.At(link.x, link.y) == kNoPiece) return true;
    }
    return false;
}

// Tries the move of piece i from (x, y) to (tx, ty); a legal one is listed.
// Returns false when the list is full.
bool TryDestination(MoveGenWork& w, const PieceTable& table, const PieceTable& codes, int i, int x, int y,
                    int tx, int ty) {
    w.move = MoveRec{x, y, tx, ty};
    const int n = FindMovePath(w.pathWork, i, x, y, tx, ty, w.path, table, &w.grid);
    if (n <= 0) return true;
    if (w.count >= kMoveListCapacity) return false;
    int target = w.grid.At(tx, ty);
    if (!IsValidPiece(target)) target = kNoPiece;
    MoveCand& c = w.list[w.count++];
    c.mover = i;
    c.target = target;
    c.fromX = x;
    c.fromY = y;
    c.toX = tx;
    c.toY = ty;
    c.outcome = MoveOutcome(codes, i, target);
    return true;
}

// Destinations of piece i standing on railway point p with a free railway
// neighbour.
bool TryRailwayDestinations(MoveGenWork& w, const PieceTable& table, const PieceTable& codes, int i, int p) {
    const BoardTables& b = *w.board;
    const PieceRec& pc = table[i];
    const bool engineer = pc.code == kEngineer;
    if (engineer) FindEngineerRailTargets(w, table, i, w.railMarks);
    const int x = pc.x;
    const int y = pc.y;
    for (int q = 0; q < kPointCount; ++q) {
        const BoardPoint& bq = b.boardPoints[q];
        const int qx = bq.gridX;
        const int qy = bq.gridY;
        bool offered;
        if (bq.kind != kRailway) {
            offered = q / 30 == p / 30 && std::abs(qx - x) <= 1 && std::abs(qy - y) <= 1;
        } else if (engineer) {
            offered = w.railMarks[q] >= 0;
        } else {
            offered = qx == x || qy == y ||
                      ((std::abs(x - 20) == std::abs(qy - 20) || std::abs(y - 20) == std::abs(qx - 20)) &&
                       IsSameQuadrant(x, y, qx, qy) == 1);
        }
        if (offered && !TryDestination(w, table, codes, i, x, y, qx, qy)) return false;
    }
    return true;
}

bool TryNeighbourDestinations(MoveGenWork& w, const PieceTable& table, const PieceTable& codes, int i) {
    const int x = table[i].x;
    const int y = table[i].y;
    for (int nx = x - 1; nx <= x + 1; ++nx)
        for (int ny = y - 1; ny <= y + 1; ++ny)
            if (PointIndexAt(*w.board, nx, ny) >= 0 && !TryDestination(w, table, codes, i, x, y, nx, ny))
                return false;
    return true;
}

}  // namespace

MoveGenWork::MoveGenWork(const BoardTables& b) : board(&b), pathWork(b) {}

int GenerateMoves(MoveGenWork& w, const PieceTable& table, int seat, const PieceTable& codes) {
    const BoardTables& b = *w.board;
    w.grid.Fill(table);
    w.count = 0;
    if (!IsValidSeat(seat)) return 0;
    for (int i = seat * kPiecesPerSeat; i < (seat + 1) * kPiecesPerSeat; ++i) {
        const PieceRec& pc = table[i];
        if (pc.alive != 1 || pc.code == kFlag || pc.code == kMine) continue;
        // A piece off the board (a damaged record) has no moves.
        const int p = PointIndexAt(b, pc.x, pc.y);
        if (p < 0 || b.boardPoints[p].kind == kHeadquarters) continue;
        const bool railway = b.boardPoints[p].kind == kRailway && HasEmptyRailNeighbour(w, p);
        const bool room = railway ? TryRailwayDestinations(w, table, codes, i, p)
                                  : TryNeighbourDestinations(w, table, codes, i);
        if (!room) break;
    }
    return w.count;
}

int FindEngineerRailTargets(MoveGenWork& w, const PieceTable& table, int piece, int32_t marks[kPointCount]) {
    if (!IsValidPiece(piece) || table[piece].code != kEngineer) return 0;
    const BoardTables& b = *w.board;
    const int seat = SeatOf(piece);
    for (int q = 0; q < kPointCount; ++q) marks[q] = kNoPiece;
    const int p = PointIndexAt(b, table[piece].x, table[piece].y);
    if (p < 0 || b.boardPoints[p].kind != kRailway) return 0;

    int reached = 0;
    int frontierSize = 1;
    w.frontier[0] = p;
    while (frontierSize > 0) {
        int nextSize = 0;
        for (int f = 0; f < frontierSize; ++f) {
            const int c = w.frontier[f];
            for (const GridPoint& link : b.railLinks[c]) {
                if (!IsLink(link)) continue;
                const int q = PointIndexAt(b, link.x, link.y);
                if (q < 0 || q == p || marks[q] != kNoPiece) continue;
                const int o = PieceAtPoint(link.x, link.y, table);
                if (o == kNoPiece) {
                    marks[q] = c;
                    if (nextSize < kPointSlots) w.nextFrontier[nextSize++] = q;
                    ++reached;
                } else if (!SameTeam(SeatOf(o), seat)) {
                    marks[q] = c;
                }
            }
        }
        for (int k = 0; k < nextSize; ++k) w.frontier[k] = w.nextFrontier[k];
        frontierSize = nextSize;
    }
    return reached;
}

int IsSameQuadrant(int x1, int y1, int x2, int y2) { return Quadrant(x1, y1) == Quadrant(x2, y2) ? 1 : 0; }

}  // namespace jq
