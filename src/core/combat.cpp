#include "core/combat.h"

namespace jq {

namespace {

constexpr const char* kOutcomeTable[12] = {
    "222222222222-000",  // flag
    "100111111111-000",  // mine
    "100000000000-000",  // bomb
    "120011111111-000",  // commander
    "120201111111-000",  // army commander
    "120220111111-000",  // division
    "120222011111-000",  // brigade
    "120222201111-000",  // regiment
    "120222220111-000",  // battalion
    "120222222011-000",  // company
    "120222222201-000",  // platoon
    "110222222220-000",  // engineer
};

}  // namespace

int ResolveCombatCodes(int a, int d) {
    if (!IsValidCode(a) || !IsValidCode(d)) return kCannotMove;
    if (a == kFlag || a == kMine) return kCannotMove;
    if (a == kBomb) return d == kFlag ? kMoverWins : kBothRemoved;
    if (d == kBomb) return kBothRemoved;
    if (d == kFlag) return kMoverWins;
    if (d == kMine) return a == kEngineer ? kMoverWins : kMoverRemoved;
    // Officers: the lower code is the higher rank.
    if (a < d) return kMoverWins;
    if (a == d) return kBothRemoved;
    return kMoverRemoved;
}

int ResolveCombat(const PieceTable& pieces, int attacker, int defender) {
    if (!IsValidPiece(attacker) || !IsValidPiece(defender)) return kCannotMove;
    return ResolveCombatCodes(pieces[attacker].code, pieces[defender].code);
}

int MoveOutcome(const PieceTable& pieces, int mover, int target) {
    return IsValidPiece(target) ? ResolveCombat(pieces, mover, target) : kMoverWins;
}

const char* OutcomeTableRow(int attacker) {
    return IsValidCode(attacker) ? kOutcomeTable[attacker - 1] : nullptr;
}

char OutcomeChar(int attacker, int defender) {
    if (!IsValidCode(attacker) || !IsValidCode(defender)) return '\0';
    return kOutcomeTable[attacker - 1][defender - 1];
}

}  // namespace jq
