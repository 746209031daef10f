// "保存战役": the save dialog in front of the battle-record writer.
#pragma once

#include <QString>

#include "core/qipan.h"

class QWidget;

namespace jq {

// Clears the selection, asks for a file name (battle records selected,
// starting in the working folder's "kbtfiles"; an existing file is
// replaced without a question) and writes the battle there. A file that
// cannot be written is reported. Returns the path written, or an empty
// string when the dialog was cancelled or the write failed.
QString SaveBattleWithDialog(QWidget* parent, GameState& g);

}  // namespace jq
