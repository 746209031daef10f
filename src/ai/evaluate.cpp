#include "ai/evaluate.h"

#include <cmath>

#include "ai/derivedmoves.h"
#include "ai/expectation.h"
#include "ai/inference.h"

namespace jq {

const int kApproachSquares[2][6] = {
    {15, 16, 17, 20, 22, 28},
    {17, 18, 19, 22, 24, 29},
};

namespace {

constexpr int kSquareLeftHq = 21;
constexpr int kSquareRightHq = 23;
constexpr int kCentreArea = 4;
// The single-precision 0.618 of the reply weighting.
constexpr double kReplyWeight = static_cast<double>(0.618f);

int AreaOf(int point) { return point / 30; }
int SquareOf(int point) { return point % 30; }

int HqPiece(int area, int square) { return area * kPiecesPerSeat + square; }

bool HqAlive(const PieceTable& table, int area) {
    return table[HqPiece(area, kSquareLeftHq)].alive == 1 || table[HqPiece(area, kSquareRightHq)].alive == 1;
}

// The row picked by the viewer's flag weights alone.
int RowByWeights(const PieceTable& table, int viewer, int area) {
    const float p21 = table[HqPiece(area, kSquareLeftHq)].beliefs[viewer][0];
    const float p23 = table[HqPiece(area, kSquareRightHq)].beliefs[viewer][0];
    return p21 > p23 ? 0 : 1;
}

bool IsCampPoint(const BoardTables& b, int x, int y) {
    const int p = PointIndexAt(b, x, y);
    return p >= 0 && b.boardPoints[p].kind == kCamp;
}

float AttackValue(AiWorkspace& w, int viewer, int seat, const PieceTable& table, int mover, int target) {
    if (!IsValidPiece(mover) || !IsValidPiece(target)) return 0.0f;
    if (viewer == seat) return ExpectedAttackValue(w.game.pieceValues, table[mover].code, table[target].beliefs[viewer]);
    return ExpectedAttackValueMixed(w.game.pieceValues, table[mover].beliefs[viewer], table[target].beliefs[viewer]);
}

float Finite(float v) { return std::isnan(v) ? 0.0f : v; }

// A move carried out on a table in place, and what it changed, so it can be
// taken back. Only the mover's point and the two alive flags change.
struct PlacedMove {
    int mover = kNoPiece;
    int target = kNoPiece;
    int32_t moverX = 0, moverY = 0, moverAlive = 0, targetAlive = 0;
};

int ApplyOutcome(PieceTable& t, const MoveCand& move) {
    const int m = move.mover;
    const int tg = move.target;
    t[m].x = move.toX;
    t[m].y = move.toY;
    if (!IsValidPiece(tg)) return kMoverWins;
    if (t[m].code == kBomb) {
        t[m].alive = 0;
        t[tg].alive = 0;
        return kBothRemoved;
    }
    if (move.score > 0.0f) {
        t[tg].alive = 0;
        return kMoverWins;
    }
    if (move.score < 0.0f) {
        t[m].alive = 0;
        return kMoverRemoved;
    }
    t[m].alive = 0;
    t[tg].alive = 0;
    return kBothRemoved;
}

PlacedMove PlaceInTable(PieceTable& t, const MoveCand& move) {
    PlacedMove undo;
    undo.mover = move.mover;
    undo.target = move.target;
    undo.moverX = t[move.mover].x;
    undo.moverY = t[move.mover].y;
    undo.moverAlive = t[move.mover].alive;
    if (IsValidPiece(move.target)) undo.targetAlive = t[move.target].alive;
    ApplyOutcome(t, move);
    return undo;
}

void TakeBack(PieceTable& t, const PlacedMove& undo) {
    t[undo.mover].x = undo.moverX;
    t[undo.mover].y = undo.moverY;
    t[undo.mover].alive = undo.moverAlive;
    if (IsValidPiece(undo.target)) t[undo.target].alive = undo.targetAlive;
}

}  // namespace

bool InApproachRow(int row, int square) {
    if (row < 0 || row > 1) return false;
    for (int s : kApproachSquares[row])
        if (s == square) return true;
    return false;
}

BelievedFlag BelievedFlagRow(const PieceTable& table, int viewer, int area) {
    BelievedFlag f;
    if (area == viewer) {
        f.row = table[HqPiece(area, kSquareLeftHq)].code == kFlag ? 0 : 1;
        f.weight = 100.0f;
        return f;
    }
    const float p21 = table[HqPiece(area, kSquareLeftHq)].beliefs[viewer][0];
    const float p23 = table[HqPiece(area, kSquareRightHq)].beliefs[viewer][0];
    if (p21 > p23) {
        f.row = 0;
        f.weight = p21;
    } else {
        f.row = 1;
        f.weight = p23;
    }
    return f;
}

float EvaluateMoveBasic(AiWorkspace& w, int viewer, int seat, const PieceTable& table, const MoveCand& move) {
    const BoardTables& b = *w.board;
    const int m = move.mover;
    const int t = move.target;
    if (!IsValidPiece(m) || !IsValidSeat(viewer) || !IsValidSeat(seat)) return 0.0f;
    const int code = table[m].code;
    const float* bel = table[m].beliefs[viewer];

    float v = AttackValue(w, viewer, seat, table, m, t);
    const double mv = IsValidCode(code) ? w.game.pieceValues[code - 1] : 0.0;

    // Moving shows what a piece is not: a likely mine or a hidden engineer
    // gives itself away.
    const float mineWeight = bel[1];
    if (mineWeight > 6.0f) v = static_cast<float>(v - 6.0 * mineWeight);
    if (code == kEngineer && t < 0 && bel[11] < 90.0f &&
        CheckStepBlocked(w.pathWork, move.fromX, move.fromY, move.toX, move.toY, w.path, w.path.length, table) == 1)
        v = static_cast<float>(v - 1600.0);

    const int p2 = PointIndexAt(b, move.toX, move.toY);
    if (p2 < 0) return v;
    switch (b.boardPoints[p2].kind) {
        case kHeadquarters: v = static_cast<float>(v - 10000.0); break;
        case kCamp: v = static_cast<float>(v + 100.0); break;
        case kRailway: v = static_cast<float>(v + 200.0); break;
        default: break;
    }

    // The centre has no headquarters: no approach term there.
    const int area = AreaOf(p2);
    if (area >= kCentreArea) return v;
    const BelievedFlag flag = BelievedFlagRow(table, viewer, area);
    const int square2 = SquareOf(p2);
    const bool toIn = InApproachRow(flag.row, square2);

    bool fromIn = false;
    const int p1 = PointIndexAt(b, move.fromX, move.fromY);
    if (p1 >= 0 && AreaOf(p1) < kCentreArea) {
        const int row1 = AreaOf(p1) == area ? flag.row : RowByWeights(table, viewer, AreaOf(p1));
        fromIn = InApproachRow(row1, SquareOf(p1));
    }

    const bool hqAlive = HqAlive(table, area);
    const double pflag = flag.weight;
    if (!fromIn && hqAlive && code != kEngineer && toIn) {
        if (area != seat && area != PartnerOf(seat)) v = static_cast<float>(v * 1.2);
        const double k = w.game.stepCount <= 60 ? 6.0 : 16.0;
        v = static_cast<float>(v + k * pflag * mv / 70.0);
    } else if (hqAlive && (fromIn || code == kEngineer) && !toIn) {
        v = static_cast<float>(v - 6.0 * pflag * mv / 70.0);
    }

    if (viewer == seat && area == seat && t != kNoPiece && toIn) v = static_cast<float>(v + 32.0 * mv);
    return v;
}

float ThreatBalanceOfMoves(AiWorkspace& w, int viewer, int seat, const PieceTable& table, const MoveCand* list, int n) {
    const BoardTables& b = *w.board;
    if (n <= 0) return 0.0f;
    float sum = 0.0f;
    int i = 0;
    while (i < n) {
        const int mover = list[i].mover;
        float best = -500000.0f;
        float worst = 500000.0f;
        const bool fromCamp = IsValidPiece(mover) && IsCampPoint(b, table[mover].x, table[mover].y);
        for (; i < n && list[i].mover == mover; ++i) {
            const MoveCand& c = list[i];
            const float v = AttackValue(w, viewer, seat, table, c.mover, c.target);
            const bool targetInCamp = IsValidPiece(c.target) && IsCampPoint(b, table[c.target].x, table[c.target].y);
            if ((fromCamp && v < 0.0f) || (targetInCamp && v > 0.0f)) continue;
            if (v > best) best = v;
            if (v < worst &&
                CheckStepBlocked(w.pathWork, c.fromX, c.fromY, c.toX, c.toY, w.path, w.path.length, table) == 0)
                worst = v;
        }
        if (best > 1.0f) sum += best;
        if (worst < -1.0f) sum += worst;
    }
    return sum;
}

float EvaluateThreatBalance(AiWorkspace& w, int viewer, int seat, const PieceTable& table) {
    MoveGenWork& list = w.threatMoveList;
    const int n = GenerateMoves(list, table, seat, w.game.pieces);
    return ThreatBalanceOfMoves(w, viewer, seat, table, list.list, n);
}

void ApplyMoveToCopy(AiWorkspace& w, const PieceTable& src, PieceTable& dst, const MoveCand& move, int record) {
    if (&src != &dst) dst = src;
    if (!IsValidPiece(move.mover)) return;
    const int outcome = ApplyOutcome(dst, move);
    if (record == 0) return;
    w.lastStepRecord = StepRec{move.mover, move.target, move.fromX, move.fromY, move.toX, move.toY, outcome};
    BeliefContext ctx;
    ctx.board = w.board;
    ctx.slotCorrelation = w.game.slotCorrelation;
    ctx.pathWork = &w.pathWork;
    ctx.path = &w.path;
    ctx.move = &w.move;
    UpdateInferenceAfterMove(ctx, w.lastStepRecord, dst);
}

float SeatReplyValue(AiWorkspace& w, int me, int seat, PieceTable& board) {
    const BoardTables& b = *w.board;
    if (!IsValidSeat(seat)) return 0.0f;
    MoveGenWork& list = w.replyMoveList;
    const SeatMoves& root = w.rootMoves[seat];
    const int n = root.valid && root.seat == seat ? DeriveSeatMoves(w, root, board, list.list)
                                                   : GenerateMoves(list, board, seat, w.game.pieces);
    list.count = n;
    if (n <= 0) return 0.0f;

    // Which replies are looked at after they are made: captures, and moves
    // onto an approach square of a believed flag (every reply of a seat with
    // few moves).
    for (int i = 0; i < n; ++i) {
        MoveCand& c = list.list[i];
        c.terms[0] = (n < 32 || c.target >= 0) ? 4.0f : 0.0f;
    }
    for (int i = 0; i < n; ++i) {
        MoveCand& c = list.list[i];
        if (c.terms[0] > 0.1f) continue;
        const int p = PointIndexAt(b, c.toX, c.toY);
        if (p < 0 || AreaOf(p) >= kCentreArea) continue;
        const int area = AreaOf(p);
        if (board[HqPiece(area, kSquareLeftHq)].alive == 0 && board[HqPiece(area, kSquareRightHq)].alive == 0) continue;
        if (InApproachRow(BelievedFlagRow(board, me, area).row, SquareOf(p))) c.terms[0] = 10.0f;
    }

    // The balance before any reply: the same list of moves the replies were
    // taken from.
    const float base = ThreatBalanceOfMoves(w, me, seat, board, list.list, n);
    bool baseKept = false;
    float best = 0.0f;
    int chosen = 0;
    for (int i = 0; i < n; ++i) {
        MoveCand& c = list.list[i];
        const float value = EvaluateMoveBasic(w, me, seat, board, c);
        c.score = value;
        float balance = base;
        if (c.terms[0] > 3.1f) {
            // The balance after the reply, on the board with the reply made
            // and taken back again (the same as on a copy).
            if (!baseKept) {
                KeepSeatMoves(w, board, seat, list.list, n, w.replyBase);
                baseKept = true;
            }
            const PlacedMove undo = PlaceInTable(board, c);
            MoveCand* after = w.threatMoveList.list;
            const int m = DeriveSeatMoves(w, w.replyBase, board, after);
            balance = ThreatBalanceOfMoves(w, me, seat, board, after, m);
            TakeBack(board, undo);
        }
        c.terms[0] = balance;
        float score = Finite(static_cast<float>(1.25 * value * kReplyWeight + (1.0 - kReplyWeight) * balance));
        if (balance >= 10000.0f) {
            const int p = PointIndexAt(b, c.toX, c.toY);
            const int sq = p >= 0 ? SquareOf(p) : -1;
            if (sq == 20 || sq == 22 || sq == 24) score += 2000.0f;
        }
        if (score > best) {
            best = score;
            chosen = i;
        }
    }
    const MoveCand reply = list.list[chosen];
    ApplyMoveToCopy(w, board, board, reply, 0);
    return reply.score;
}

}  // namespace jq
