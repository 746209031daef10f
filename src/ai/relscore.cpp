// Scoring of attack relations: the walk of a mover along its path with the
// gains and survival chances of its combats and the enemy's answers at the
// points it stops on.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "ai/expectation.h"
#include "ai/expected.h"
#include "ai/inference.h"
#include "ai/relations.h"

namespace jq {

namespace {

constexpr double kThreatWeight = 0.618;
constexpr double kLowestStart = 9999999.0;
constexpr double kBestStart = -999999.0;
constexpr double kHeadquartersLoss = 3000.0;
constexpr int kMaxOptions = 100;
constexpr int kMaxMobilityPoints = 150;

enum OptionKind { kOptionAttack = 0, kOptionElsewhere = 1, kOptionNoAttack = 9 };

struct ThreatOption {
    int32_t piece = kNoPiece;
    int32_t kind = kOptionNoAttack;
    double value = 0.0;
    double weight = 0.0;
    double gain = 0.0;
    double chance = 1.0;
    float beliefs[12] = {};
};

void CopyRow(float dst[12], const float src[12]) { std::memcpy(dst, src, 12 * sizeof(float)); }

void LoadTerms(const MoveCand& m, float out[12]) {
    for (int j = 0; j < 8; ++j) out[j] = m.terms[j];
    for (int j = 0; j < 4; ++j) out[8 + j] = m.scratch[j];
}

void StoreTerms(MoveCand& m, const float in[12]) {
    for (int j = 0; j < 8; ++j) m.terms[j] = in[j];
    for (int j = 0; j < 4; ++j) m.scratch[j] = in[8 + j];
}

// The moves of one piece only, as GenerateMoves lists them for it: the
// seat's other pieces keep their places but count as flags (which never
// move) while the list is made. What a piece may do depends on where the
// others stand, not on what they are, and combat codes come from `codes`.
int GeneratePieceMoves(MoveGenWork& gen, PieceTable& table, int piece, const PieceTable& codes) {
    const int seat = SeatOf(piece);
    int32_t saved[kPiecesPerSeat];
    for (int k = 0; k < kPiecesPerSeat; ++k) {
        const int i = seat * kPiecesPerSeat + k;
        saved[k] = table[i].code;
        if (i != piece) table[i].code = kFlag;
    }
    const int n = GenerateMoves(gen, table, seat, codes);
    for (int k = 0; k < kPiecesPerSeat; ++k) table[seat * kPiecesPerSeat + k].code = saved[k];
    return n;
}

// Permutes the records so that list[i] becomes the old list[order[i]].
void ApplyOrder(AttackRelation* list, int count, int* order) {
    for (int i = 0; i < count; ++i) {
        if (order[i] == i || order[i] < 0) continue;
        AttackRelation held = list[i];
        int j = i;
        for (;;) {
            const int from = order[j];
            order[j] = -1;
            if (from == i) {
                list[j] = held;
                break;
            }
            list[j] = list[from];
            j = from;
        }
    }
}

}  // namespace

void EvaluateAttackRelations(AiWorkspace& w, AttackRelation* list, int count, int viewer, const PieceTable& pieces,
                             double reachValue) {
    const BoardTables& b = *w.board;
    PieceTable& board = w.aiScratchBoard;
    board = pieces;
    if (count <= 0 || list == nullptr || !IsValidSeat(viewer)) return;
    float* pv = w.game.pieceValues;
    const int S = SeatOf(list[0].moves[0].mover);

    for (int r = 0; r < count; ++r) {
        // A stop asked for leaves the list as it is; the plans give up at
        // once when they see the flag.
        if (w.Aborted()) return;
        AttackRelation& rel = list[r];
        double P = 1.0;
        double X = 1.0;
        rel.gain = 0.0;
        const int m = rel.moves[0].mover;
        if (!IsValidPiece(m) || rel.moveCount < 1) {
            rel.survival = 0.0;
            continue;
        }
        const int moverCode = board[m].code;

        float B[12];
        CopyRow(B, board[m].beliefs[viewer]);
        MoveCand first = rel.moves[0];
        StoreTerms(first, B);
        float scratch[12];
        LoadTerms(first, scratch);
        ImmediateMoveValue(w, viewer, board, first, scratch);
        CopyRow(B, scratch);

        const int moves = std::min<int>(rel.moveCount, kMaxAttackMoves);
        for (int j = 0; j < moves; ++j) {
            const MoveCand& mv = rel.moves[j];
            const int t = mv.target;
            const bool last = j == moves - 1;
            if (IsValidPiece(t) && SeatOf(t) != S) {
                const int ts = SeatOf(t);
                double g;
                if (viewer == S)
                    g = ExpectedAttackValue(pv, moverCode, board[t].beliefs[viewer]);
                else if (viewer == ts)
                    g = -ExpectedAttackValue(pv, board[t].code, board[m].beliefs[viewer]);
                else
                    g = ExpectedAttackValueMixed(pv, B, board[t].beliefs[viewer]);
                rel.gain += P * g;
                if (!last) {
                    if (viewer == S)
                        P *= WinProbability(moverCode, board[t].beliefs[S]);
                    else if (viewer == ts)
                        P *= LossProbability(board[t].code, board[m].beliefs[S]);
                    else
                        P *= MixedWinProbability(board[t].beliefs[viewer], B);
                } else {
                    double q;
                    if (viewer == S)
                        q = LossProbability(moverCode, board[t].beliefs[S]);
                    else if (viewer == ts)
                        q = WinProbability(board[t].code, board[m].beliefs[S]);
                    else
                        q = MixedWinProbability(board[t].beliefs[viewer], B);
                    P *= 1.0 - q;
                }
                UpdateBeliefsByCombat(board[t].beliefs[viewer], B, -1, board);
                board[t].alive = 0;
            }
            X = P;

            const int p = PointIndexAt(b, mv.toX, mv.toY);
            if (p < 0) continue;
            const int kind = b.boardPoints[p].kind;
            if (kind == kHeadquarters) {
                const double own = IsValidCode(moverCode) ? pv[moverCode - 1] : 0.0;
                rel.gain -= viewer == S ? 100.0 * own : kHeadquartersLoss;
                P = 0.0;
            } else if (kind == kRailway || kind == kRoad) {
                NormalizeBeliefs(B);
                double a = 0.0;
                double s = 0.0;
                EvaluateRailThreat(w, a, s, B, m, viewer, S, mv.toX, mv.toY, board);
                rel.gain += a * P;
                P *= s;
            }
        }
        rel.survival = X;
        for (int j = 0; j < moves; ++j)
            if (IsValidPiece(rel.moves[j].target)) board[rel.moves[j].target].alive = 1;
    }

    for (int r = 0; r < count; ++r) {
        AttackRelation& rel = list[r];
        rel.score = ((w.game.styleCoefAttack * reachValue * rel.survival + rel.gain) * w.game.aiPlanScale) /
                    (rel.cost + w.game.aiPlanStepOffset);
        if (std::isnan(rel.score)) rel.score = 0.0;
    }

    // Exchange sort, best first, played out on the positions and then
    // carried out on the records once.
    int order[kRelationSoftLimit + 64];
    constexpr int kOrderRoom = static_cast<int>(sizeof order / sizeof order[0]);
    const int n = count < kOrderRoom ? count : kOrderRoom;
    for (int i = 0; i < n; ++i) order[i] = i;
    for (int i = 0; i + 1 < n; ++i)
        for (int j = i + 1; j < n; ++j)
            if (list[order[i]].score < list[order[j]].score) std::swap(order[i], order[j]);
    ApplyOrder(list, n, order);
}

void EvaluateRailThreat(AiWorkspace& w, double& gainOut, double& survivalOut, float B[12], int m, int viewer, int S,
                        int x, int y, PieceTable& pieces) {
    float* pv = w.game.pieceValues;
    FindRailAttackers(w, x, y, S, pieces);
    // The list is read while the options are weighed; keep it.
    ReachEntry pairs[decltype(w.aiReachList)::kCapacity];
    const int pairCount = w.aiReachList.count;
    for (int i = 0; i < pairCount; ++i) pairs[i] = w.aiReachList[i];

    FixedList<ThreatOption, kMaxOptions> options;
    ThreatOption none;
    none.value = -BestThreatValue(w, B, x, y, viewer, pairs, pairCount, kNoPiece, pieces);
    options.Append(none);
    for (int i = 0; i < pairCount; ++i) {
        const int a = pairs[i].piece;
        const float* aRow = pieces[a].beliefs[viewer];
        const double rest = BestThreatValue(w, B, x, y, viewer, pairs, pairCount, a, pieces);
        ThreatOption attack;
        attack.piece = a;
        attack.kind = kOptionAttack;
        attack.value = ExpectedAttackValueMixed(pv, aRow, B) - MixedWinProbability(aRow, B) * rest;
        options.Append(attack);
        if (pairs[i].fromCamp != 1 && TestRelocatedMobility(w, x, y, a, pieces) == 1) {
            ThreatOption elsewhere;
            elsewhere.piece = a;
            elsewhere.kind = kOptionElsewhere;
            elsewhere.value = -rest;
            options.Append(elsewhere);
        }
    }

    double lowest = kLowestStart;
    for (int i = 0; i < options.count; ++i) {
        options[i].value *= kThreatWeight;
        if (options[i].value < lowest) lowest = options[i].value;
    }
    double sum = 0.0;
    for (int i = 0; i < options.count; ++i) {
        options[i].value = options[i].value - lowest + 1.0;
        sum += options[i].value;
    }
    for (int i = 0; i < options.count; ++i) options[i].weight = options[i].value / sum;

    const int moverCode = IsValidPiece(m) ? pieces[m].code : 0;
    const float* moverRow = IsValidPiece(m) ? pieces[m].beliefs[viewer] : B;
    for (int i = 0; i < options.count; ++i) {
        ThreatOption& o = options[i];
        CopyRow(o.beliefs, B);
        if (o.kind != kOptionAttack) continue;
        const int a = o.piece;
        const float* aRow = pieces[a].beliefs[viewer];
        if (viewer == S) {
            o.gain = ExpectedAttackValue(pv, moverCode, aRow);
            o.chance = WinProbability(moverCode, aRow);
        } else if (viewer == SeatOf(a)) {
            o.gain = -ExpectedAttackValue(pv, pieces[a].code, moverRow);
            o.chance = LossProbability(pieces[a].code, moverRow);
        } else {
            o.gain = ExpectedAttackValueMixed(pv, moverRow, aRow);
            o.chance = MixedWinProbability(aRow, moverRow);
        }
        UpdateBeliefsByCombat(pieces[a].beliefs[viewer], o.beliefs, -1, pieces);
    }

    double gain = 0.0;
    double survival = 0.0;
    double mixed[12] = {};
    for (int i = 0; i < options.count; ++i) {
        const ThreatOption& o = options[i];
        gain += o.gain * o.weight;
        survival += o.chance * o.weight;
        for (int j = 0; j < 12; ++j) mixed[j] += o.beliefs[j] * o.chance * o.weight;
    }
    gainOut = gain;
    survivalOut = survival;
    for (int j = 0; j < 12; ++j) B[j] = static_cast<float>(mixed[j]);
    NormalizeBeliefs(B);
}

double BestThreatValue(AiWorkspace& w, const float beliefs[12], int x, int y, int viewer, const ReachEntry* pairs,
                       int pairCount, int excluded, const PieceTable& pieces) {
    double best = kBestStart;
    for (int i = 0; i < pairCount; ++i) {
        const int a = pairs[i].piece;
        if (a == excluded || pairs[i].fromCamp == 1 || !IsValidPiece(a)) continue;
        const PieceRec& pc = pieces[a];
        int length = 0;
        const bool joined =
            FindRailLinePath(w.pathWork, pc.x, pc.y, x, y, w.path, length, pieces, nullptr) > 0 ||
            FindStraightRailPath(w.pathWork, pc.x, pc.y, x, y, w.path, length, pieces, nullptr) > 0 ||
            (std::abs(pc.x - x) <= 1 && std::abs(pc.y - y) <= 1);
        if (!joined) continue;
        const double v = ExpectedAttackValueMixed(w.game.pieceValues, beliefs, pc.beliefs[viewer]);
        if (v > best) best = v;
    }
    return best < 0.0 ? 0.0 : best;
}

int TestRelocatedMobility(AiWorkspace& w, int x, int y, int a, PieceTable& pieces) {
    if (!IsValidPiece(a)) return 0;
    const BoardTables& b = *w.board;
    PieceRec& pc = pieces[a];
    const int32_t savedX = pc.x;
    const int32_t savedY = pc.y;
    const int32_t savedCode = pc.code;
    pc.x = x;
    pc.y = y;
    pc.code = kArmyCommander;

    MoveGenWork& gen = w.mobilityMoveList;
    FixedList<int32_t, kMaxMobilityPoints> there;
    int n = GeneratePieceMoves(gen, pieces, a, w.game.pieces);
    for (int i = 0; i < n; ++i)
        if (gen.list[i].mover == a) there.Append(PointIndexAt(b, gen.list[i].toX, gen.list[i].toY));

    pc.x = savedX;
    pc.y = savedY;
    pc.code = savedCode;
    n = GeneratePieceMoves(gen, pieces, a, w.game.pieces);
    for (int i = 0; i < n; ++i) {
        const MoveCand& c = gen.list[i];
        if (c.mover != a) continue;
        const int q = PointIndexAt(b, c.toX, c.toY);
        if (q >= 0 && b.boardPoints[q].kind == kCamp) return 1;
        bool listed = false;
        for (int k = 0; k < there.count && !listed; ++k) listed = there[k] == q;
        if (!listed) return 1;
    }
    return 0;
}

}  // namespace jq
