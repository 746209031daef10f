// Replaying a battle record: opening it into replay mode, the turn order
// deduced from its first moves, stepping forward and back, automatic
// replay, going back to the start and to a chosen step.
//
// The record is moveHistory (an entry with a zero coordinate ends it), the
// position is stepCount and the undo log stepRecords. Steps forward go
// through ExecuteMove like live moves; a jump replays the record from the
// start without animation.
#pragma once

#include <string>

#include "core/qipan.h"

namespace jq {

// Kind of a record file by the last four characters of its path, A..Z
// taken as lower case.
enum class RecordKind { kBattle, kForeign, kFormation, kUnsupported };
RecordKind RecordKindOf(const std::string& path);
// Shows the box of a kind that does not open ("这是阵法文件..." or
// "文件格式或类型不支持...") and returns true; false for a record.
bool RefuseUnsupportedRecord(GameState& g, const std::string& path);

enum class OpenResult {
    kOpened,      // in replay mode at step 0
    kRefused,     // not a record by its extension: its box, nothing changed
    kUnreadable,  // cannot be read, or no battle wrote it: one box, nothing changed
};

// Opens a record into replay mode: the file read and checked first, then
// the caption, the computer player stopped, the battle laid out, the turn
// order, an empty undo log, the replay controls, no computer seat. A file
// that is not opened changes nothing and shows one box. OpenBattleFile
// also loads the piece statistics; OpenBattleRecord leaves them (and every
// other file) alone.
OpenResult OpenBattleRecord(GameState& g, const std::string& path);
OpenResult OpenBattleFile(GameState& g, const std::string& path);

// Sets turnDirection and curSeat (the seat that makes entry 0) from the
// first two movers of the record on the laid-out start position. With
// fewer than two usable moves it shows "有效棋步少于两步..." and changes
// nothing.
void DetectReplayDirection(GameState& g);

// The number of leading entries with four non-zero coordinates, at most 510.
int RecordLength(const GameState& g);

// Mouse-down on "下一步": the count of the click that follows (Ctrl 10,
// Shift 20, both 100) and automatic replay on with Alt, off without.
void NextStepMouseDown(GameState& g, bool ctrl, bool shift, bool alt);
// Mouse-down on "上一步": back to the start with Ctrl or Shift (Alt changes
// nothing); stops automatic replay.
void PrevStepMouseDown(GameState& g, bool ctrl, bool shift);

// A record step that cannot be carried out in the position it meets (a
// point off the board, no live piece on its from-point, a move the rules
// refuse) is a refused step in every way of replaying: no piece moves, the
// step is counted (mover and target -2, the seat to move as its outcome)
// and the turn passes, so the replay goes on past it.

// "下一步": up to clickStepCount steps forward through ExecuteMove, then the
// count back to 1. Stops at the end of the record. A command that passed a
// refused step ends automatic replay and then shows one box.
void ReplayNextSteps(GameState& g);
// "上一步": one step back (undoes two steps and carries the earlier out
// again, a refused one silently), or with a count other than 1 reopens
// battleFileName at step 0. Either way the count goes back to 1.
void ReplayStepBack(GameState& g);
// "停止演播".
void StopAutoReplay(GameState& g);

// "回到起点": every piece back on its start point with its code, the seat
// labels as they are, step 0, the turn order deduced again. moveHistory
// and automatic replay stay.
void GotoReplayStart(GameState& g);
// Replays entries 0..n-1 from the position GotoReplayStart laid out,
// without animation, sound or belief update. Returns stepCount.
int ReplayToStep(GameState& g, int n);

// A click on the board: nothing during a battle, without a record or with a
// piece selected; otherwise a plain click (count 1) toggles automatic
// replay and a modifier click asks for the go-to-step dialog (returns
// true). The count goes back to 1.
bool ReplayBoardClick(GameState& g);

// The replay commands of the board's popup menu.
struct ReplayMenuState {
    bool gotoEnabled = false;     // "回到起点", "跳转到指定步数"
    bool autoPlayEnabled = false;
    bool playStopEnabled = false;
    bool changeCaptions = false;  // false: captions stay as they are
    // "自动演播(单击棋盘)" / "自动演播", "停止演播" / "停止演播(单击棋盘)" (UTF-8).
    std::string autoPlayCaption;
    std::string playStopCaption;
};
ReplayMenuState ReplayMenu(const GameState& g);

}  // namespace jq
