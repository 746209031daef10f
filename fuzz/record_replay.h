// Shared body of the battle-record targets: the input becomes a record file
// of the given extension, which is opened as the game opens it and replayed
// every way the window offers: single steps, a step back, several steps at
// once, a turned view, go to a step in the middle and past the end, and a
// step back from there. Every step taken through the move execution updates
// the computer player's beliefs, which costs far more than reading and
// laying out a record, so only a few steps are taken at each place: enough
// to meet every kind of step, few enough for a fuzzer to try many records.
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
    for (int i = 0; i < 2; ++i) ReplayNextSteps(g);
    ReplayStepBack(g);
    GotoReplayStart(g);
    g.clickStepCount = 2;
    ReplayNextSteps(g);
    RotateView(g);
    ReplayStepBack(g);
    const int length = RecordLength(g);
    GotoReplayStart(g);
    ReplayToStep(g, length / 2);
    ReplayStepBack(g);
    GotoReplayStart(g);
    ReplayToStep(g, length + 5);
    ReplayStepBack(g);
    return 0;
}

}  // namespace jq::fuzz
