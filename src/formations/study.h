// The formation study: a formation database built from the deployments in a
// folder of battle records. Every recorded seat but the one the record was
// saved from gives one formation with a score of 0, in the order the files
// (sorted by name) and their seats come.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/gameui.h"
#include "formations/zffile.h"

namespace jq {

// The scan stops after the first file that takes the count above this.
constexpr int kStudyRecordLimit = 980;

enum class StudyReadResult {
    kRead = 0,
    kCannotOpen,  // the file could not be read; nothing added
    kBadCode,     // a seat with a code outside 1..12; the file's later seats are not read
};

// Appends the formations of one battle record (its first 211 bytes; bytes a
// short image lacks read as zero) to `db`: seats 0..3 in order, leaving out
// the seat the seat byte names, any seat with the flag on slot 0 and any
// seat whose codes are not one whole army. A seat with a code outside 1..12
// ends the file; seats taken before it stay.
// Nothing is appended once all 2000 slots are used.
StudyReadResult ReadBattleFormations(const uint8_t* data, size_t size, ZfDatabase& db);
// The same for a file; a bad code is reported with the file's path
// ("棋子格式非法，请删除文件---"), a file that cannot be read is passed over
// silently.
StudyReadResult ReadBattleFormations(GameUi& ui, const std::string& path, ZfDatabase& db);

struct StudyResult {
    int files = 0;  // battle records read (or tried), counted as the scan went
    std::unique_ptr<ZfDatabase> db = std::make_unique<ZfDatabase>();
};

// Reads the ".kbt" files of `folder` in name order (ListBattleRecordFiles)
// until the formations collected number more than 980.
StudyResult StudyBattleFormations(GameUi& ui, const std::string& folder);

// The folder of a file chosen in the study dialog: the path up to and
// including its last '/'; nullopt when it has none.
std::optional<std::string> StudyFolderOf(const std::string& chosenPath);

// "阵法学习" once a file is chosen: studies the records of its folder and
// writes the database "zffile" there (through a temporary file and a
// rename), then reports "成功分析N个文件的阵法！". A path without a folder
// ("目录信息非法！") or a database that cannot be written ("保存结果文件不成功！！！")
// is reported instead. Returns whether the database was written.
bool StudyChosenFolder(GameUi& ui, const std::string& chosenPath);

}  // namespace jq
