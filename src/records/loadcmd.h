// The load commands: a record chosen in the open dialog or in the list of
// recent files, or the battle on the board saved as "default.kbt" and
// replayed at once; and the list of the ten most recent records, kept in
// the options record.
#pragma once

#include <string>

#include "core/qipan.h"

namespace jq {

// Whether a path fits an entry of the recent-file list (at most 255 bytes).
bool FitsRecentFiles(const std::string& path);

// Moves `path` to the front of the list (a path already listed leaves its
// place, otherwise the tenth entry drops out) and saves the options record.
// A path that does not fit an entry is refused with a box and the list
// stays. Returns whether the list took the path.
bool AddRecentFile(GameState& g, const std::string& path);

// Mouse-down on "调出战役": with Ctrl, Shift or Alt the click that follows
// reloads the battle on the board.
void LoadFileMouseDown(GameState& g, bool modifier);

// While a LAN battle is connected no record opens: the box asks the player
// to leave it first. Returns true when the load may go on.
bool MayLoadRecord(GameState& g);

// The dialog's choice: opens `path` for replay; once it is open it becomes
// the file in use and moves to the front of the recent files. A file that
// does not open (its extension, unreadable, no battle wrote it) changes
// nothing but showing its one box.
void LoadChosenRecord(GameState& g, const std::string& path);
// A recent-file item: an empty item does nothing; otherwise as the dialog.
void LoadRecentRecord(GameState& g, const std::string& path);
// The modifier click: saves the battle on the board as "default.kbt" and
// replays it from step 0 ("最近没有展开任何战役！" when nothing was ever
// laid out). When the save fails nothing follows its warning: the battle
// on the board and the file in use stay as they were. The count of the
// click goes back to 1.
void ReloadCurrentBattle(GameState& g);

}  // namespace jq
