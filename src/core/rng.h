// The game's random generator: one object per thread that draws.
#pragma once

#include <cstdint>

namespace jq {

class GameRandom {
public:
    // Starts from the fixed state (low word 1) unless seeded.
    void Seed(uint32_t seed) {
        low_ = seed;
        high_ = 0;
        Next();
    }
    // One draw, 0..32767.
    int Next() {
        low_ = low_ * 22695477u + 1u;
        return static_cast<int>((low_ >> 16) & 0x7FFFu);
    }
    uint32_t State() const { return low_; }

private:
    uint32_t low_ = 1;
    uint32_t high_ = 0;
};

}  // namespace jq
