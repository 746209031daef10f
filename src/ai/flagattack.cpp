#include "ai/flagattack.h"

#include <cmath>

#include "ai/expected.h"
#include "ai/flagplan0.h"
#include "ai/relations.h"

namespace jq {

namespace {

constexpr int kMaxStages = 4;
constexpr int kStageCoefficients = 10;

bool IsEnemyOf(int me, int piece) { return IsValidPiece(piece) && !SameTeam(SeatOf(piece), me); }

// The first enemy piece on the relation's path before its end, or -2.
int FirstEnemyInTheWay(const AttackRelation& r, int me) {
    for (int i = 0; i + 1 < r.blockerCount; ++i)
        if (IsEnemyOf(me, r.blockers[i])) return r.blockers[i];
    return kNoPiece;
}

float StoreScore(double v) {
    const float f = static_cast<float>(v);
    return std::isnan(f) ? 0.0f : f;
}

}  // namespace

int PlanFlagAttack(AiWorkspace& w, int me, int target, double value, MoveCand& out, const PieceTable& pieces) {
    double c[kStageCoefficients];
    for (int i = 0; i < kStageCoefficients; ++i) c[i] = value * std::pow(w.game.styleCoefAttack, i);
    c[0] = 0.0;
    out = MoveCand{};
    if (!IsValidSeat(me)) return kAttackNoPath;

    auto& rel = w.attackRelations;
    const double caution = w.game.styleCoefCaution;
    int stage = 0;
    int chosen = -1;
    while (stage < kMaxStages) {
        CollectAttackRelations(w, rel, me, target, pieces);
        if (w.Aborted()) return kAttackStopped;
        EvaluateAttackRelations(w, rel.items, rel.count, me, pieces, c[stage]);
        if (w.Aborted()) return kAttackStopped;

        for (int i = 0; i < rel.count && chosen < 0; ++i)
            if (rel[i].survival > caution && rel[i].score > 0.0) chosen = i;
        for (int i = 0; i < rel.count && chosen < 0; ++i) {
            const AttackRelation& r = rel[i];
            const int moverCode = pieces[r.moves[0].mover].code;
            if (FirstEnemyInTheWay(r, me) == kNoPiece && r.survival > CautionThreshold(w, moverCode) &&
                r.score > 0.0)
                chosen = i;
        }
        if (chosen >= 0) break;

        int next = kNoPiece;
        for (int i = 0; i < rel.count && next == kNoPiece; ++i) next = FirstEnemyInTheWay(rel[i], me);
        if (next == kNoPiece) return kAttackNoPath;
        target = next;
        ++stage;
    }
    if (chosen < 0) return kAttackTooManyStages;

    if (chosen != 0) rel[0] = rel[chosen];
    const AttackRelation& R = rel[0];
    int own = kNoPiece;
    for (int i = 0; i < R.blockerCount && own == kNoPiece; ++i)
        if (IsValidPiece(R.blockers[i]) && SeatOf(R.blockers[i]) == me) own = R.blockers[i];
    if (own == kNoPiece) {
        out = R.moves[0];
        out.score = StoreScore(R.score);
        return kAttackPlanned;
    }

    // An own piece on the way: its own best attack when it is good enough,
    // else a step aside. Its relations go after the chosen one.
    int32_t more = 0;
    CollectAttackRelations(w, rel.items + 1, rel.kCapacity - 1, more, me, own, pieces);
    rel.count = 1 + more;
    ++stage;
    EvaluateAttackRelations(w, rel.items + 1, more, me, pieces, c[stage]);
    if (more >= 1 && rel[1].score >= 0.0 && rel[1].survival >= caution) {
        out = rel[1].moves[0];
        out.score = StoreScore(rel[1].score);
        return kAttackPlanned;
    }
    FindSideStepMove(w, w.aiMoveTemp, own, R.moveCount, R.moves, pieces);
    if (w.aiMoveTemp.mover != own) {
        // No plan; the record names the path's mover and the piece barring it.
        out.mover = R.moves[0].mover;
        out.target = own;
        return kAttackOwnPieceStuck;
    }
    out = w.aiMoveTemp;
    out.score = StoreScore(R.score);
    return kAttackPlanned;
}

}  // namespace jq
