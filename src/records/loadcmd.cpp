#include "records/loadcmd.h"

#include <cstring>

#include "core/options.h"
#include "core/text.h"
#include "records/battlefile.h"
#include "core/datafiles.h"
#include "records/replay.h"

namespace jq {
namespace {

constexpr size_t kRecentEntryBytes = sizeof(OptionsRec::recentFiles[0]);

}  // namespace

bool FitsRecentFiles(const std::string& path) {
    return path.size() < kRecentEntryBytes && path.find('\0') == std::string::npos;
}

bool AddRecentFile(GameState& g, const std::string& path) {
    if (!FitsRecentFiles(path)) {
        g.ui->ShowStandardBox(Gb("文件路径太长，不能列入最近复盘战役。"), Gb("警告"));
        return false;
    }
    auto& list = g.optionsRecord.recentFiles;
    int k = kRecentFileCount - 1;
    for (int i = 0; i < kRecentFileCount; ++i)
        if (RecentFile(g.optionsRecord, i) == path) {
            k = i;
            break;
        }
    for (int i = k; i > 0; --i) std::memcpy(list[i], list[i - 1], kRecentEntryBytes);
    std::memset(list[0], 0, kRecentEntryBytes);
    std::memcpy(list[0], path.data(), path.size());
    SaveOptions(g);
    return true;
}

void LoadFileMouseDown(GameState& g, bool modifier) { g.clickStepCount = modifier ? 2 : 1; }

bool MayLoadRecord(GameState& g) {
    if (g.netConnected == 0) return true;
    g.ui->ShowMessage(Gb("正在联网对战，请先退出联网对战再调出战役。"), false);
    return false;
}

void LoadChosenRecord(GameState& g, const std::string& path) {
    // Only a record that opened becomes the file in use and a recent one.
    if (!MayLoadRecord(g) || OpenBattleFile(g, path) != OpenResult::kOpened) return;
    g.netConnected = 0;
    g.battleFileName = path;
    g.replayFileName = path;
    AddRecentFile(g, path);
}

void LoadRecentRecord(GameState& g, const std::string& path) {
    if (path.empty()) return;
    LoadChosenRecord(g, path);
}

void ReloadCurrentBattle(GameState& g) {
    // The mode of the click is spent here, whatever follows.
    g.clickStepCount = 1;
    if (!MayLoadRecord(g)) return;
    if (!IsValidCode(g.pieces[0].code)) {
        g.ui->ShowMessage(Gb("最近没有展开任何战役！") + std::string(10, ' '), false);
        return;
    }
    // A failed save has shown its warning; an older "default.kbt" must not
    // take the place of the battle on the board.
    const std::string path = InFolder(g.appFolder, "default.kbt");
    if (!SaveBattleFile(g, path)) return;
    if (OpenBattleFile(g, path) == OpenResult::kOpened) g.battleFileName = path;
}

}  // namespace jq
