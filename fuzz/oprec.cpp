// The options record "oprec" as start-up reads it: the decoded record, its
// texts, the running battle options and the style coefficients.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "core/options.h"
#include "core/qipan.h"
#include "play/result_rules.h"

namespace {

void Require(bool ok) {
    if (!ok) std::abort();
}

bool Within(double v, double lo, double hi) { return std::isfinite(v) && v >= lo && v <= hi; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto game = std::make_unique<jq::GameState>();
    jq::GameState& g = *game;
    g.optionsRecord = jq::DecodeOptions(data, size);
    const jq::OptionsRec& rec = g.optionsRecord;

    // Texts stay inside their fields, a full field included.
    for (int s = 0; s < 4; ++s) Require(jq::PlayerName(rec, s).size() <= jq::kOptionsTextBytes);
    for (int i = 0; i < jq::kRecentFileCount; ++i) Require(jq::RecentFile(rec, i).size() <= jq::kOptionsTextBytes);
    Require(jq::LastNetName(rec).size() <= jq::kOptionsTextBytes);
    Require(jq::LastHostAddress(rec).size() <= jq::kOptionsTextBytes);
    for (int level = -1; level <= jq::kWinRecordLevels; ++level)
        for (int c = -1; c <= jq::kWinRecordColumns; ++c) (void)jq::WinRecordCounter(rec, level, c);
    (void)jq::LevelStatusText(rec.aiLevel);

    // Whatever the file held, the running options end in their ranges.
    jq::CopyBattleOptions(g);
    Require(g.turnDirection == 1 || g.turnDirection == -1);
    Require(g.netMinMoveInterval >= 0 && g.netMinMoveInterval <= jq::kNetMinMoveIntervalMax);
    Require(g.netMoveTime > 0 && g.netMoveTime <= jq::kNetMoveTimeMax);
    Require(g.netDeployTime > 0 && g.netDeployTime <= jq::kNetDeployTimeMax);
    Require(g.netDisconnectTime > 0 && g.netDisconnectTime <= jq::kNetDisconnectTimeMax);
    jq::SetStartupStyleCoefficients(g);
    Require(Within(g.styleCoefAttack, -1e-9, 1 + 1e-9) && Within(g.styleCoefCaution, -1e-9, 1 + 1e-9) &&
            Within(g.styleCoefDefence, -1e-9, 1 + 1e-9));

    // Saving what was read writes the file back as it was (cut or padded
    // with zeros to the record's size).
    std::vector<uint8_t> file(data, data + std::min<size_t>(size, jq::kOptionsBytes));
    file.resize(jq::kOptionsBytes);
    Require(jq::EncodeOptions(rec) == file);
    return 0;
}
