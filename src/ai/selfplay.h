// Headless battles with the computer playing all four seats: the worker
// thread and the turn loop driven directly, no window. Used by the
// self-play tool and by the tests of whole battles.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jq {

struct SelfPlayOptions {
    int levels[4] = {0, 0, 0, 0};  // level of each seat
    uint32_t seed = 1;             // seeds the game's and the worker's generators
    std::string dataFolder;        // where "oprec", "zffile" and "statfile" are looked for
    std::string recordPath;        // the battle record to write; empty: none
    int waitSeconds = 120;         // longest wait for one computer move
};

struct SelfPlayMove {
    int level = 0;
    double ms = 0.0;     // thinking time of the worker (wall clock)
    double cpuMs = 0.0;  // ... and its processor time
};

struct SelfPlayResult {
    int steps = 0;
    int result = -1;  // 0 won, 1 lost, 2 draw, seen from seats 0 and 2; -1 none
    double ms = 0.0;  // wall time of the whole battle
    std::vector<SelfPlayMove> moves;
    std::vector<int32_t> stepRecords;  // seven words per step, for comparing runs
    std::string failure;               // the first broken rule; empty when sound
    bool optionsFromFile = false;      // "oprec" was read from the data folder
    int styleSliders[3] = {};          // sf1, sf2, sf3 the battle was played with
};

// Plays one battle to its end, from the options a new game starts with. After every step it checks that the move
// was one of the seat's legal moves (or a give-up when it had none), that
// no two live pieces share a point, that flags, mines and the pieces of the
// headquarters never moved, and that every belief weight is a number.
SelfPlayResult PlaySelfBattle(const SelfPlayOptions& options);

}  // namespace jq
