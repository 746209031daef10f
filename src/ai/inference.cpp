#include "ai/inference.h"

#include <cstring>

#include "core/qipan.h"
#include "formations/piecestats.h"

namespace jq {

const char* const kMaskIsCommander = "000100000000-000";
const char* const kMaskNotCommander = "111011111111-000";
const char* const kMaskIsFlag = "100000000000-000";
const char* const kMaskNotFlag = "011111111111-000";
const char* const kMaskIsBomb = "001000000000-000";
const char* const kMaskHasMoved = "001111111111-000";
const char* const kMaskIsEngineer = "000000000001-000";

namespace {

constexpr const char* kCombatMasks[12][3] = {
    {"001111111111-000", "001111111111-000", "001111111111-000"},  // flag
    {"000000000001-000", "001000000000-000", "000111111110-000"},  // mine
    {"111111111111-000", "011111111111-000", "100000000000-000"},  // bomb
    {"010000000000-000", "001100000000-000", "100011111111-000"},  // commander
    {"010100000000-000", "001010000000-000", "100001111111-000"},  // army commander
    {"010110000000-000", "001001000000-000", "100000111111-000"},  // division
    {"010111000000-000", "001000100000-000", "100000011111-000"},  // brigade
    {"010111100000-000", "001000010000-000", "100000001111-000"},  // regiment
    {"010111110000-000", "001000001000-000", "100000000111-000"},  // battalion
    {"010111111000-000", "001000000100-000", "100000000011-000"},  // company
    {"010111111100-000", "001000000010-000", "100000000001-000"},  // platoon
    {"000111111110-000", "001000000001-000", "110000000000-000"},  // engineer
};

constexpr int kHqLeft = 21;
constexpr int kHqRight = 23;

float RowSum(const float* v) {
    float sum = 0.0f;
    for (int j = 0; j < 12; ++j) sum += v[j];
    return sum;
}

void MaskForAll(int piece, const char* mask, PieceTable& table) {
    if (!IsValidPiece(piece) || mask == nullptr) return;
    for (int obs = 0; obs < kSeats; ++obs) ApplyTypeMask(piece, obs, mask, table);
}

// Everyone learns which piece of `seat` was its commander.
void RevealCommander(int seat, int commander, PieceTable& table) {
    for (int obs = 0; obs < kSeats; ++obs)
        for (int p = seat * kPiecesPerSeat; p < (seat + 1) * kPiecesPerSeat; ++p)
            ApplyTypeMask(p, obs, p == commander ? kMaskIsCommander : kMaskNotCommander, table);
}

// Everyone learns which headquarters of `seat` holds the flag. The piece of
// slot 21 is tested; when it is not the flag, slot 23 is taken as the
// flag's. With `spreadFirst`, each observer first spreads its row of slot 23.
void RevealFlagSlot(const BeliefContext& ctx, int seat, bool spreadFirst, PieceTable& table) {
    const int left = seat * kPiecesPerSeat + kHqLeft;
    const int right = seat * kPiecesPerSeat + kHqRight;
    if (table[left].code == kFlag) {
        for (int obs = 0; obs < kSeats; ++obs) {
            ApplyTypeMask(left, obs, kMaskIsFlag, table);
            ApplyTypeMask(right, obs, kMaskNotFlag, table);
        }
    } else {
        for (int obs = 0; obs < kSeats; ++obs) {
            if (spreadFirst) PropagateSlotBeliefs(ctx, obs, right, table);
            ApplyTypeMask(right, obs, kMaskIsFlag, table);
            ApplyTypeMask(left, obs, kMaskNotFlag, table);
        }
    }
}

void SpreadHeadquarters(const BeliefContext& ctx, int seat, PieceTable& table) {
    for (int obs = 0; obs < kSeats; ++obs) {
        PropagateSlotBeliefs(ctx, obs, seat * kPiecesPerSeat + kHqLeft, table);
        PropagateSlotBeliefs(ctx, obs, seat * kPiecesPerSeat + kHqRight, table);
    }
}

}  // namespace

const char* CombatMask(int code, int result) {
    if (!IsValidCode(code) || result < -1 || result > 1) return nullptr;
    return kCombatMasks[code - 1][result + 1];
}

void ApplyTypeMask(int piece, int observer, const char* mask, PieceTable& table) {
    if (!IsValidPiece(piece) || !IsValidSeat(observer) || mask == nullptr) return;
    float* row = table[piece].beliefs[observer];
    float saved[12];
    std::memcpy(saved, row, sizeof saved);
    for (int j = 0; j < 12; ++j)
        if (mask[j] != '1') row[j] = 0.0f;
    if (!(static_cast<double>(RowSum(row)) > 0.01)) std::memcpy(row, saved, sizeof saved);
    NormalisePieceStatRows(table);
}

void UpdateBeliefsByCombat(const float* other, float* own, int result, PieceTable& table) {
    if (result + 1 < 0 || result + 1 > 2) return;
    NormalisePieceStatRows(table);
    float w[12];
    for (float& x : w) x = 100.0f;
    for (int i = 0; i < 12; ++i) {
        const char* mask = kCombatMasks[i][result + 1];
        for (int j = 0; j < 12; ++j)
            if (mask[j] != '1') w[j] = w[j] - other[i];
    }
    float saved[12];
    std::memcpy(saved, own, sizeof saved);
    for (int j = 0; j < 12; ++j)
        own[j] = static_cast<float>(static_cast<double>(own[j]) * static_cast<double>(w[j]) * 0.01);
    if (!(RowSum(own) > 0.0f)) std::memcpy(own, saved, sizeof saved);
    NormalisePieceStatRows(table);
}

void PropagateSlotBeliefs(const BeliefContext& ctx, int observer, int piece, PieceTable& table) {
    if (!IsValidPiece(piece) || !IsValidSeat(observer) || ctx.board == nullptr || ctx.slotCorrelation == nullptr)
        return;
    const float* row = table[piece].beliefs[observer];
    const float total = RowSum(row);
    if (!(static_cast<double>(total) >= 0.01)) return;
    const int slot = piece % kPiecesPerSeat;
    const int base = SeatOf(piece) * kPiecesPerSeat;
    for (int k = 0; k < 3; ++k) {
        const int link = ctx.board->deploySlotLinks[slot][k];
        if (link < 0 || link >= kPiecesPerSeat) return;
        float acc[12];
        for (int j = 0; j < 12; ++j) {
            float sum = 0.0f;
            for (int i = 0; i < 12; ++i) sum += ctx.slotCorrelation[slot][i][k][j] * row[i];
            acc[j] = sum / total;
        }
        MergeBeliefVectors(table[base + link].beliefs[observer], acc);
    }
}

void MergeBeliefVectors(float a[12], const float b[12]) {
    for (int j = 0; j < 12; ++j) {
        if (a[j] == 0.0f || b[j] == 0.0f)
            a[j] = 0.0f;
        else if (b[j] > a[j])
            a[j] = b[j];
    }
}

void NormalizeBeliefs(float v[12]) {
    float sum = RowSum(v);
    if (!(sum >= 0.001f)) sum = 1.0f;
    for (int j = 0; j < 12; ++j) v[j] = v[j] * 100.0f / sum;
}

void UpdateInferenceAfterMove(BeliefContext& ctx, StepRec rec, PieceTable& table) {
    if (ctx.move != nullptr) *ctx.move = MoveRec{rec.fromX, rec.fromY, rec.toX, rec.toY};
    const int m = rec.mover;
    const int t = rec.target;
    const int o = rec.outcome;
    // A give-up or time-out, or a record naming no piece, teaches nothing.
    if (!IsValidPiece(m)) return;
    const bool hasTarget = IsValidPiece(t);

    if (o <= 0) {  // the mover was removed
        if (table[m].code == kCommander) {
            const int seat = SeatOf(m);
            RevealCommander(seat, m, table);
            RevealFlagSlot(ctx, seat, true, table);
            SpreadHeadquarters(ctx, seat, table);
            if (hasTarget && table[t].code == kBomb) MaskForAll(t, kMaskIsBomb, table);
        } else {
            MaskForAll(m, kMaskNotCommander, table);
        }
    }
    if (hasTarget && o >= 0) {  // the target was removed
        if (table[t].code == kCommander) {
            const int seat = SeatOf(t);
            RevealCommander(seat, t, table);
            RevealFlagSlot(ctx, seat, false, table);
            if (table[m].code == kBomb) MaskForAll(m, kMaskIsBomb, table);
            SpreadHeadquarters(ctx, seat, table);
        } else {
            MaskForAll(t, kMaskNotCommander, table);
        }
    }
    MaskForAll(m, kMaskHasMoved, table);
    if (table[m].code == kEngineer && ctx.pathWork != nullptr && ctx.path != nullptr &&
        CheckStepBlocked(*ctx.pathWork, rec.fromX, rec.fromY, rec.toX, rec.toY, *ctx.path, ctx.path->length, table) != 0)
        MaskForAll(m, kMaskIsEngineer, table);

    if (!hasTarget) return;
    if (o < -1 || o > 1) return;

    const int a = SeatOf(m);
    const int b = SeatOf(t);
    // Each side narrows its opponent by its own piece's true code.
    if (table[m].code != kFlag && table[m].code != kMine) ApplyTypeMask(t, a, CombatMask(table[m].code, o), table);
    UpdateBeliefsByCombat(table[t].beliefs[a], table[m].beliefs[a], -o, table);
    ApplyTypeMask(m, b, CombatMask(table[t].code, -o), table);
    UpdateBeliefsByCombat(table[m].beliefs[b], table[t].beliefs[b], o, table);
    // The onlookers know only the result.
    for (int s = 0; s < kSeats; ++s) {
        if (s == a || s == b) continue;
        UpdateBeliefsByCombat(table[m].beliefs[s], table[t].beliefs[s], o, table);
        UpdateBeliefsByCombat(table[t].beliefs[s], table[m].beliefs[s], -o, table);
    }
    BalancePieceStats(table);
    for (int s = 0; s < kSeats; ++s) {
        PropagateSlotBeliefs(ctx, s, m, table);
        PropagateSlotBeliefs(ctx, s, t, table);
    }
    BalancePieceStats(table);
}

void UpdateInferenceAfterMove(GameState& g, StepRec record, PieceTable& table) {
    BeliefContext ctx;
    ctx.board = g.board;
    ctx.slotCorrelation = g.slotCorrelation;
    ctx.pathWork = &g.pathWork;
    ctx.path = &g.path;
    ctx.move = &g.move;
    UpdateInferenceAfterMove(ctx, record, table);
}

}  // namespace jq
