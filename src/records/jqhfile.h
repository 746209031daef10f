// The foreign battle record (".jqh"), read only. A fixed image of 5368
// bytes, little-endian 32-bit integers:
//   0    100 bytes header (skipped)
//   100  four names of 20 bytes, foreign seat order
//   184  rotation r: the view is turned (r mod 4, sign of r; 0 and 2
//        exchanged) times after laying the battle out
//   200  move count; 204 1000 move records of 4 bytes (b0..b3), the
//        first min(count, 510) used
//   4212 17 x 17 board cells of the start position, row by row; cell
//        (i, j) is grid point (12 + i, 12 + j), its value mod 100 the
//        foreign piece code
// A move record converts to fromX = 28 - b0, fromY = b1 + 12, toX = 28 - b2,
// toY = b3 + 12; 254 x 4 (a seat gives up) becomes 22 x 4, 255 x 4 (a
// time-out) and 0 x 4 stay as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/qipan.h"
#include "records/battlefile.h"

namespace jq {

constexpr int kJqhFileBytes = 5368;
constexpr int kJqhMoveSlots = 1000;

// The own piece code of a foreign cell value (anything unknown is a flag).
int JqhCellCode(int32_t cellValue);
// The number of quarter turns of the view for a rotation field.
int JqhViewTurns(int32_t rotation);

struct JqhDecodeResult {
    BattleFile file;     // seat from the first move, codes turned one seat, names 1 and 3 exchanged
    int viewTurns = 0;   // 0..3
    // The first move's from-point is no board point (no moves, a time-out,
    // a foreign point): the battle is laid out from seat 0.
    bool firstMoveOffBoard = false;
};

// Decodes a file image. Bytes a short file lacks read as zero. Moves end at
// the first converted record with a zero coordinate; records whose points
// are not board points are kept as NormaliseRecordMove holds them (they
// replay as refused steps).
JqhDecodeResult DecodeJqhFile(const uint8_t* data, size_t size);

// Reads and decodes a ".jqh" file and checks that a battle could have
// written it (every seat one whole army), touching nothing of the game:
// kCannotOpen or kNoArmy, kNone with the record in `out`.
BattleFileError LoadJqhFile(const std::string& path, JqhDecodeResult& out);

// Lays a loaded file out and turns the view as the file asks (the turns
// take deployedPieces and seatNames along). A first move off the board is
// reported ("位置不存在!"). The moves go to moveHistory and `out.moves` in
// the turned view.
void LayOutJqhFile(GameState& g, const JqhDecodeResult& decoded, BattleFile& out);

}  // namespace jq
