#include "ai/choose12.h"

#include <cmath>

#include "ai/choose0.h"
#include "ai/expected.h"
#include "ai/flagattack.h"
#include "ai/flagdefence.h"

namespace jq {

namespace {

constexpr float kFlagBelief = 90.0f;
constexpr double kStakeFactor = 100.0;
constexpr float kClearBest = 1000.0f;
constexpr int32_t kNoFlagLocated = -1;

// The enemy's headquarters piece believed to hold its flag: slot 21, else
// slot 23, alive and above 90 in me's row; -2 none.
int LocatedFlag(const PieceTable& pieces, int me, int enemy) {
    for (int slot : {21, 23}) {
        const PieceRec& pc = pieces[enemy * kPiecesPerSeat + slot];
        if (pc.alive == 1 && pc.beliefs[me][0] > kFlagBelief) return enemy * kPiecesPerSeat + slot;
    }
    return kNoPiece;
}

// The own flag as me's own row sees it (alive or not); -2 none.
int OwnFlag(const PieceTable& pieces, int me) {
    for (int slot : {21, 23}) {
        const int i = me * kPiecesPerSeat + slot;
        if (pieces[i].beliefs[me][0] > kFlagBelief) return i;
    }
    return kNoPiece;
}

bool SamePoints(const MoveCand& a, const MoveCand& b) {
    return a.fromX == b.fromX && a.fromY == b.fromY && a.toX == b.toX && a.toY == b.toY;
}

}  // namespace

void ApplyFlagPlans(const FlagPlans& plans, MoveCand* list, int count, double stake) {
    bool anyPlan = false;
    for (int32_t s : plans.status) anyPlan = anyPlan || s >= 0;
    if (anyPlan)
        for (int i = 0; i < count; ++i)
            if (list[i].score >= kPlanScoreCap) list[i].score = 0.0f;

    for (int slot = 0; slot < 4; ++slot) {
        const int32_t status = plans.status[slot];
        if (status >= 0) {
            const MoveCand& plan = plans.move[slot];
            for (int i = 0; i < count; ++i) {
                if (!SamePoints(list[i], plan)) continue;
                if (list[i].score < plan.score) list[i].score = plan.score;
                break;
            }
        } else if (IsUncounteredNearThreat(status)) {
            for (int i = 0; i < count; ++i)
                if (list[i].target >= 0) list[i].score = static_cast<float>(list[i].score + stake);
        }
    }
}

float AdvancedPickThreshold(int stepCount) { return static_cast<float>((stepCount / 20) * 0.4 + 0.6); }

int PickAdvancedCandidate(AiWorkspace& w, const MoveCand* list, int count) {
    if (count <= 0) return 0;
    const int step = w.game.stepCount;
    int n = 0;
    while (n < count && list[n].score >= 0.0f) ++n;
    const double t = AdvancedPickThreshold(step);
    GameRandom& rng = *w.random;
    const int r = rng.Next() % 8;
    const double s0 = list[0].score;
    const int first = list[0].mover;
    if (step < 4 * r + 4 && IsValidPiece(first) && w.game.pieces[first].code == kCommander) {
        // One of the next up to three, never past the end of the list.
        const int room = count - 1 < 3 ? count - 1 : 3;
        return room >= 1 ? 1 + rng.Next() % room : 0;
    }
    if (count > 3 && list[2].score > 0.0f && list[2].score / s0 > t) return rng.Next() % 3;
    if (count > 2 && list[1].score > 0.0f && list[1].score / s0 > t) return rng.Next() % 2;
    if (list[0].score > kClearBest) return 0;
    return n >= 1 ? rng.Next() % n : 0;
}

bool ChooseMoveAdvanced(AiWorkspace& w) {
    AiSnapshot& g = w.game;
    const int me = g.curSeat;
    const PieceTable& pieces = g.pieces;
    MoveGenWork& gen = w.aiMoveList;
    gen.count = 0;
    if (!IsValidSeat(me)) return true;
    const int e1 = (me + 1) % kSeats;
    const int e3 = (me + 3) % kSeats;
    const double stake = kStakeFactor * g.pieceValues[kFlag - 1];

    FlagPlans plans;
    if (g.aiLevel >= 1) {
        const int enemies[2] = {e1, e3};
        for (int k = 0; k < 2; ++k) {
            const int target = LocatedFlag(pieces, me, enemies[k]);
            plans.status[k] = target == kNoPiece ? kNoFlagLocated
                                                 : PlanFlagAttack(w, me, target, stake, plans.move[k], pieces);
            if (w.Aborted()) return false;
        }
    }
    if (w.Aborted()) return false;
    w.aiPhaseTimes[0] = w.clock();

    if (g.aiLevel >= 2) {
        const int flag = OwnFlag(pieces, me);
        if (flag != kNoPiece) {
            plans.status[2] = PlanFlagDefence(w, me, e1, flag, stake, plans.move[2], pieces);
            if (w.Aborted()) return false;
            plans.status[3] = PlanFlagDefence(w, me, e3, flag, stake, plans.move[3], pieces);
            if (w.Aborted()) return false;
        }
    }
    w.aiPhaseTimes[1] = w.clock();

    MoveCand zero;
    zero.mover = 0;
    zero.target = 0;
    for (MoveCand& c : gen.list) c = zero;
    const int count = GenerateMoves(gen, pieces, me, pieces);
    MoveCand* list = gen.list;
    if (!EvaluateMovesExpected(w, me, count, list, pieces)) return false;
    if (w.Aborted()) return false;
    if (count <= 0) return true;
    w.aiPhaseTimes[2] = w.clock();

    ApplyFlagPlans(plans, list, count, stake);
    for (int i = 0; i < count; ++i)
        if (std::isnan(list[i].score)) list[i].score = 0.0f;
    SortCandidatesByScore(w, list, count);
    const int pick = PickAdvancedCandidate(w, list, count);
    w.aiChosenIndex = pick;
    if (pick != 0) {
        w.aiMoveTemp = list[0];
        list[0] = list[pick];
        list[pick] = w.aiMoveTemp;
    }
    return true;
}

}  // namespace jq
