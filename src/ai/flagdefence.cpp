#include "ai/flagdefence.h"

#include <cmath>

#include "ai/attackpath.h"
#include "ai/flagplan0.h"
#include "ai/relations.h"

namespace jq {

namespace {

constexpr int kMaxThreatMoves = 4;
constexpr int kNearThreatMoves = 2;
constexpr double kHopeless = 0.0314159265;

int Near(const AttackRelation& threat, int near, int far) {
    return threat.moveCount <= kNearThreatMoves ? near : far;
}

float StoreScore(double v) {
    const float f = static_cast<float>(v);
    return std::isnan(f) ? 0.0f : f;
}

}  // namespace

int PlanFlagDefence(AiWorkspace& w, int me, int enemy, int ownFlag, double value, MoveCand& out,
                    const PieceTable& pieces) {
    out = MoveCand{};
    if (!IsValidSeat(me) || !IsValidSeat(enemy) || !IsValidPiece(ownFlag)) return kDefenceNoPath;

    auto& threats = w.flagThreatRelations;
    CollectAttackRelations(w, threats, enemy, ownFlag, pieces);
    if (w.Aborted()) return kDefenceStopped;
    if (threats.count <= 0) return kDefenceNoPath;
    EvaluateAttackRelations(w, threats.items, threats.count, me, pieces, value);
    if (w.Aborted()) return kDefenceStopped;

    const AttackRelation T = threats[0];
    if (T.moveCount > kMaxThreatMoves || T.survival < w.game.styleCoefDefence) return kDefenceNoThreat;

    // The scenario: the enemies gone, the own pieces the threat takes on its
    // way gone, and a copy of the attacker on the start of each of its moves,
    // carrying its move number.
    PieceTable& scene = w.aiScratchBoard3;
    scene = pieces;
    for (int i = 0; i < kPieceCount; ++i) {
        const int s = SeatOf(i);
        if (s == (me + 1) % kSeats || s == (me + 3) % kSeats) scene[i].alive = 0;
    }
    for (int i = 0; i < T.blockerCount; ++i)
        if (IsValidPiece(T.blockers[i]) && SeatOf(T.blockers[i]) == me) scene[T.blockers[i]].alive = 0;
    const int attacker = T.moves[0].mover;
    for (int i = 0; i < T.moveCount; ++i) {
        if (w.Aborted()) return kDefenceStopped;
        const MoveCand& mv = T.moves[i];
        if (IsValidPiece(mv.target)) scene[mv.target].alive = 0;
        PieceRec& ghost = scene[enemy * kPiecesPerSeat + i];
        ghost = pieces[attacker];
        ghost.x = mv.fromX;
        ghost.y = mv.fromY;
        ghost.alive = 1;
        ghost.startX = i;
    }

    auto& counters = w.counterRelations;
    CollectAttackRelations(w, counters, me, kNoPiece, scene);
    if (w.Aborted()) return kDefenceStopped;
    if (counters.count <= 0) return Near(T, kDefenceNoCounterNear, kDefenceNoCounter);
    EvaluateAttackRelations(w, counters.items, counters.count, me, scene, value);
    if (w.Aborted()) return kDefenceStopped;

    // Only counters that reach the copy they attack no later than the
    // attacker gets there stay.
    int32_t onPath[kPathPieceRoom];
    for (int i = 0; i < counters.count;) {
        if (w.Aborted()) return kDefenceStopped;
        AttackRelation& C = counters[i];
        const int n = CollectPathPieces(w, onPath, kPathPieceRoom, C.moveCount, C.moves, pieces, pieces);
        const int stored = n < kPathPieceRoom ? n : kPathPieceRoom;
        bool foreignInWay = n <= 1;
        for (int k = 0; k + 1 < stored && !foreignInWay; ++k) foreignInWay = SeatOf(onPath[k]) != me;
        const int lastPiece = C.blockerCount > 0 ? C.blockers[C.blockerCount - 1] : kNoPiece;
        const bool timed = IsValidPiece(lastPiece) && scene[lastPiece].startX >= C.cost - 1;
        if (foreignInWay && timed) {
            C.cost = scene[lastPiece].startX - (C.cost - 1);
            ++i;
        } else {
            counters[i] = counters[counters.count - 1];
            --counters.count;
        }
    }
    if (counters.count <= 0) return Near(T, kDefenceTooLateNear, kDefenceTooLate);

    for (int i = 0; i < counters.count; ++i) counters[i].cost += T.moveCount;
    EvaluateAttackRelations(w, counters.items, counters.count, me, scene, value);
    AttackRelation& B = counters[0];
    B.score = B.score * 2.0 * (1.0 + 0.2 * (w.game.styleDefence - 5));

    // The first own piece standing on the counter's path, as the path was
    // found (own pieces that can step aside lifted). Traced again on the
    // table as it stands, a path through an own piece breaks off (no piece
    // may move onto or run through its own side's), and the piece would
    // never be seen.
    int own = kNoPiece;
    for (int k = 0; k < B.blockerCount && own == kNoPiece; ++k)
        if (IsValidPiece(B.blockers[k]) && SeatOf(B.blockers[k]) == me) own = B.blockers[k];
    if (own != kNoPiece) {
        FindSideStepMove(w, w.aiMoveTemp, own, B.moveCount, B.moves, pieces);
        if (w.aiMoveTemp.mover != own) return kDefenceTooLate;
        out = w.aiMoveTemp;
    } else {
        out = B.moves[0];
    }
    out.score = StoreScore(B.score);
    if (B.score < 0.0 || B.survival < kHopeless) return Near(T, kDefenceWeakCounterNear, kDefenceWeakCounter);
    return kDefencePlanned;
}

}  // namespace jq
