#include "formations/formation.h"

namespace jq {

bool IsWholeArmy(const int8_t codes[kPiecesPerSeat]) {
    int counts[12] = {};
    for (int slot = 0; slot < kPiecesPerSeat; ++slot) {
        const int code = codes[slot];
        if (!IsValidCode(code)) return false;
        ++counts[code - 1];
    }
    for (int c = 0; c < 12; ++c)
        if (counts[c] != kArmyCounts[c]) return false;
    return true;
}

bool IsLegalFormation(const int8_t codes[kPiecesPerSeat]) {
    if (!IsWholeArmy(codes)) return false;
    for (int slot = 0; slot < kPiecesPerSeat; ++slot) {
        const int code = codes[slot];
        if (code == kFlag && slot != kLeftHeadquarters && slot != kRightHeadquarters) return false;
        if (code == kMine && slot < kLastRowsStart) return false;
        if (code == kBomb && slot < kFrontRowEnd) return false;
    }
    return true;
}

namespace {

// Puts `code` on a random free slot among first..24.
void PlaceOnFreeSlot(GameRandom& rng, int8_t codes[kPiecesPerSeat], int first, int code) {
    int free = 0;
    for (int slot = first; slot < kPiecesPerSeat; ++slot)
        if (codes[slot] == kCodeNone) ++free;
    int pick = rng.Next() % free;
    for (int slot = first; slot < kPiecesPerSeat; ++slot) {
        if (codes[slot] != kCodeNone) continue;
        if (pick-- == 0) {
            codes[slot] = static_cast<int8_t>(code);
            return;
        }
    }
}

}  // namespace

void GenerateFormation(GameRandom& rng, int8_t codes[kPiecesPerSeat]) {
    for (int slot = 0; slot < kPiecesPerSeat; ++slot) codes[slot] = kCodeNone;
    // The placed pieces first, so that each always finds a free slot: the
    // flag in a headquarters, the mines behind it, the bombs off the front.
    codes[rng.Next() % 2 == 0 ? kLeftHeadquarters : kRightHeadquarters] = kFlag;
    for (int i = 0; i < kArmyCounts[kMine - 1]; ++i) PlaceOnFreeSlot(rng, codes, kLastRowsStart, kMine);
    for (int i = 0; i < kArmyCounts[kBomb - 1]; ++i) PlaceOnFreeSlot(rng, codes, kFrontRowEnd, kBomb);
    for (int code = kCommander; code <= kEngineer; ++code)
        for (int i = 0; i < kArmyCounts[code - 1]; ++i) PlaceOnFreeSlot(rng, codes, 0, code);
}

}  // namespace jq
