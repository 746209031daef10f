// The end-of-battle result panel and the win/loss record: which panel a
// result shows, its texts, when it closes, and the record's counters.
#pragma once

#include <cstdint>
#include <string>

namespace jq {

struct OptionsRec;

// The three result panels. A result other than won (0) or lost (1) shows
// the draw panel.
enum class ResultPanelKind { Won, Lost, Drawn };
ResultPanelKind ResultPanelFor(int result);

// The two lines of a panel, GB2312.
struct ResultPanelLines {
    std::string first;
    std::string second;
};
ResultPanelLines ResultPanelText(ResultPanelKind kind);

// Timing of the panel: its own timer ticks every 10 ms.
constexpr int kResultTickMs = 10;
constexpr int kResultPanelModeLanHost = 1;
constexpr int kResultCloseTicks = 440;        // 4.4 s, every panel but a LAN host's
constexpr int kResultLanHostCloseTicks = 200;  // 2 s, a LAN host's panel
constexpr int kResultClickAfterMs = 500;       // a click closes once this has passed
constexpr int kResultLanStateFirst = 16;       // a LAN host's panel closes at once
constexpr int kResultLanStateLast = 31;        // while netState lies in 16..31

// Whether the panel closes at the tick that has just raised its count to
// `ticks`. `mode` 1 is a LAN host's panel, which also watches `netState`.
bool ResultPanelClosesAtTick(int mode, int ticks, int32_t netState);
// Whether a click on the panel closes it after `ticks` ticks of `tickMs`.
bool ResultPanelClosesOnClick(int ticks, int tickMs);

// The win/loss record: per level 0..2 (初级, 中级, 高级) the counters in the
// order total, won, lost, drawn.
constexpr int kWinRecordLevels = 3;
constexpr int kWinRecordColumns = 4;
enum WinRecordColumn : int { kWinTotal = 0, kWinWon = 1, kWinLost = 2, kWinDrawn = 3 };

// A counter of the record; 0 for a level or column out of range.
int32_t WinRecordCounter(const OptionsRec& rec, int level, int column);
// "重新计分": every counter of every level back to 0.
void ResetWinRecord(OptionsRec& rec);

}  // namespace jq
