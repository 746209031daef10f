#include "ai/derivedmoves.h"

#include <cstdlib>
#include <cstring>

#include "ai/workspace.h"
#include "core/combat.h"

namespace jq {

namespace {

void AddPoint(std::bitset<kPointSlots>& set, const BoardTables& b, int x, int y) {
    const int p = PointIndexAt(b, x, y);
    if (p >= 0) set.set(p);
}

template <typename F>
void ForEachRailLink(const BoardTables& b, int point, F f) {
    for (const GridPoint& l : b.railLinks[point]) {
        if (l.x == 0 && l.y == 0) break;
        if (l.x == 0 || l.y == 0) continue;
        const int q = PointIndexAt(b, l.x, l.y);
        if (q >= 0) f(q);
    }
}

// The points whose occupants can change what the piece may do.
void FindDependencies(const BoardTables& b, const PieceGrid& grid, const PieceRec& pc, std::bitset<kPointSlots>& dep) {
    dep.reset();
    // A piece that never moves has no moves whatever stands around it.
    if (pc.alive != 1 || pc.code == kFlag || pc.code == kMine) return;
    const int home = PointIndexAt(b, pc.x, pc.y);
    if (home < 0 || b.boardPoints[home].kind == kHeadquarters) return;

    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) AddPoint(dep, b, pc.x + dx, pc.y + dy);
    ForEachRailLink(b, home, [&](int q) { dep.set(q); });
    if (b.boardPoints[home].kind != kRailway) return;

    if (pc.code == kEngineer) {
        // The railway it reaches through empty points, and what borders it.
        int queue[kPointSlots];
        std::bitset<kPointSlots> seen;
        int head = 0;
        int tail = 0;
        queue[tail++] = home;
        seen.set(home);
        while (head < tail) {
            const int c = queue[head++];
            ForEachRailLink(b, c, [&](int q) {
                dep.set(q);
                if (seen.test(q)) return;
                seen.set(q);
                const BoardPoint& bq = b.boardPoints[q];
                if (grid.At(bq.gridX, bq.gridY) == kNoPiece && tail < kPointSlots) queue[tail++] = q;
            });
        }
        return;
    }
    // Runs along the row, the column and the corner lines through its point.
    for (int q = 0; q < kPointCount; ++q)
        if (b.boardPoints[q].gridX == pc.x || b.boardPoints[q].gridY == pc.y) dep.set(q);
    for (const auto& line : b.railLines) {
        bool onLine = false;
        for (int k = 0; k < 10 && !onLine; ++k) onLine = line[k].x == pc.x && line[k].y == pc.y;
        if (!onLine) continue;
        for (int k = 0; k < 10; ++k) AddPoint(dep, b, line[k].x, line[k].y);
    }
}

bool IsRailway(const BoardTables& b, int point) { return b.boardPoints[point].kind == kRailway; }

// An engineer on a railway point with an empty railway neighbour: its moves
// as GenerateMoves lists them. Every railway point it reaches through empty
// railway points, and every enemy-held one next to those, can be entered
// (the path finder finds the same railway path); of the other points only
// those of its own area in its 3 x 3 window are tried, with the rules of a
// single step. Returns the number written.
int EngineerRailMoves(const BoardTables& b, const PieceGrid& grid, const PieceTable& codes, int piece,
                      const PieceRec& pc, MoveCand* out, int room) {
    const int seat = SeatOf(piece);
    const int home = PointIndexAt(b, pc.x, pc.y);
    int32_t marks[kPointSlots];
    for (int q = 0; q < kPointCount; ++q) marks[q] = kNoPiece;
    int frontier[kPointSlots];
    int head = 0;
    int tail = 0;
    frontier[tail++] = home;
    while (head < tail) {
        const int c = frontier[head++];
        for (const GridPoint& l : b.railLinks[c]) {
            if (l.x == 0 || l.y == 0) continue;
            const int q = PointIndexAt(b, l.x, l.y);
            if (q < 0 || q == home || marks[q] != kNoPiece) continue;
            const int o = grid.At(l.x, l.y);
            if (!IsValidPiece(o)) {
                marks[q] = c;
                if (tail < kPointSlots) frontier[tail++] = q;
            } else if (!SameTeam(SeatOf(o), seat)) {
                marks[q] = c;
            }
        }
    }

    int n = 0;
    for (int q = 0; q < kPointCount && n < room; ++q) {
        const BoardPoint& bq = b.boardPoints[q];
        const int o = grid.At(bq.gridX, bq.gridY);
        const int occupant = IsValidPiece(o) ? o : kNoPiece;
        bool legal;
        if (IsRailway(b, q)) {
            legal = marks[q] >= 0;
        } else {
            const int dx = std::abs(bq.gridX - pc.x);
            const int dy = std::abs(bq.gridY - pc.y);
            legal = q / 30 == home / 30 && dx <= 1 && dy <= 1;
            if (legal && occupant != kNoPiece && SameTeam(SeatOf(occupant), seat)) legal = false;
            if (legal && bq.kind == kCamp && occupant != kNoPiece) legal = false;
            if (legal && dx + dy == 2) {
                // A diagonal step: only from or into a camp, or across the
                // joint of two front corners; no railway run ends on a point
                // that is no railway point.
                const bool joint = std::abs(pc.x - 20) == std::abs(bq.gridY - 20) &&
                                   std::abs(bq.gridX - 20) == std::abs(pc.y - 20);
                legal = b.boardPoints[home].kind == kCamp || bq.kind == kCamp || joint;
            }
        }
        if (!legal) continue;
        MoveCand& c = out[n++];
        c.mover = piece;
        c.target = occupant;
        c.fromX = pc.x;
        c.fromY = pc.y;
        c.toX = bq.gridX;
        c.toY = bq.gridY;
        c.outcome = MoveOutcome(codes, piece, occupant);
    }
    return n;
}

// Whether GenerateMoves takes the piece's railway branch as an engineer.
bool OnOpenRailway(const BoardTables& b, const PieceGrid& grid, const PieceRec& pc) {
    if (pc.alive != 1 || pc.code != kEngineer) return false;
    const int home = PointIndexAt(b, pc.x, pc.y);
    if (home < 0 || !IsRailway(b, home)) return false;
    for (const GridPoint& l : b.railLinks[home]) {
        if (l.x == 0 && l.y == 0) break;
        if (grid.At(l.x, l.y) == kNoPiece) return true;
    }
    return false;
}

}  // namespace

int EngineerRailwayMoves(AiWorkspace& w, const PieceTable& board, int piece, MoveCand* out, int room) {
    if (!IsValidPiece(piece)) return 0;
    PieceGrid& grid = w.deriveGrid;
    grid.Fill(board);
    if (!OnOpenRailway(*w.board, grid, board[piece])) return -1;
    return EngineerRailMoves(*w.board, grid, w.game.pieces, piece, board[piece], out, room);
}

void KeepSeatMoves(AiWorkspace& w, const PieceTable& board, int seat, const MoveCand* list, int count,
                   SeatMoves& out) {
    const BoardTables& b = *w.board;
    out.valid = false;
    if (!IsValidSeat(seat) || count < 0 || count > kMoveListCapacity) return;
    out.seat = seat;
    out.grid.Fill(board);
    for (int k = 0; k < kPiecesPerSeat; ++k) {
        const PieceRec& pc = board[seat * kPiecesPerSeat + k];
        out.x[k] = pc.x;
        out.y[k] = pc.y;
        out.alive[k] = pc.alive;
        out.code[k] = pc.code;
        out.blockStart[k] = 0;
        out.blockCount[k] = 0;
        FindDependencies(b, out.grid, pc, out.dependsOn[k]);
    }
    if (list != out.list && count > 0) std::memcpy(out.list, list, sizeof(MoveCand) * count);
    out.count = count;
    // Each piece's moves stand together, pieces in index order.
    int last = -1;
    for (int i = 0; i < count; ++i) {
        const int k = out.list[i].mover - seat * kPiecesPerSeat;
        if (k < 0 || k >= kPiecesPerSeat || k < last) return;
        if (k != last) {
            if (out.blockCount[k] != 0) return;
            out.blockStart[k] = i;
            last = k;
        }
        ++out.blockCount[k];
    }
    out.valid = true;
}

void BuildSeatMoves(AiWorkspace& w, const PieceTable& board, int seat, SeatMoves& out) {
    MoveGenWork& gen = w.deriveMoveList;
    const int n = GenerateMoves(gen, board, seat, w.game.pieces);
    KeepSeatMoves(w, board, seat, gen.list, n, out);
}

int DeriveSeatMoves(AiWorkspace& w, const SeatMoves& base, const PieceTable& board, MoveCand* out) {
    MoveGenWork& gen = w.deriveMoveList;
    const int seat = base.seat;
    if (!base.valid) {
        const int n = GenerateMoves(gen, board, seat, w.game.pieces);
        std::memcpy(out, gen.list, sizeof(MoveCand) * n);
        return n;
    }
    const BoardTables& b = *w.board;

    // The points whose occupant differs from the base board.
    PieceGrid& now = w.deriveGrid;
    now.Fill(board);
    int changed[kPointSlots];
    int changedCount = 0;
    for (int p = 0; p < kPointCount; ++p) {
        const BoardPoint& bp = b.boardPoints[p];
        if (now.At(bp.gridX, bp.gridY) != base.grid.At(bp.gridX, bp.gridY)) changed[changedCount++] = p;
    }

    bool affected[kPiecesPerSeat] = {};
    bool any = false;
    for (int k = 0; k < kPiecesPerSeat; ++k) {
        const PieceRec& pc = board[seat * kPiecesPerSeat + k];
        bool a = pc.x != base.x[k] || pc.y != base.y[k] || pc.alive != base.alive[k] || pc.code != base.code[k];
        for (int c = 0; c < changedCount && !a; ++c) a = base.dependsOn[k].test(changed[c]);
        affected[k] = a;
        any = any || a;
    }

    // Engineers on an open railway are listed by their reach; the other
    // pieces that may move otherwise are generated again, alone: on a copy
    // the rest stand where they stand but are listed as flags, which never
    // move.
    bool byReach[kPiecesPerSeat] = {};
    bool regenerate = false;
    for (int k = 0; k < kPiecesPerSeat; ++k) {
        if (!affected[k]) continue;
        byReach[k] = OnOpenRailway(b, now, board[seat * kPiecesPerSeat + k]);
        regenerate = regenerate || !byReach[k];
    }
    int generated = 0;
    if (regenerate) {
        PieceTable& t = w.deriveBoard;
        t = board;
        for (int k = 0; k < kPiecesPerSeat; ++k)
            if (!affected[k] || byReach[k]) t[seat * kPiecesPerSeat + k].code = kFlag;
        generated = GenerateMoves(gen, t, seat, w.game.pieces);
    }

    int n = 0;
    int pos = 0;
    for (int k = 0; k < kPiecesPerSeat; ++k) {
        const int piece = seat * kPiecesPerSeat + k;
        if (byReach[k]) {
            n += EngineerRailMoves(b, now, w.game.pieces, piece, board[piece], out + n, kMoveListCapacity - n);
        } else if (affected[k]) {
            while (pos < generated && gen.list[pos].mover == piece && n < kMoveListCapacity) out[n++] = gen.list[pos++];
        } else {
            const int start = base.blockStart[k];
            for (int i = 0; i < base.blockCount[k] && n < kMoveListCapacity; ++i) out[n++] = base.list[start + i];
        }
    }
    return n;
}

}  // namespace jq
