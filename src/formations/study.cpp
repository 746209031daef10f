#include "formations/study.h"

#include "core/text.h"
#include "formations/formation.h"
#include "records/battlefile.h"
#include "core/datafiles.h"

namespace jq {

StudyReadResult ReadBattleFormations(const uint8_t* data, size_t size, ZfDatabase& db) {
    const BattleHead head = DecodeBattleHead(data, size);
    const int skip = ExcludedSeat(head);
    for (int s = 0; s < kSeats; ++s) {
        const int8_t* codes = head.codes[s];
        if (s == skip || codes[0] == kFlag) continue;
        // A zero code ends a seat's codes, and is itself outside 1..12.
        for (int k = 0; k < kPiecesPerSeat; ++k)
            if (!IsValidCode(codes[k])) return StudyReadResult::kBadCode;
        // Only whole armies go into the database, so no formation drawn
        // from it is ever refused at "完毕".
        if (!IsWholeArmy(codes)) continue;
        if (db.count < 0 || db.count >= kZfSlots) continue;
        ZfRecord& rec = db.slots[db.count];
        rec = ZfRecord{};
        for (int k = 0; k < kPiecesPerSeat; ++k) rec.codes[k] = codes[k];
        ++db.count;
    }
    return StudyReadResult::kRead;
}

StudyReadResult ReadBattleFormations(GameUi& ui, const std::string& path, ZfDatabase& db) {
    const auto bytes = ReadFileBytes(path, kBattleHeadBytes);
    if (!bytes) return StudyReadResult::kCannotOpen;
    const StudyReadResult result = ReadBattleFormations(bytes->data(), bytes->size(), db);
    if (result == StudyReadResult::kBadCode) ui.ShowStandardBox(Gb("棋子格式非法，请删除文件---") + Gb(path), Gb("警告"));
    return result;
}

StudyResult StudyBattleFormations(GameUi& ui, const std::string& folder) {
    StudyResult out;
    for (const std::string& path : ListBattleRecordFiles(folder)) {
        ++out.files;
        ReadBattleFormations(ui, path, *out.db);
        if (out.db->count > kStudyRecordLimit) break;
    }
    return out;
}

std::optional<std::string> StudyFolderOf(const std::string& chosenPath) {
    const size_t slash = chosenPath.rfind('/');
    if (slash == std::string::npos) return std::nullopt;
    return chosenPath.substr(0, slash + 1);
}

bool StudyChosenFolder(GameUi& ui, const std::string& chosenPath) {
    const std::optional<std::string> folder = StudyFolderOf(chosenPath);
    if (!folder) {
        ui.ShowStandardBox(Gb("目录信息非法！          "), Gb("错误"));
        return false;
    }
    const StudyResult study = StudyBattleFormations(ui, *folder);
    if (!WriteZfFile(InFolder(*folder, kZfFileName), *study.db)) {
        ui.ShowStandardBox(Gb("保存结果文件不成功！！！"), Gb("警告"));
        return false;
    }
    ui.ShowStandardBox(Gb("成功分析") + std::to_string(study.files) + Gb("个文件的阵法！"), Gb("确认"));
    return true;
}

}  // namespace jq
