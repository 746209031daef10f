#include "ai/attackpath.h"

#include "ai/derivedmoves.h"
#include "core/combat.h"

namespace jq {

namespace {

constexpr int kStartMark = 999;
// Enough for the pieces on the points of one move.
constexpr int kOneMovePieces = 32;

struct SavedPiece {
    int32_t x, y, alive;
};

}  // namespace

int CollectPathPieces(AiWorkspace& w, int32_t* list, int capacity, int moveCount, const MoveCand* moves,
                      const PieceTable& pathTable, const PieceTable& lookupTable, int* lastFound,
                      const PieceGrid* pathGrid, const PieceGrid* lookupGrid) {
    int found = 0;
    if (lastFound != nullptr) *lastFound = kNoPiece;
    for (int i = 0; i < moveCount; ++i) {
        const MoveCand& m = moves[i];
        const int n = FindMovePath(w.pathWork, m.mover, m.fromX, m.fromY, m.toX, m.toY, w.path, pathTable, pathGrid);
        if (n < 1) {
            if (lastFound != nullptr) *lastFound = kNoPiece;
            return 0;
        }
        for (int k = 1; k < n; ++k) {
            const int p = lookupGrid != nullptr ? lookupGrid->At(w.path.x[k], w.path.y[k])
                                                : PieceAtPoint(w.path.x[k], w.path.y[k], lookupTable);
            if (!IsValidPiece(p)) continue;
            if (found < capacity) list[found] = p;
            ++found;
            if (lastFound != nullptr) *lastFound = p;
        }
    }
    return found;
}

int FindAttackPath(AiWorkspace& w, int piece, MoveCand* moves, int capacity, int x1, int y1, int x2, int y2,
                   PieceTable& pathTable, const PieceTable& lookupTable, const int32_t penalty[kPointSlots]) {
    if (!IsValidPiece(piece)) return 0;
    const BoardTables& b = *w.board;
    const int seat = SeatOf(piece);
    PieceRec& mover = pathTable[piece];
    const SavedPiece saved{mover.x, mover.y, mover.alive};
    auto finish = [&](int result) {
        mover.x = saved.x;
        mover.y = saved.y;
        mover.alive = saved.alive;
        return result;
    };
    mover.alive = 1;

    int32_t* parent = w.searchParent;
    int32_t* cost = w.searchCost;
    for (int p = 0; p < kPointSlots; ++p) parent[p] = cost[p] = kNoPiece;
    const int start = PointIndexAt(b, x1, y1);
    const int goal = PointIndexAt(b, x2, y2);
    // No box from the thinking thread: a start off the board is no path.
    if (start < 0 || goal < 0 || start == goal) return finish(0);

    // The moves of `piece` alone are wanted: on a copy of the path table
    // the seat's other pieces stand where they stand but are listed as
    // flags, which never move. What a piece may do depends on where the
    // others stand, not on what they are, and combat results are judged on
    // the real codes, so its moves come out as on the path table itself.
    PieceTable& search = w.searchBoard;
    search = pathTable;
    for (int i = seat * kPiecesPerSeat; i < (seat + 1) * kPiecesPerSeat; ++i)
        if (i != piece) search[i].code = kFlag;

    w.searchLookupGrid.Fill(lookupTable);

    auto& current = w.frontier;
    auto& next = w.nextFrontier;
    current.Clear();
    next.Clear();
    parent[start] = kStartMark;
    cost[start] = 0;
    next.Append(start);
    int level = 0;
    bool found = false;
    for (;;) {
        // Points still too dear for the last level wait for a later one.
        for (int i = 0; i < current.count; ++i)
            if (cost[current[i]] >= level) next.Append(current[i]);
        if (found || next.count == 0) break;
        current.count = 0;
        for (int i = 0; i < next.count; ++i) current.Append(next[i]);
        next.Clear();
        ++level;
        for (int i = 0; i < current.count && !found; ++i) {
            const int p = current[i];
            if (cost[p] >= level) continue;
            mover.x = search[piece].x = b.boardPoints[p].gridX;
            mover.y = search[piece].y = b.boardPoints[p].gridY;
            MoveGenWork& gen = w.searchMoveList;
            // An engineer on an open railway is listed by its reach.
            int n = EngineerRailwayMoves(w, search, piece, gen.list, kMoveListCapacity);
            if (n < 0) n = GenerateMoves(gen, search, seat, w.game.pieces);
            w.searchPathGrid.Fill(pathTable);
            for (int j = 0; j < n; ++j) {
                const MoveCand c = gen.list[j];
                if (c.mover != piece) continue;
                const int q = PointIndexAt(b, c.toX, c.toY);
                if (q < 0) continue;
                int32_t onWay[kOneMovePieces];
                int last = kNoPiece;
                int weight = CollectPathPieces(w, onWay, kOneMovePieces, 1, &c, pathTable, lookupTable, &last,
                                               &w.searchPathGrid, &w.searchLookupGrid);
                if (weight > 0 && SeatOf(last) != seat) --weight;
                const int price = level + weight + penalty[q];
                if (q == goal) {
                    parent[q] = p;
                    cost[q] = price;
                    found = true;
                    break;
                }
                if (parent[q] != kNoPiece) {
                    if (price <= cost[q]) {
                        parent[q] = p;
                        cost[q] = price;
                    }
                } else {
                    parent[q] = p;
                    cost[q] = price;
                    next.Append(q);
                }
            }
        }
    }
    if (!found) return finish(0);

    // Walk back from the goal; the path is kept only when it has at most 20
    // moves and fits the caller's list.
    MoveCand path[kMaxAttackMoves];
    int count = 0;
    int t = goal;
    for (;;) {
        const int from = parent[t];
        if (from < 0 || from >= kPointCount || count >= kMaxAttackMoves) return finish(0);
        MoveCand& m = path[count++];
        m = MoveCand{};
        const int tx = b.boardPoints[t].gridX;
        const int ty = b.boardPoints[t].gridY;
        const int target = PieceAtPoint(tx, ty, lookupTable);
        m.mover = piece;
        m.target = target;
        m.fromX = b.boardPoints[from].gridX;
        m.fromY = b.boardPoints[from].gridY;
        m.toX = tx;
        m.toY = ty;
        m.outcome = MoveOutcome(w.game.pieces, piece, target);
        if (parent[from] == kStartMark) break;
        t = from;
    }
    if (count > capacity) return finish(0);
    for (int k = 0; k < count; ++k) moves[k] = path[count - 1 - k];
    return finish(count);
}

}  // namespace jq
