#include "ai/flagplan0.h"

#include <cmath>

#include "ai/attackpath.h"
#include "ai/expectation.h"

namespace jq {

namespace {

constexpr int kMaxStages = 4;
constexpr int kAttempts = 5;
constexpr int kMaxPlanMoves = 6;
constexpr float kWinningValue = 500.0f;
constexpr int kPathPieceRoom = 100;
// Every point of up to 20 moves of at most 29 points each.
constexpr int kSideStepPoints = 600;

bool OnKind(const BoardTables& b, const PieceRec& pc, int kind) {
    const int p = PointIndexAt(b, pc.x, pc.y);
    return p >= 0 && b.boardPoints[p].kind == kind;
}

bool CanStrike(AiWorkspace& w, const PieceRec& pc, const PieceRec& target, int seat) {
    return pc.alive == 1 && pc.code >= kBomb &&
           ExpectedAttackValue(w.game.pieceValues, pc.code, target.beliefs[seat]) > kWinningValue;
}

// The nearest own piece expected to win against the target, or -2.
int ChooseAttacker(AiWorkspace& w, int seat, int target, const PieceTable& pieces) {
    const BoardTables& b = *w.board;
    const PieceRec& t = pieces[target];
    float best = 999.0f;
    int attacker = kNoPiece;
    for (int i = seat * kPiecesPerSeat; i < (seat + 1) * kPiecesPerSeat; ++i) {
        const PieceRec& pc = pieces[i];
        if (pc.alive != 1 || pc.code < kBomb) continue;
        if (PointIndexAt(b, pc.x, pc.y) < 0 || OnKind(b, pc, kHeadquarters)) continue;
        if (!CanStrike(w, pc, t, seat)) continue;
        // A piece just behind a mine stays to guard it.
        const int slot = i % kPiecesPerSeat;
        if (slot >= 20 && pieces[seat * kPiecesPerSeat + slot - 5].code == kMine) continue;
        const float dx = static_cast<float>(pc.x - t.x);
        const float dy = static_cast<float>(pc.y - t.y);
        const float dist = std::sqrt(dx * dx + dy * dy);
        if (dist < best) {
            best = dist;
            attacker = i;
        }
    }
    return attacker;
}

// The board the path is traced on: only the partner's pieces, the target,
// the attacker, own mines and pieces fixed in a headquarters or a camp stay.
void PreparePathBoard(AiWorkspace& w, int seat, int target, int attacker, const PieceTable& pieces) {
    const BoardTables& b = *w.board;
    PieceTable& board = w.aiScratchBoard2;
    board = pieces;
    const int partner = PartnerOf(seat);
    for (int i = 0; i < kPieceCount; ++i) {
        PieceRec& pc = board[i];
        if (pc.alive != 1) continue;
        if (SeatOf(i) == partner || i == target || i == attacker) continue;
        if (SeatOf(i) == seat && pc.code == kMine) continue;
        if (OnKind(b, pc, kHeadquarters) || OnKind(b, pc, kCamp)) continue;
        pc.alive = 0;
    }
    for (int32_t& d : w.aiDangerCounts) d = 0;
}

bool AnyOwnStriker(AiWorkspace& w, int seat, const PieceRec& target, const PieceTable& pieces) {
    for (int i = seat * kPiecesPerSeat; i < (seat + 1) * kPiecesPerSeat; ++i)
        if (CanStrike(w, pieces[i], target, seat)) return true;
    return false;
}

}  // namespace

void PlanFlagAttackBasic(AiWorkspace& w, MoveCand& out, int seat, int target, const PieceTable& pieces) {
    out = MoveCand{};
    if (!IsValidSeat(seat)) return;
    int32_t onPath[kPathPieceRoom];
    for (int stage = 1; stage <= kMaxStages; ++stage) {
        if (!IsValidPiece(target) || pieces[target].alive != 1) return;
        const int attacker = ChooseAttacker(w, seat, target, pieces);
        if (attacker == kNoPiece) return;
        PreparePathBoard(w, seat, target, attacker, pieces);
        PieceTable& board = w.aiScratchBoard2;
        const PieceRec& a = pieces[attacker];
        const PieceRec& t = pieces[target];

        bool settled = false;
        for (int r = 0; r < kAttempts; ++r) {
            const int n = FindAttackPath(w, attacker, w.aiPlanMoves, kPlanCapacity, a.x, a.y, t.x, t.y, board, pieces,
                                         w.aiDangerCounts);
            w.aiPlanLength = n;
            if (n > kMaxPlanMoves || n < 1) {
                settled = true;
                break;
            }
            const int k = CollectPathPieces(w, onPath, kPathPieceRoom, n, w.aiPlanMoves, board, pieces);
            // A path that cannot be traced again names no piece: no plan.
            if (k < 1) return;
            const int first = onPath[0];
            if (k < 4) {
                if (SeatOf(first) == seat || AnyOwnStriker(w, seat, pieces[first], pieces)) {
                    settled = true;
                    break;
                }
            }
            // Look for a way around this piece.
            board[first].alive = 1;
        }
        if (!settled || w.aiPlanLength < 1 || w.aiPlanLength > kMaxPlanMoves) return;

        const int k = CollectPathPieces(w, onPath, kPathPieceRoom, w.aiPlanLength, w.aiPlanMoves, board, pieces);
        if (k < 1) return;
        if (k == 1) {
            out = w.aiPlanMoves[0];
            return;
        }
        const int first = onPath[0];
        if (SeatOf(first) == seat) {
            FindSideStepMove(w, out, first, w.aiPlanLength, w.aiPlanMoves, pieces);
            return;
        }
        // An enemy piece that an own piece can beat stands in the way.
        target = first;
    }
}

void FindSideStepMove(AiWorkspace& w, MoveCand& out, int piece, int moveCount, const MoveCand* moves,
                      const PieceTable& pieces) {
    out = MoveCand{};
    if (!IsValidPiece(piece)) return;
    static_assert(kSideStepPoints > 0);
    FixedList<GridPoint, kSideStepPoints> points;
    for (int i = 0; i < moveCount; ++i) {
        const MoveCand& m = moves[i];
        const int n = FindMovePath(w.pathWork, m.mover, m.fromX, m.fromY, m.toX, m.toY, w.path, pieces, nullptr);
        for (int k = 1; k < n; ++k) points.Append(GridPoint{w.path.x[k], w.path.y[k]});
    }
    if (points.count == 0) return;
    MoveGenWork& gen = w.sideStepMoveList;
    const int n = GenerateMoves(gen, pieces, SeatOf(piece), w.game.pieces);
    for (int i = 0; i < n; ++i) {
        const MoveCand& c = gen.list[i];
        if (c.mover != piece || c.target >= 0) continue;
        bool onPath = false;
        for (int k = 0; k < points.count && !onPath; ++k) onPath = points[k].x == c.toX && points[k].y == c.toY;
        if (!onPath) {
            out = c;
            return;
        }
    }
}

}  // namespace jq
