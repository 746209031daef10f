// One seat's formation: the 25 piece codes of its deployment slots, and the
// army every seat deploys.
#pragma once

#include <cstdint>

#include "core/rng.h"
#include "core/types.h"

namespace jq {

// How many pieces of each code (index code-1) one seat deploys:
// 1 flag, 3 mines, 2 bombs, 1 commander, 1 army commander, 2 each of
// division, brigade, regiment and battalion, 3 each of company, platoon and
// engineer.
constexpr int kArmyCounts[12] = {1, 3, 2, 1, 1, 2, 2, 2, 2, 3, 3, 3};

// Deployment slots.
constexpr int kLeftHeadquarters = 21;
constexpr int kRightHeadquarters = 23;
constexpr int kFrontRowEnd = 5;    // slots 0..4
constexpr int kLastRowsStart = 15;  // slots 15..24

// True when the 25 codes are exactly one army (kArmyCounts), whatever slots
// they stand on: what a formation from a file, the formation database or a
// peer must hold.
bool IsWholeArmy(const int8_t codes[kPiecesPerSeat]);

// True when the codes are exactly one army and stand where the deployment
// rules allow: the flag in a headquarters, the mines in the last two rows,
// no bomb in the front row.
bool IsLegalFormation(const int8_t codes[kPiecesPerSeat]);

// Deals one army onto the slots at random with the given generator,
// keeping the deployment rules.
void GenerateFormation(GameRandom& rng, int8_t codes[kPiecesPerSeat]);

}  // namespace jq
