// What an attack is expected to bring when the defender (and perhaps the
// attacker) is known only through a belief row: twelve weights in percent,
// index code-1.
#pragma once

namespace jq {

// Material value of each code (index code-1) at the start; entry 2, the
// bomb, is rewritten by every ExpectedAttackValue.
extern const float kInitialPieceValues[15];

// Expected material gain of an attack by a piece of code `attacker` on a
// defender with belief row `defender` (100 times the expectation when the
// row sums to 100). First values the bomb at 0.618 times the strongest code
// 4..12 the defender may still be (weight above 0.1), or 1.0, and stores
// that in pieceValues[2]. An attacker code outside 1..12 gains nothing.
float ExpectedAttackValue(float pieceValues[15], int attacker, const float defender[12]);

// The mean of ExpectedAttackValue over the attacker's belief row; an
// attacker row summing to exactly 0 gives the weighted sum undivided.
float ExpectedAttackValueMixed(float pieceValues[15], const float attacker[12], const float defender[12]);

// Share of the defender's weight on codes the attacker beats. A row with
// almost no weight (below 1e-8) gives 1.0.
double WinProbability(int attacker, const float defender[12]);

// Share of the defender's weight on codes the attacker loses to. A row with
// almost no weight gives 0.0, so win and loss never add up past 1.
double LossProbability(int attacker, const float defender[12]);

// WinProbability averaged over the attacker's belief row (note: defender
// first). An attacker row summing below 1e-6 gives the sum undivided.
double MixedWinProbability(const float defender[12], const float attacker[12]);

}  // namespace jq
