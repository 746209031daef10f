// Whether 25 codes are one whole army, counted here apart from the game's
// own check: 1 flag, 3 mines, 2 bombs, one each of the two highest ranks,
// two each of the next four, three each of the last three.
#pragma once

#include <cstdint>

namespace jq::fuzz {

inline bool CountsAreOneArmy(const int8_t* codes) {
    constexpr int kWant[13] = {0, 1, 3, 2, 1, 1, 2, 2, 2, 2, 3, 3, 3};
    int have[13] = {};
    for (int k = 0; k < 25; ++k) {
        if (codes[k] < 1 || codes[k] > 12) return false;
        ++have[codes[k]];
    }
    for (int c = 1; c <= 12; ++c)
        if (have[c] != kWant[c]) return false;
    return true;
}

}  // namespace jq::fuzz
