#include "play/result_rules.h"

#include "core/options.h"
#include "core/text.h"

namespace jq {

ResultPanelKind ResultPanelFor(int result) {
    if (result == 0) return ResultPanelKind::Won;
    if (result == 1) return ResultPanelKind::Lost;
    return ResultPanelKind::Drawn;
}

ResultPanelLines ResultPanelText(ResultPanelKind kind) {
    switch (kind) {
        case ResultPanelKind::Won:
            return {Gb("我方获得最后的胜利！"), Gb("敌人不堪一击，胜利永远属于我们。")};
        case ResultPanelKind::Lost:
            return {Gb("敌人十分强大，下次再来！"), Gb("再接再励，再来一次吧。")};
        case ResultPanelKind::Drawn:
            break;
    }
    return {Gb("敌人并非强大，胜利终将属于我们。"), Gb("和棋！")};
}

bool ResultPanelClosesAtTick(int mode, int ticks, int32_t netState) {
    if (mode != kResultPanelModeLanHost) return ticks >= kResultCloseTicks;
    if (ticks >= kResultLanHostCloseTicks) return true;
    return netState >= kResultLanStateFirst && netState <= kResultLanStateLast;
}

bool ResultPanelClosesOnClick(int ticks, int tickMs) {
    return static_cast<int64_t>(ticks) * tickMs >= kResultClickAfterMs;
}

int32_t WinRecordCounter(const OptionsRec& rec, int level, int column) {
    if (level < 0 || level >= kWinRecordLevels || column < 0 || column >= kWinRecordColumns) return 0;
    return rec.winRecord[level][column];
}

void ResetWinRecord(OptionsRec& rec) {
    for (auto& level : rec.winRecord)
        for (int32_t& counter : level) counter = 0;
}

}  // namespace jq
