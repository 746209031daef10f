#include "ai/expected.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "ai/derivedmoves.h"
#include "ai/evaluate.h"
#include "ai/expectation.h"
#include "ai/inference.h"

namespace jq {

const double kPlayoutSeatWeights[4] = {0.8, 0.7, 0.6, 0.5};

namespace {

constexpr int kCentreArea = 4;
constexpr float kMineGiveAway = 6.0f;
constexpr float kSureEngineer = 90.0f;
constexpr double kEngineerGiveAway = 1000.0;
constexpr double kHeadquartersEntry = 10000.0;
constexpr double kCampEntry = 100.0;
constexpr double kRailwayEntry = 200.0;
constexpr double kCounterStart = -9999999.0;
constexpr double kBestStart = -999999999.0;
constexpr double kCaptureSurvives = 0.5;
constexpr double kCautionBase = 0.382;

int HqPiece(int area, int square) { return area * kPiecesPerSeat + square; }

// The approach row of an area chosen by the viewer's flag weights alone.
int RowByWeights(const PieceTable& table, int viewer, int area) {
    return table[HqPiece(area, 21)].beliefs[viewer][0] > table[HqPiece(area, 23)].beliefs[viewer][0] ? 0 : 1;
}

void CopyRow(float dst[12], const float src[12]) { std::memcpy(dst, src, 12 * sizeof(float)); }

float StoreScore(double v) {
    const float f = static_cast<float>(v);
    return std::isnan(f) ? 0.0f : f;
}

bool IsOfficerOfRank(int code) { return code == kCommander || code == kArmyCommander; }

// The seat's moves on `board`, as GenerateMoves lists them: derived from the
// moves kept for the position being thought about when there are some.
int SeatMovesOn(AiWorkspace& w, int seat, const PieceTable& board, MoveGenWork& out) {
    const SeatMoves& root = w.rootMoves[seat];
    if (root.valid && root.seat == seat) {
        out.count = DeriveSeatMoves(w, root, board, out.list);
        return out.count;
    }
    return GenerateMoves(out, board, seat, w.game.pieces);
}

}  // namespace

void NormaliseObserverRows(PieceTable& table, int observer) {
    if (!IsValidSeat(observer)) return;
    for (PieceRec& piece : table) {
        float* row = piece.beliefs[observer];
        // Weights not above 0.0001 (and anything not a finite number) are
        // cut; the sum runs in index order. Scaling a cut weight keeps it
        // 0, so every weight is scaled, which lets the divisions run side by
        // side.
        float sum = 0.0f;
        for (int j = 0; j < 12; ++j) {
            const float x = row[j];
            const float kept = x > 0.0001f && x <= FLT_MAX ? x : 0.0f;
            row[j] = kept;
            sum += kept;
        }
        if (sum < 1e-9f) sum = 100.0f;
        for (int j = 0; j < 12; ++j) row[j] = row[j] * 100.0f / sum;
    }
}

void NarrowByCombat(const float* other, float* own, int result, PieceTable& table, int observer) {
    if (result < -1 || result > 1) return;
    NormaliseObserverRows(table, observer);
    float w[12];
    for (float& x : w) x = 100.0f;
    for (int i = 0; i < 12; ++i) {
        const char* mask = CombatMask(i + 1, result);
        for (int j = 0; j < 12; ++j)
            if (mask[j] != '1') w[j] = w[j] - other[i];
    }
    float saved[12];
    CopyRow(saved, own);
    for (int j = 0; j < 12; ++j)
        own[j] = static_cast<float>(static_cast<double>(own[j]) * static_cast<double>(w[j]) * 0.01);
    float sum = 0.0f;
    for (int j = 0; j < 12; ++j) sum += own[j];
    if (!(sum > 0.0f)) CopyRow(own, saved);
    NormaliseObserverRows(table, observer);
}

float ImmediateMoveValue(AiWorkspace& w, int viewer, const PieceTable& table, MoveCand& move, float beliefs[12]) {
    const BoardTables& b = *w.board;
    move.score = 0.0f;
    const int m = move.mover;
    if (!IsValidPiece(m) || !IsValidSeat(viewer)) return move.score;
    const PieceRec& mover = table[m];
    const float* row = mover.beliefs[viewer];

    if (row[1] > kMineGiveAway) move.score = static_cast<float>(move.score - 6.0 * row[1]);
    beliefs[1] = 0.0f;

    if (mover.code == kEngineer &&
        CheckStepBlocked(w.pathWork, move.fromX, move.fromY, move.toX, move.toY, w.path, w.path.length, table) != 0) {
        for (int j = 0; j < 12; ++j) beliefs[j] = 0.0f;
        beliefs[11] = 100.0f;
        if (row[11] < kSureEngineer && move.target < 0)
            move.score = static_cast<float>(move.score - kEngineerGiveAway);
    }

    const int p = PointIndexAt(b, move.toX, move.toY);
    if (p < 0) return move.score;
    switch (b.boardPoints[p].kind) {
        case kHeadquarters: move.score = static_cast<float>(move.score - kHeadquartersEntry); break;
        case kCamp: move.score = static_cast<float>(move.score + kCampEntry); break;
        case kRailway: move.score = static_cast<float>(move.score + kRailwayEntry); break;
        default: break;
    }

    // The centre holds no headquarters: no approach term for a move there.
    const int area = p / 30;
    if (area >= kCentreArea) return move.score;
    const BelievedFlag flag = BelievedFlagRow(table, viewer, area);

    bool fromIn = false;
    const int q = PointIndexAt(b, move.fromX, move.fromY);
    if (q >= 0 && q / 30 < kCentreArea) {
        const int sourceRow = q / 30 == area ? flag.row : RowByWeights(table, viewer, q / 30);
        fromIn = InApproachRow(sourceRow, q % 30);
    }
    if (table[HqPiece(area, 21)].alive == 0 && table[HqPiece(area, 23)].alive == 0) return move.score;
    if (!fromIn && mover.code != kEngineer) return move.score;
    if (InApproachRow(flag.row, p % 30)) return move.score;
    const double value = IsValidCode(mover.code) ? w.game.pieceValues[mover.code - 1] : 0.0;
    move.score = static_cast<float>(move.score - 3.0 * flag.weight * value / 70.0);
    return move.score;
}

double SeatPositionValue(AiWorkspace& w, int viewer, int seat, PieceTable& board) {
    if (!IsValidSeat(seat)) return 0.0;
    MoveGenWork& gen = w.playoutMoveList;
    const int n = SeatMovesOn(w, seat, board, gen);
    if (n <= 0) return 0.0;
    MoveCand* list = gen.list;
    float* pv = w.game.pieceValues;
    for (int i = 0; i < n; ++i) list[i].score = 0.0f;

    for (int i = 0; i < n; ++i) {
        MoveCand& c = list[i];
        if (c.target < 0 || !IsValidPiece(c.target) || !IsValidPiece(c.mover)) continue;
        PieceRec& mover = board[c.mover];
        PieceRec& target = board[c.target];
        float* moverRow = mover.beliefs[viewer];
        float* targetRow = target.beliefs[viewer];

        float kept[12];
        CopyRow(kept, moverRow);
        MoveCand& probe = w.playoutProbeMove;
        probe = c;
        float revised[12];
        CopyRow(revised, moverRow);
        const double imm = ImmediateMoveValue(w, viewer, board, probe, revised);
        CopyRow(moverRow, revised);

        double gain;
        double pwin;
        if (viewer == seat) {
            gain = ExpectedAttackValue(pv, mover.code, targetRow);
            pwin = WinProbability(mover.code, targetRow);
        } else {
            gain = ExpectedAttackValueMixed(pv, moverRow, targetRow);
            pwin = MixedWinProbability(targetRow, moverRow);
        }

        const int ts = SeatOf(c.target);
        NarrowByCombat(targetRow, moverRow, -1, board, viewer);
        NormalizeBeliefs(moverRow);
        mover.x = c.toX;
        mover.y = c.toY;
        target.alive = 0;

        // The best answer of the attacked seat on the piece that attacked.
        double best = kCounterStart;
        MoveGenWork& counters = w.counterMoveList;
        const int n2 = SeatMovesOn(w, ts, board, counters);
        for (int k = 0; k < n2; ++k) {
            const MoveCand& a = counters.list[k];
            if (a.target != c.mover || !IsValidPiece(a.mover)) continue;
            const double value = viewer == ts ? ExpectedAttackValue(pv, board[a.mover].code, moverRow)
                                              : ExpectedAttackValueMixed(pv, board[a.mover].beliefs[viewer], moverRow);
            if (value > best) best = value;
        }

        mover.x = c.fromX;
        mover.y = c.fromY;
        CopyRow(moverRow, kept);
        target.alive = 1;
        c.score = StoreScore(best > 0.0 ? imm + gain - best * pwin : imm + gain);
    }

    int chosen = -1;
    double bestScore = kBestStart;
    for (int i = 0; i < n; ++i) {
        if (list[i].score > bestScore) {
            bestScore = list[i].score;
            chosen = i;
        }
    }
    if (chosen < 0) chosen = 0;
    const MoveCand step = list[chosen];
    if (!IsValidPiece(step.mover)) return 0.0;

    PieceRec& mover = board[step.mover];
    mover.x = step.toX;
    mover.y = step.toY;
    double pwin = 1.0;
    if (step.target >= 0 && IsValidPiece(step.target)) {
        PieceRec& target = board[step.target];
        float* moverRow = mover.beliefs[viewer];
        float* targetRow = target.beliefs[viewer];
        pwin = viewer == seat ? WinProbability(mover.code, targetRow) : MixedWinProbability(targetRow, moverRow);
        NarrowByCombat(targetRow, moverRow, -1, board, viewer);
        NormalizeBeliefs(moverRow);
        NarrowByCombat(moverRow, targetRow, 1, board, viewer);
        NormalizeBeliefs(targetRow);
        target.alive = 0;
    }
    if (pwin < kCaptureSurvives) mover.alive = 0;
    return step.score;
}

double PlayoutValue(AiWorkspace& w, int me, PieceTable& board) {
    double v = 0.0;
    v += -kPlayoutSeatWeights[0] * SeatPositionValue(w, me, (me + 1) % kSeats, board);
    v += kPlayoutSeatWeights[1] * SeatPositionValue(w, me, (me + 2) % kSeats, board);
    v += -kPlayoutSeatWeights[2] * SeatPositionValue(w, me, (me + 3) % kSeats, board);
    v += kPlayoutSeatWeights[3] * SeatPositionValue(w, me, me, board);
    return v;
}

double CautionThreshold(const AiWorkspace& w, int code) {
    const double own = IsValidCode(code) ? w.game.pieceValues[code - 1] : 0.0;
    const double commander = w.game.pieceValues[kCommander - 1];
    if (!(commander > 0.0)) return kCautionBase;
    return kCautionBase + (w.game.styleCoefCaution - kCautionBase) * own / commander;
}

bool EvaluateMovesExpected(AiWorkspace& w, int me, int count, MoveCand* list, const PieceTable& table) {
    PieceTable& copy = w.aiScratchBoard2;
    float* pv = w.game.pieceValues;
    // Every position simulated below differs from the table in a few points:
    // the seats' moves there are derived from their moves on the table.
    for (int s = 0; s < kSeats; ++s) BuildSeatMoves(w, table, s, w.rootMoves[s]);
    copy = table;
    const double base = PlayoutValue(w, me, copy);
    for (int i = 0; i < count; ++i) list[i].score = 0.0f;

    for (int i = 0; i < count; ++i) {
        if (w.Aborted()) return false;
        MoveCand& cand = list[i];
        const int m = cand.mover;
        if (!IsValidPiece(m)) continue;
        copy = table;
        MoveCand probe = cand;
        float scratch[12] = {};
        const double imm = ImmediateMoveValue(w, me, copy, probe, scratch);

        float score;
        double survival;
        const int t = cand.target;
        if (t < 0 || !IsValidPiece(t)) {
            copy[m].x = cand.toX;
            copy[m].y = cand.toY;
            const double after = PlayoutValue(w, me, copy);
            score = StoreScore(imm + after - base);
            survival = copy[m].alive == 1 ? 1.0 : 0.0;
        } else {
            const int code = table[m].code;
            score = StoreScore(imm + ExpectedAttackValue(pv, code, table[t].beliefs[me]));

            // The mover loses.
            copy[m].x = cand.toX;
            copy[m].y = cand.toY;
            const double pl = LossProbability(code, copy[t].beliefs[me]);
            float sure[12] = {};
            if (IsValidCode(code)) sure[code - 1] = 100.0f;
            NarrowByCombat(sure, copy[t].beliefs[me], -1, copy, me);
            NormalizeBeliefs(copy[t].beliefs[me]);
            copy[m].alive = 0;
            double after = PlayoutValue(w, me, copy);
            score = StoreScore(score + (after - base) * pl);

            // The mover wins.
            copy = table;
            copy[m].x = cand.toX;
            copy[m].y = cand.toY;
            const double pw = WinProbability(code, copy[t].beliefs[me]);
            NarrowByCombat(copy[t].beliefs[me], copy[m].beliefs[me], -1, copy, me);
            NormalizeBeliefs(copy[m].beliefs[me]);
            copy[t].alive = 0;
            after = PlayoutValue(w, me, copy);
            score = StoreScore(score + (after - base) * pw);
            const int there = PieceAtPoint(copy[m].x, copy[m].y, copy);
            if (IsOfficerOfRank(code))
                survival = there == m ? pw : 0.0;
            else
                survival = (there == m || there == kNoPiece) ? pw : 0.0;

            // Both are removed. Win and loss chances adding up to more than
            // one would make this negative; the evaluation goes on with it
            // (nothing is shown from the thinking thread).
            copy = table;
            copy[m].x = cand.toX;
            copy[m].y = cand.toY;
            NarrowByCombat(copy[t].beliefs[me], copy[m].beliefs[me], 0, copy, me);
            NarrowByCombat(copy[m].beliefs[me], copy[t].beliefs[me], 0, copy, me);
            NormalizeBeliefs(copy[m].beliefs[me]);
            NormalizeBeliefs(copy[t].beliefs[me]);
            const double pt = 1.0 - pw - pl;
            copy[m].alive = 0;
            copy[t].alive = 0;
            after = PlayoutValue(w, me, copy);
            score = StoreScore(score + (after - base) * pt);
            if (!IsOfficerOfRank(code)) survival += pt;
        }

        if (survival < CautionThreshold(w, table[m].code) && score > 0.0f) score = 0.0f;
        cand.score = score;
    }
    return true;
}

}  // namespace jq
