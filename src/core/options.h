// The options record "oprec": the user's settings and counters, stored
// whole as 4260 little-endian bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace jq {

struct GameState;

constexpr int kOptionsBytes = 4260;
constexpr int kOptionsTextBytes = 256;  // width of every text field
constexpr int kRecentFileCount = 10;

// Slider ranges of the options dialog.
constexpr int kStyleSliderMax = 10;
constexpr int kAutoPlayIntervalMax = 60;  // tenths of a second
constexpr int kNetMinMoveIntervalMax = 10;
constexpr int kNetMoveTimeMax = 60;
constexpr int kNetDeployTimeMax = 80;
constexpr int kNetDisconnectTimeMax = 120;

// Values of a record that was never saved.
constexpr int kDefaultTurnDirection = 1;
constexpr int kDefaultNetMinMoveInterval = 1;
constexpr int kDefaultNetMoveTime = 30;
constexpr int kDefaultNetDeployTime = 40;
constexpr int kDefaultNetDisconnectTime = 60;
constexpr int kNeutralStyle = 5;  // the style sliders' middle: the neutral coefficients

struct OptionsRec {
    int32_t soundOn = 0;
    char playerNames[4][256] = {};
    int32_t boardBackground = 0;
    int32_t aiLevel = 0;
    int32_t winRecord[3][4] = {};  // per level: total, won, lost, drawn
    int32_t styleAttack = kNeutralStyle;
    int32_t styleCaution = kNeutralStyle;
    int32_t styleDefence = kNeutralStyle;
    int32_t autoPlayInterval = 0;
    int32_t turnDirectionOption = kDefaultTurnDirection;
    int32_t netMinMoveIntervalOption = kDefaultNetMinMoveInterval;
    uint8_t reserved[64] = {};
    int32_t netMoveTimeOption = kDefaultNetMoveTime;
    int32_t netDeployTimeOption = kDefaultNetDeployTime;
    int32_t netDisconnectTimeOption = kDefaultNetDisconnectTime;
    int32_t recordLatestFormations = 0;
    char recentFiles[10][256] = {};
    char lastNetName[256] = {};
    char lastHostAddress[256] = {};
};

// A fresh record: everything zero except the turn direction (+1), the LAN
// times (1, 30, 40, 60 seconds) and the three style sliders (5, neutral, so
// the dialog shows the coefficients in force and level 2 keeps its full
// defence plan).
OptionsRec DefaultOptions();

// The file image, field by field; always kOptionsBytes long.
std::vector<uint8_t> EncodeOptions(const OptionsRec& rec);
// Reads a file image. Bytes missing at the end read as zero; bytes beyond
// kOptionsBytes are ignored. Text fields are kept byte for byte, so a record
// read and written back is identical; a text that fills its field has no
// NUL, and is read through the bounded accessors below.
OptionsRec DecodeOptions(const uint8_t* data, size_t size);
OptionsRec DecodeOptions(const std::vector<uint8_t>& bytes);

// Texts of the record, never read past their field.
std::string PlayerName(const OptionsRec& rec, int seat);
std::string RecentFile(const OptionsRec& rec, int index);
std::string LastNetName(const OptionsRec& rec);
std::string LastHostAddress(const OptionsRec& rec);

// Copies the battle options of the record into the running copies of the
// game (turnDirection, netMinMoveInterval, netMoveTime, netDeployTime,
// netDisconnectTime) and sanitises them. Called at start-up, by a new battle
// and by a LAN (re)join.
void CopyBattleOptions(GameState& g);

// The three LAN times a round is played with (seconds), cleaned up as the
// running copies are: a value of 0 or less is the default, a value above the
// slider's end is that end.
struct LanTimes {
    int32_t move = kDefaultNetMoveTime;
    int32_t deploy = kDefaultNetDeployTime;
    int32_t disconnect = kDefaultNetDisconnectTime;
    friend bool operator==(const LanTimes&, const LanTimes&) = default;
};
LanTimes SanitizedLanTimes(const OptionsRec& rec);
// Brings the running copies into their ranges: a turn direction other than
// +1/-1 becomes +1; a negative minimum move interval becomes 1 (0 means no
// pause); a move, deploy or disconnect time of 0 or less becomes 30, 40, 60.
// Values above the dialog's slider ranges are cut to the slider's end.
void SanitizeRunningOptions(GameState& g);

// The computer player's style coefficients.
void SetNeutralStyleCoefficients(GameState& g);       // 0.618, 0.8, 0.382
void SetStartupStyleCoefficients(GameState& g);       // after reading "oprec"
void SetDialogStyleCoefficients(GameState& g);        // after the dialog's OK

// Full path of the options file: appFolder followed by "oprec".
std::string OptionsFilePath(const GameState& g);

// Start-up: reads "oprec" from appFolder. A missing or unreadable file gives
// DefaultOptions() and the neutral coefficients; otherwise the record is
// decoded and the coefficients computed from its sliders. Either way the
// running copies are taken from the record. Nothing is reported.
void LoadOptionsAtStartup(GameState& g);

// Writes the record to "oprec" through a temporary file and a rename, so the
// old file survives a failed write. An existing file without write permission
// is left as it is. Returns true when the file now holds the record. A failed
// save warns once, "保存结果文件不成功！！！" (caption "警告"), as a box that
// waits until the game is free (GameUi::ShowStandardBoxWhenFree); the record
// in memory keeps its values either way.
bool SaveOptions(GameState& g);

// Status-bar text for a level: "级别：初级", "级别：中级", "级别：高级" (GB2312).
std::string LevelStatusText(int32_t aiLevel);

// What the options dialog's OK leads to once the dialog has closed and the
// board has been redrawn: level text in status panel 1, the coefficients,
// and the record saved.
void FinishOptionsDialog(GameState& g);

}  // namespace jq
