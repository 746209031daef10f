#include "ai/relations.h"

#include <algorithm>

#include "ai/attackpath.h"

namespace jq {

namespace {

constexpr int kDangerReached = 1;
constexpr int kDangerOccupied = 2;

int KindOfPiece(const BoardTables& b, const PieceRec& pc) {
    const int p = PointIndexAt(b, pc.x, pc.y);
    return p >= 0 ? b.boardPoints[p].kind : -1;
}

bool IsMover(const BoardTables& b, const PieceRec& pc) {
    return pc.alive == 1 && pc.code >= kBomb && PointIndexAt(b, pc.x, pc.y) >= 0 &&
           KindOfPiece(b, pc) != kHeadquarters;
}

bool IsTarget(const BoardTables& b, int seat, int t, const PieceRec& pc) {
    return !SameTeam(SeatOf(t), seat) && pc.alive == 1 && KindOfPiece(b, pc) != kCamp;
}

// Keeps the pieces of a path in a relation: all of them when they fit, else
// the first ones and the last one found (the attacked piece stays last).
void StoreBlockers(AttackRelation& r, const int32_t* found, int stored, int total, int last) {
    constexpr int kRoom = static_cast<int>(sizeof r.blockers / sizeof r.blockers[0]);
    if (total <= kRoom) {
        for (int i = 0; i < total; ++i) r.blockers[i] = found[i];
        r.blockerCount = total;
        return;
    }
    for (int i = 0; i < kRoom - 1; ++i) r.blockers[i] = i < stored ? found[i] : kNoPiece;
    r.blockers[kRoom - 1] = last;
    r.blockerCount = kRoom;
}

}  // namespace

int RelationCostLimit(int stepCount) { return std::min(8 + stepCount / 20, 18); }

void CollectAttackRelations(AiWorkspace& w, AttackRelation* list, int capacity, int32_t& count, int seat, int selector,
                            const PieceTable& pieces) {
    const BoardTables& b = *w.board;
    count = 0;
    if (!IsValidSeat(seat)) return;

    // The path board: the seat's pieces that can step aside are lifted;
    // mines and pieces fixed on a headquarters stay as obstacles.
    PieceTable& board = w.aiScratchBoard2;
    board = pieces;
    for (int i = seat * kPiecesPerSeat; i < (seat + 1) * kPiecesPerSeat; ++i) {
        PieceRec& pc = board[i];
        if (pc.alive != 1 || pc.code == kMine) continue;
        pc.alive = KindOfPiece(b, pc) == kHeadquarters ? 1 : 0;
    }
    BuildDangerMap(w, seat, w.aiDangerCounts, board);

    int firstMover = seat * kPiecesPerSeat;
    int lastMover = firstMover + kPiecesPerSeat - 1;
    int firstTarget = 0;
    int lastTarget = kPieceCount - 1;
    if (IsValidPiece(selector)) {
        if (SeatOf(selector) == seat) {
            firstMover = lastMover = selector;
        } else {
            firstTarget = lastTarget = selector;
        }
    }

    const int limit = RelationCostLimit(w.game.stepCount);
    int32_t found[kPathPieceRoom];
    for (int m = firstMover; m <= lastMover; ++m) {
        const PieceRec& mover = pieces[m];
        if (!IsMover(b, mover)) continue;
        for (int t = firstTarget; t <= lastTarget; ++t) {
            const PieceRec& target = pieces[t];
            if (!IsTarget(b, seat, t, target)) continue;
            if (w.Aborted()) return;
            const int n = FindAttackPath(w, m, w.aiPlanMoves, kPlanCapacity, mover.x, mover.y, target.x, target.y,
                                         board, pieces, w.aiDangerCounts);
            w.aiPlanLength = n;
            if (n > 0 && n <= kMaxAttackMoves) {
                int last = kNoPiece;
                const int k = CollectPathPieces(w, found, kPathPieceRoom, n, w.aiPlanMoves, board, pieces, &last);
                const int stored = std::min(k, kPathPieceRoom);
                int own = 0;
                for (int i = 0; i < stored; ++i)
                    if (SeatOf(found[i]) == seat) ++own;
                const int cost = n + own;
                if (cost > 0 && cost < limit) {
                    // A full list takes no more: nothing is written past it.
                    if (count >= capacity) return;
                    AttackRelation& r = list[count];
                    r.cost = cost;
                    r.moveCount = n;
                    for (int i = 0; i < n; ++i) r.moves[i] = w.aiPlanMoves[i];
                    StoreBlockers(r, found, stored, k, last);
                    r.gain = r.score = r.survival = 0.0;
                    ++count;
                }
            }
            // Very many relations: the rest of this mover's targets are left.
            if (count > kRelationSoftLimit) break;
        }
    }
}

void BuildDangerMap(AiWorkspace& w, int seat, int32_t counts[kPointSlots], PieceTable& table) {
    const BoardTables& b = *w.board;
    for (int p = 0; p < kPointSlots; ++p) counts[p] = 0;
    if (!IsValidSeat(seat)) return;
    for (int i = 0; i < kPieceCount; ++i) {
        const PieceRec& pc = table[i];
        if (SameTeam(SeatOf(i), seat) || pc.alive == 0) continue;
        const int p = PointIndexAt(b, pc.x, pc.y);
        if (p >= 0) counts[p] = kDangerOccupied;
    }

    // An empty point is tested on the table as it stands: one listing of the
    // enemies' moves answers for all of them.
    bool reached[kPointSlots] = {};
    for (int e : {(seat + 1) % kSeats, (seat + 3) % kSeats}) {
        MoveGenWork& gen = w.reachMoveList;
        const int n = GenerateMoves(gen, table, e, w.game.pieces);
        for (int i = 0; i < n; ++i) {
            const int q = PointIndexAt(b, gen.list[i].toX, gen.list[i].toY);
            if (q >= 0) reached[q] = true;
        }
    }
    for (int p = 0; p < kPointCount; ++p) {
        const BoardPoint& bp = b.boardPoints[p];
        const int o = PieceAtPoint(bp.gridX, bp.gridY, table);
        if (!IsValidPiece(o)) {
            if (reached[p]) counts[p] += kDangerReached;
            continue;
        }
        const int32_t saved = table[o].alive;
        table[o].alive = 0;
        if (FindRailAttackers(w, bp.gridX, bp.gridY, seat, table) > 0) counts[p] += kDangerReached;
        table[o].alive = saved;
    }
}

int FindRailAttackers(AiWorkspace& w, int x, int y, int seat, const PieceTable& pieces) {
    const BoardTables& b = *w.board;
    auto& out = w.aiReachList;
    out.Clear();
    if (!IsValidSeat(seat)) return 0;
    for (int e : {(seat + 1) % kSeats, (seat + 3) % kSeats}) {
        MoveGenWork& gen = w.reachMoveList;
        const int n = GenerateMoves(gen, pieces, e, w.game.pieces);
        for (int i = 0; i < n; ++i) {
            const MoveCand& c = gen.list[i];
            if (c.toX != x || c.toY != y || !IsValidPiece(c.mover)) continue;
            const int kind = KindOfPiece(b, pieces[c.mover]);
            if (kind == kHeadquarters) continue;
            // A point more enemies can reach than the list holds keeps the
            // first ones.
            out.Append(ReachEntry{c.mover, kind == kCamp ? 1 : 0});
        }
    }
    return out.count;
}

}  // namespace jq
