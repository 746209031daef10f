// Combat resolution by piece codes.
//
// Two views of one rule set live here:
//  - ResolveCombat / ResolveCombatCodes: the outcome of an attack that is
//    about to be carried out on the board.
//  - The outcome table: twelve rows of characters read by the computer
//    player's estimates of attacks on hidden pieces ('1' attacker wins,
//    '2' attacker removed, '0' both removed).
// For attacker codes 3..12 the two agree exactly ('1' = 1, '0' = 0,
// '2' = -1). For a flag or a mine as attacker they differ: ResolveCombat
// says -100 (the piece cannot move), while the table's flag row says the
// attacker loses against everything and its mine row reads like an
// immovable mine that "wins" against the flag and officers and exchanges
// with a mine or a bomb. The estimates weigh those rows by the belief that
// an unmoved piece is a flag or a mine.
//
// Invalid input never indexes a table:
//  - a code outside 1..12 (attacker or defender, e.g. 0 before a
//    deployment or a damaged record) gives -100: the move cannot be made;
//  - a piece index outside 0..99 (such as the "no piece" -2) gives -100 too.
//  - OutcomeChar returns '\0' and OutcomeTableRow nullptr for a code
//    outside 1..12; an estimate should let such a pair count for nothing.
#pragma once

#include "core/types.h"

namespace jq {

// Outcome of an attack by a piece of code `attacker` on one of code
// `defender`, from the attacker's side: 1 wins, 0 both removed, -1 attacker
// removed, -100 the attacker cannot move (flag, mine, or an invalid code).
int ResolveCombatCodes(int attacker, int defender);

// The same for two pieces of the table, by index. Reads only their codes:
// not whether they are alive, not their seats (two pieces of one team still
// get a result), not their positions.
int ResolveCombat(const PieceTable& pieces, int attacker, int defender);

// The outcome a move of `mover` onto a point gives: ResolveCombat against
// the piece there, or 1 (the mover wins) onto an empty point (`target` not
// a piece index, such as -2). Every place that fills in a move's outcome
// asks this one function: the input, the computer player, the replay, the
// sides and the host's check of a relayed move.
int MoveOutcome(const PieceTable& pieces, int mover, int target);

// Row of the outcome table for an attacker code 1..12: 12 outcome
// characters by defender code, then "-000" (never read). nullptr for any
// other code.
const char* OutcomeTableRow(int attacker);

// One character of the outcome table: '1', '2' or '0'; '\0' when either
// code is outside 1..12.
char OutcomeChar(int attacker, int defender);

}  // namespace jq
