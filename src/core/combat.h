// Combat resolution by piece codes.
#pragma once

#include "core/types.h"

namespace jq {

// Outcome of an attack by a piece of code `attacker` on one of code
// `defender`, from the attacker's side: 1 wins, 0 both removed, -1 attacker
// removed, -100 the attacker cannot move.
int ResolveCombatCodes(int attacker, int defender);

// The same for two pieces of the table, by index.
int ResolveCombat(const PieceTable& pieces, int attacker, int defender);

}  // namespace jq
