// The piece statistics "statfile": for every deployment slot how often each
// piece code stands there, and for every slot and each of its linked slots
// which codes stand side by side. They give the computer player its first
// picture of the hidden pieces at the start of a battle.
//
// File image (44,700 bytes of little-endian floats, no header):
//  - slot table float[25][15]: percentages of code c+1 on slot p in
//    column c (0..11); columns 12..14 are 0;
//  - link table float[25][12][3][12]: [slot p][code k-1 on p][link j of p]
//    [code m-1 on the linked slot]: percentages, each run of 12 summing to
//    100 or all 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/qipan.h"

namespace jq {

constexpr int kStatSlotColumns = 15;
constexpr int kStatSlotBytes = kPiecesPerSeat * kStatSlotColumns * 4;  // 1500
constexpr int kStatLinkBytes = kPiecesPerSeat * 12 * 3 * 12 * 4;       // 43200
constexpr int kStatFileBytes = kStatSlotBytes + kStatLinkBytes;        // 44700
constexpr const char* kStatFileName = "statfile";
constexpr const char* kBattleRecordFolder = "kbtfiles";

// Per code (index code-1): 100 times the pieces of that code in one army.
constexpr float kStatColumnTargets[12] = {100, 300, 200, 100, 100, 200, 200, 200, 200, 300, 300, 300};
// The belief row used without a statistics file: 4 times the army counts.
constexpr float kStatDefaultRow[12] = {4, 12, 8, 4, 4, 8, 8, 8, 8, 12, 12, 12};

struct PieceStatTables {
    float slotTable[kPiecesPerSeat][kStatSlotColumns] = {};
    float linkTable[kPiecesPerSeat][12][3][12] = {};
};

enum class StatError {
    kNone = 0,
    kNoFile,    // missing or not readable
    kBadValue,  // a value that is not a finite number within 0..100
};

// Decodes a file image into zeroed tables: bytes a short image lacks read as
// 0, bytes past 44,700 are ignored. Any value that is not finite or lies
// outside 0..100 makes the whole file unusable (kBadValue).
StatError DecodePieceStats(const uint8_t* data, size_t size, PieceStatTables& out);
std::vector<uint8_t> EncodePieceStats(const PieceStatTables& tables);

// Full path of the statistics: appFolder followed by "statfile".
std::string PieceStatsPath(const GameState& g);

// At the start of a battle, after the pieces are laid out: seeds every
// piece's four belief vectors from the statistics (row = the piece's slot),
// loads slotCorrelation, applies the deployment rules (no bomb on the front
// row, no flag outside the headquarters, no mine before the last two rows)
// and balances. Without a usable file it says "采用默认子力分布！！", seeds
// the default row and leaves slotCorrelation as it was.
void LoadPieceStats(GameState& g);

// The balancing of a 100-piece table's beliefs; they work in place, keep no
// state and allocate nothing, so the computer player calls them on its own
// copies from its thread.
//
// Scales each seat's column (observer, code) to its target sum. A seat
// column summing to 0 ends the pass: later columns stay unscaled.
void ScalePieceStatColumns(PieceTable& table);
// Scales each belief vector to a sum of 100; weights of 0.0001 or less, and
// anything that is not a finite number, become 0.
void NormalisePieceStatRows(PieceTable& table);
// 20 passes of column scaling, each followed by row normalising.
void BalancePieceStats(PieceTable& table);

// Building the statistics from battle records.
enum class AccumulateResult {
    kCounted = 0,
    kBadCode,  // a seat with a code outside 1..12; the file's later seats are not read
};
// Adds the deployments of one battle record (its first 211 bytes; a short
// image reads as zero) to the count tables: every seat but the excluded one
// and those with the flag on slot 0. A seat is checked whole before it is
// counted.
AccumulateResult AccumulateFormationStats(const uint8_t* data, size_t size, PieceStatTables& counts);
// The same for a file; a file that cannot be read adds nothing, silently;
// a bad code is reported with the file's path.
void AccumulateFormationStats(GameState& g, const std::string& path, PieceStatTables& counts);
// Counts to percentages: every slot row and every run of a real link whose
// sum is above 0.1 is scaled to 100.
void ConvertStatCountsToPercent(PieceStatTables& counts);

// The hidden "子力分布" command: counts the records of the folder
// appFolder + "kbtfiles" in name order, writes "statfile" and reports the
// number of files, or the failure to write. Returns whether it was written.
bool BuildPieceStatsFile(GameState& g);

}  // namespace jq
