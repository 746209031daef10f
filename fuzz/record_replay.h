// Shared body of the battle-record targets: the input becomes a record file
// of the given extension, which is opened as the game opens it and replayed
// every way the window offers: step by step to the end, back, from the
// start in jumps, to the end at once, and turned.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "core/qipan.h"
#include "records/replay.h"
#include "view/rotation.h"

namespace jq::fuzz {

inline int ReplayRecord(const uint8_t* data, size_t size, const char* extension) {
    static const std::string path = "/tmp/jq-fuzz-" + std::to_string(::getpid()) + extension;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    auto game = std::make_unique<GameState>();
    GameState& g = *game;
    g.battleFileName = path;
    g.replayFileName = path;
    if (OpenBattleRecord(g, path) != OpenResult::kOpened) return 0;
    for (int i = 0; i < kStepSlots; ++i) {
        const int before = g.stepCount;
        g.clickStepCount = 1;
        ReplayNextSteps(g);
        if (g.stepCount == before) break;
    }
    for (int i = 0; i < 3; ++i) ReplayStepBack(g);
    GotoReplayStart(g);
    g.clickStepCount = 20;
    ReplayNextSteps(g);
    RotateView(g);
    g.clickStepCount = 100;
    ReplayNextSteps(g);
    ReplayStepBack(g);
    GotoReplayStart(g);
    ReplayToStep(g, RecordLength(g) + 5);
    ReplayStepBack(g);
    return 0;
}

}  // namespace jq::fuzz
