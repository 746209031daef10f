// The battle-record file (".kbt"): the four players' names, the deployment
// of every seat and the moves in the order they were played.
//
// Layout: 30 bytes "Kestrim Junqi Battle file(1.0)" (no NUL); one seat
// byte (the writer puts 20, which stands for seat 0); four seat records of
// 45 bytes (20 name bytes blank-filled, 25 code bytes, a zero code ending
// the codes); then n move records of 4 unsigned bytes fromX, fromY, toX, toY
// (0 <= n <= 510). The length alone tells n. 22,22,22,22 records that the
// seat to move was removed whole, 255,255,255,255 that it let its move time
// run out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/qipan.h"
#include "records/layout.h"

namespace jq {

constexpr std::string_view kBattleMagic = "Kestrim Junqi Battle file(1.0)";
constexpr int kBattleMagicBytes = 30;
constexpr int kBattleNameBytes = 20;
constexpr int kBattleSeatBytes = 45;
constexpr int kBattleHeadBytes = 31 + 4 * kBattleSeatBytes;  // 211
constexpr int kBattleMoveBytes = 4;
constexpr int kBattleFileMaxBytes = kBattleHeadBytes + kMaxSteps * kBattleMoveBytes;  // 2251
constexpr uint8_t kBattleSeatByte = 20;

// The head of a record as it stands in the file, bytes missing from a short
// file read as zero. The formation study and the piece statistics read it.
struct BattleHead {
    uint8_t seatByte = 0;
    char names[kSeats][kBattleNameBytes] = {};
    int8_t codes[kSeats][kPiecesPerSeat] = {};
};
BattleHead DecodeBattleHead(const uint8_t* data, size_t size);
// The seat whose deployment the study and the statistics leave out: the
// seat byte as a signed byte, remainder 4 with the dividend's sign; a
// negative value leaves no seat out.
int ExcludedSeat(const BattleHead& head);

// A record as the program holds it.
struct BattleFile {
    int32_t seat = 0;   // 0..3: the seat from whose side the battle is laid out
    CodeTable codes;    // codes 1..12 up to the first zero, zero from there on
    NameTable names;    // the name fields up to their first NUL (at most 20 bytes)
    std::vector<MoveRec> moves;  // at most 510, each a pair of board points or special
};

enum class BattleFileError {
    kNone = 0,
    kCannotOpen,
    kTooShort,  // shorter than the 211-byte head
    kNoArmy,    // a seat holds pieces that are no whole army: no battle wrote it
};

// What a seat of a record may hold: one whole army (IsWholeArmy), or, in a
// record without moves, no piece at all (25 zero codes: a seat never laid
// out, as a save before the first battle writes it). The writer puts zeros
// after the last piece, so a zero code among pieces makes the seat short.
bool IsRecordSeat(const int8_t codes[kPiecesPerSeat], bool recordHasMoves);

struct BattleDecodeResult {
    BattleFileError error = BattleFileError::kNone;
    BattleFile file;
};

// A record move whose points are not both board points (and which is not a
// special record) replays as a refused step. A point off the board is held
// as this marker's, which no view turn brings onto the board or to a zero
// coordinate (a zero coordinate ends a record).
constexpr MoveRec kOffBoardMove{1, 1, 1, 1};
bool IsSpecialMove(const MoveRec& m);
bool HasZeroCoordinate(const MoveRec& m);
// The move as a record holds it: special records and pairs of board points
// as they are; a from-point on the board with a to-point off it keeps the
// from-point (it tells the seat and the turn order) and gets the marker's
// to-point; anything else is kOffBoardMove. A zero coordinate is kept.
MoveRec NormaliseRecordMove(const MoveRec& m);

// Encodes a record: the seat byte is always 20; names are cut to 20 bytes
// and blank-filled; codes stop at the first code outside 1..12; at most
// 510 moves, each as the low bytes of its coordinates.
std::vector<uint8_t> EncodeBattleFile(const BattleFile& file);

// Decodes a file image. The first 30 bytes are not compared. The seat is
// the seat byte mod 4. A code outside 1..12 reads as 0, and a zero code
// ends the seat's codes. A trailing part of a move record is ignored, as is
// everything after the 510th record. The moves end before the first record
// with a zero byte; a record that is not a pair of board points (nor
// special) is kept as NormaliseRecordMove holds it.
BattleDecodeResult DecodeBattleFile(const uint8_t* data, size_t size);
BattleDecodeResult DecodeBattleFile(const std::vector<uint8_t>& bytes);

// The battle on the board as a record: names from seatNames, codes from
// deployedPieces; the moves of the loaded record (moveHistory up to its
// first empty entry) when `loadedRecordMoves`, else the steps played
// (stepRecords 0..stepCount-1).
BattleFile BattleFileFromGame(const GameState& g, bool loadedRecordMoves);

// Writes the battle on the board to `path`, replacing any file of that
// name (through a temporary file, so a failed write keeps the old one).
// The moves are those of the loaded record while the next-step command is
// enabled. A failure is reported with a warning box; returns whether the
// file was written.
bool SaveBattleFile(GameState& g, const std::string& path);

// Reads and decodes a record and checks that a battle could have written
// it (every seat as IsRecordSeat wants it), touching nothing of the game.
// `out` holds the record when the result is kNone, else it is empty. A
// short file is read as far as it goes.
BattleFileError LoadBattleFile(const std::string& path, BattleFile& out);

// The one box for a record that does not open: "文件无法打开！" for a
// file that cannot be read or is shorter than a record's head, the
// warning naming the path for a record whose seats are no armies.
void ReportUnopenedRecord(GameState& g, const std::string& path, BattleFileError error);

// Lays a loaded record out (LayoutBattle from its seat); the laid-out
// pieces and names become deployedPieces and seatNames, so that a save
// during the replay writes this record's deployments.
void LayOutBattleFile(GameState& g, const BattleFile& file);

// LoadBattleFile, then the box when it fails (nothing laid out, `out`
// empty) or the layout when it succeeds. The moves go to `out.moves` (the
// caller copies them into moveHistory).
BattleFileError ReadBattleFile(GameState& g, const std::string& path, BattleFile& out);

// The ".kbt" files of a folder that the study and the statistics read,
// sorted by name: regular files, not hidden, not read-only, whose name ends
// in ".kbt" (any case). Full paths.
std::vector<std::string> ListBattleRecordFiles(const std::string& folder);

}  // namespace jq
