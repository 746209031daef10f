#include "ai/choose0.h"

#include <cmath>

#include "ai/choose12.h"
#include "ai/derivedmoves.h"
#include "ai/evaluate.h"
#include "ai/flagplan0.h"

namespace jq {

const float kSeatTermWeights[8] = {0.7f, 0.65f, 0.6f, 0.2f, 0.16f, 0.16f, 0.16f, 0.06f};

namespace {

constexpr float kMarked = 10.0f;
constexpr float kUnmarked = 0.0f;
constexpr int kFullLookAheadBelow = 48;
constexpr float kPlanBonus = 1600.0f;
constexpr float kFlagBelief = 50.0f;

float Finite(float v) { return std::isnan(v) ? 0.0f : v; }

// Every candidate of a piece that can attack is looked at ahead, except the
// plain moves of engineers.
bool MarkAttackers(AiWorkspace& w, MoveCand* list, int count) {
    const PieceTable& pieces = w.game.pieces;
    for (int i = 0; i < count; ++i) list[i].terms[0] = kUnmarked;
    for (int i = 0; i < count; ++i) {
        if (w.Aborted()) return false;
        if (list[i].terms[0] != kUnmarked) continue;
        int end = i;
        bool attacking = false;
        while (end < count && list[end].mover == list[i].mover) {
            if (list[end].target >= 0) attacking = true;
            ++end;
        }
        for (int j = i; j < end; ++j) {
            const bool engineerStep = pieces[list[j].mover].code == kEngineer && list[j].target < 0;
            list[j].terms[0] = attacking && !engineerStep ? kMarked : kUnmarked;
        }
    }
    return true;
}

// Moves onto an approach square of a headquarters believed to hold a flag.
bool MarkApproaches(AiWorkspace& w, MoveCand* list, int count, int me) {
    const BoardTables& b = *w.board;
    const PieceTable& pieces = w.game.pieces;
    for (int i = 0; i < count; ++i) {
        if (w.Aborted()) return false;
        MoveCand& c = list[i];
        if (c.terms[0] != kUnmarked) continue;
        const int p = PointIndexAt(b, c.toX, c.toY);
        if (p < 0 || p / 30 >= 4) continue;
        const int area = p / 30;
        if (pieces[area * kPiecesPerSeat + 21].alive != 1 && pieces[area * kPiecesPerSeat + 23].alive != 1) continue;
        if (InApproachRow(BelievedFlagRow(pieces, me, area).row, p % 30)) c.terms[0] = kMarked;
    }
    return true;
}

int FlagTarget(const PieceTable& pieces, int me, int enemy) {
    const int left = enemy * kPiecesPerSeat + 21;
    const int right = enemy * kPiecesPerSeat + 23;
    if (pieces[left].alive != 1 && pieces[right].alive != 1) return kNoPiece;
    if (pieces[left].beliefs[me][0] > kFlagBelief) return left;
    if (pieces[right].beliefs[me][0] > kFlagBelief) return right;
    return kNoPiece;
}

float Strength(const AiWorkspace& w, int me, int enemy) {
    const PieceTable& pieces = w.game.pieces;
    float sum = 0.0f;
    for (int i = enemy * kPiecesPerSeat; i < (enemy + 1) * kPiecesPerSeat; ++i) {
        if (pieces[i].alive != 1) continue;
        for (int c = 0; c < 12; ++c)
            sum = static_cast<float>(sum + static_cast<double>(w.game.pieceValues[c]) * pieces[i].beliefs[me][c]);
    }
    return sum;
}

}  // namespace

void AddFlagAttackBonus(AiWorkspace& w, MoveCand* list, int count, int me) {
    const PieceTable& pieces = w.game.pieces;
    const int right = (me + 1) % kSeats;
    const int left = (me + 3) % kSeats;
    const int targets[2] = {FlagTarget(pieces, me, right), FlagTarget(pieces, me, left)};
    const bool rightWeaker = Strength(w, me, right) < Strength(w, me, left);
    const int order[2] = {rightWeaker ? targets[0] : targets[1], rightWeaker ? targets[1] : targets[0]};
    PlanFlagAttackBasic(w, w.aiMoveTemp, me, order[0], pieces);
    if (w.aiMoveTemp.mover < 0) PlanFlagAttackBasic(w, w.aiMoveTemp, me, order[1], pieces);
    const MoveCand& plan = w.aiMoveTemp;
    if (plan.mover < 0) return;
    for (int i = 0; i < count; ++i) {
        MoveCand& c = list[i];
        if (c.fromX == plan.fromX && c.fromY == plan.fromY && c.toX == plan.toX && c.toY == plan.toY) {
            c.score = Finite(c.score + kPlanBonus);
            return;
        }
    }
}

bool MarkCandidates(AiWorkspace& w, MoveCand* list, int count, int me) {
    if (!MarkAttackers(w, list, count)) return false;
    if (count < kFullLookAheadBelow)
        for (int i = 0; i < count; ++i) list[i].terms[0] = kMarked;
    return MarkApproaches(w, list, count, me);
}

void SortCandidatesByScore(AiWorkspace& w, MoveCand* list, int count) {
    for (int i = 0; i + 1 < count; ++i)
        for (int j = i + 1; j < count; ++j)
            if (list[i].score < list[j].score) {
                w.aiMoveTemp = list[i];
                list[i] = list[j];
                list[j] = w.aiMoveTemp;
            }
}

int PickCandidate(AiWorkspace& w, const MoveCand* list, int count) {
    if (count < 2) return 0;
    const int step = w.game.stepCount;
    int n = 0;
    while (n < count && list[n].score >= 0.0f) ++n;
    const double t = PickThreshold(step);
    GameRandom& rng = *w.random;
    const int r = rng.Next() % 8;
    const float s0 = list[0].score;
    const int moverCode = IsValidPiece(list[0].mover) ? w.game.pieces[list[0].mover].code : kCodeNone;
    if (step < 4 * r + 4 && moverCode == kCommander && list[0].target >= 0) {
        // Among the next up to three, never past the end of the list.
        const int room = count - 1 < 3 ? count - 1 : 3;
        return room >= 1 ? 1 + rng.Next() % room : 0;
    }
    if (count > 3 && list[2].score > 0.0f && static_cast<double>(list[2].score) / s0 > t) return rng.Next() % 3;
    if (list[1].score > 0.0f && static_cast<double>(list[1].score) / s0 > t) return rng.Next() % 2;
    if (s0 <= 500.0f) return n >= 1 ? rng.Next() % n : 0;
    return 0;
}

double PickThreshold(int stepCount) {
    if (stepCount == 1) return 0.1;
    if (stepCount == 2) return 0.2;
    return (stepCount / 80) * 0.4 + 0.6;
}

bool ChooseMoveBasic(AiWorkspace& w) {
    AiSnapshot& g = w.game;
    w.aiPhaseTimes[0] = w.aiPhaseTimes[1] = w.clock();
    MoveGenWork& gen = w.aiMoveList;
    const int count = GenerateMoves(gen, g.pieces, g.curSeat, g.pieces);
    MoveCand* list = gen.list;
    if (count <= 1) {
        w.aiPhaseTimes[2] = w.clock();
        return true;
    }
    const int me = list[0].mover / kPiecesPerSeat;
    const int order[4] = {(me + 1) % kSeats, (me + 2) % kSeats, (me + 3) % kSeats, me};

    if (!MarkCandidates(w, list, count, me)) return false;

    // Each seat's moves on the board as it stands are kept: the moves after
    // a candidate and the replies to it are derived from them.
    w.aiScratchBoard = g.pieces;
    float base[kSeats] = {};
    for (int s : order) {
        SeatMoves& root = w.rootMoves[s];
        BuildSeatMoves(w, w.aiScratchBoard, s, root);
        base[s] = ThreatBalanceOfMoves(w, me, s, w.aiScratchBoard, root.list, root.count);
    }

    for (int i = 0; i < count; ++i) {
        if (w.Aborted()) return false;
        MoveCand& c = list[i];
        const bool marked = c.terms[0] > 3.1f;
        c.score = EvaluateMoveBasic(w, me, me, g.pieces, c);
        ApplyMoveToCopy(w, g.pieces, w.aiScratchBoard, c, 1);
        for (int s : order) c.terms[s] = marked ? SeatReplyValue(w, me, s, w.aiScratchBoard) : base[s];
        for (int s = 0; s < kSeats; ++s) {
            MoveCand* moves = w.threatMoveList.list;
            const int n = DeriveSeatMoves(w, w.rootMoves[s], w.aiScratchBoard, moves);
            c.terms[4 + s] = ThreatBalanceOfMoves(w, me, s, w.aiScratchBoard, moves, n);
        }
    }

    for (int i = 0; i < count; ++i) {
        if (w.Aborted()) return false;
        MoveCand& c = list[i];
        for (int k = 0; k < 4; ++k) {
            const int s = order[k];
            c.terms[s] = c.terms[s] * kSeatTermWeights[k];
            c.terms[4 + s] = c.terms[4 + s] * kSeatTermWeights[4 + k];
        }
        for (int s : {order[0], order[2]}) {
            c.terms[s] = -c.terms[s];
            c.terms[4 + s] = -c.terms[4 + s];
        }
    }
    for (int i = 0; i < count; ++i) {
        MoveCand& c = list[i];
        float score = c.score;
        for (int k = 0; k < 8; ++k) score = score + c.terms[k];
        c.score = Finite(score);
    }

    if (w.Aborted()) return false;
    AddFlagAttackBonus(w, list, count, me);

    SortCandidatesByScore(w, list, count);
    const int pick = PickCandidate(w, list, count);
    if (pick != 0) {
        w.aiMoveTemp = list[0];
        list[0] = list[pick];
        list[pick] = w.aiMoveTemp;
    }
    w.aiPhaseTimes[2] = w.clock();
    return true;
}

bool ChooseMove(AiWorkspace& w) {
    // Moves kept by an earlier search may be of another battle.
    for (SeatMoves& root : w.rootMoves) root.valid = false;
    w.replyBase.valid = false;
    switch (w.game.aiLevel) {
        case 0: return ChooseMoveBasic(w);
        // "中级", "高级" and any other value.
        default: return ChooseMoveAdvanced(w);
    }
}

}  // namespace jq
