// Single formations on disk: the player's seat saved as a ".kjq" file and
// loaded back, and the foreign ".jqs" grid, which is only read.
//
// ".kjq", 55 bytes: the 30-byte text that also opens a battle record (never
// compared on reading), then the codes of slots 0..24, one byte each.
//
// ".jqs", 1264 bytes read: a 108-byte header (not examined), then 17 x 17
// cells of i32 little-endian; cell (i, j) at 108 + 4 x (17i + j) stands for
// grid point (12 + i, 12 + j). The formation is the one on the deployment
// points of seat 1 (points 30..54), point 30 + k giving slot k. A cell's
// foreign code is its value mod 100 (truncating); JqsPieceCode maps it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/qipan.h"

namespace jq {

constexpr int kFormationFileBytes = 55;
constexpr int kJqsHeaderBytes = 108;
constexpr int kJqsSide = 17;
constexpr int kJqsFileBytes = kJqsHeaderBytes + 4 * kJqsSide * kJqsSide;  // 1264

using SeatCodes = std::array<int8_t, kPiecesPerSeat>;

enum class FormationFileKind {
    kOther = 0,  // not a formation file: nothing is loaded
    kOwn,        // ".kjq"
    kGrid,       // ".jqs"
};

// Decided by the last four characters of the path, A..Z taken as a..z.
FormationFileKind FormationFileKindOf(std::string_view path);

// The codes of a ".kjq" image, bytes a short image lacks reading as zero;
// nullopt unless all 25 lie in 1..12 and make one whole army (IsWholeArmy).
// Where the pieces stand is not judged here: "完毕" does that.
std::optional<SeatCodes> DecodeFormationFile(const uint8_t* data, size_t size);
std::vector<uint8_t> EncodeFormationFile(const SeatCodes& codes);

// Piece code of a ".jqs" cell: foreign codes 1..12 give 5, 6, 7, 8, 9, 10,
// 11, 12, 1, 4, 2, 3; every other remainder (0, negative, 13..99) gives 1.
int JqsPieceCode(int32_t cell);
// The formation of a ".jqs" image. Cells a short image lacks read as 0 (so
// their slots get code 1); every slot gets a code in 1..12.
SeatCodes DecodeFormationGrid(const uint8_t* data, size_t size);
// The same, but nullopt unless the 25 codes make one whole army: the
// formation a ".jqs" file may bring to the board.
std::optional<SeatCodes> AcceptFormationGrid(const uint8_t* data, size_t size);

// Seat 0's 25 codes as they stand (taken pieces included), each as its
// low byte.
SeatCodes SeatZeroCodes(const GameState& g);

// Loads a ".kjq" into the codes of seat 0's pieces 0..24 and redraws. A
// file that cannot be read, is short, holds a code outside 1..12 or is not
// one whole army changes nothing and is refused with
// "棋子格式非法，请删除文件---" and the path.
bool LoadFormationFile(GameState& g, const std::string& path);
// Loads a ".jqs" the same way, refused with the same warning when the file
// cannot be read or its formation is not one whole army.
bool LoadFormationGrid(GameState& g, const std::string& path);
// Loads by the path's extension; any other extension does nothing.
bool LoadFormationByExtension(GameState& g, const std::string& path);
// Writes seat 0's codes as a ".kjq" through a temporary file and a rename,
// so a failed save leaves any old file whole; the failure is reported
// ("保存结果文件不成功！！！").
bool SaveFormationFile(GameState& g, const std::string& path);

}  // namespace jq
