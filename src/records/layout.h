// Laying out a battle: four formations and four player names put on the
// board, seen from one seat.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/qipan.h"

namespace jq {

constexpr int kTableRowBytes = 30;

// Piece codes by seat: bytes 0..24 of row s are the codes of deployment
// slots 0..24 of seat s (1..12; anything else counts as no piece); bytes
// 25..29 carry nothing.
struct CodeTable {
    int8_t rows[kSeats][kTableRowBytes] = {};
};

// Player names by seat: row s is a NUL-terminated GB2312 text of at most
// 29 bytes.
struct NameTable {
    char rows[kSeats][kTableRowBytes] = {};
};

// Puts a name into row `seat`, cut to 29 bytes without splitting a
// double-byte character.
void PutNameRow(NameTable& names, int seat, std::string_view gbName);
// Row `seat` up to its NUL (never past the row).
std::string NameRow(const NameTable& names, int seat);

// The label text of a name: leading and trailing bytes below 33 (blanks,
// control characters) removed.
std::string TrimLabelText(std::string_view text);

// Puts all 100 pieces on their start points (piece s*25+k on point s*30+k),
// alive and visible, with the codes of row (s + viewSeat) mod 4 for view
// seat s; a code outside 1..12 becomes 0. The seat labels show the names of
// the same rows, trimmed. Hides the path arrows and redraws the pieces.
// Beliefs, the selection, the step count, the seat to move, the deployed
// pieces and the seat names stay as they are. A viewSeat outside 0..3 is
// taken modulo 4.
void LayoutBattle(GameState& g, int viewSeat, const CodeTable& codes, const NameTable& names);

}  // namespace jq
