#include <gtest/gtest.h>

#include <cstring>

#include "formations/formation.h"

namespace jq {
namespace {

TEST(Formation, GeneratedFormationsAreLegalAndReproducible) {
    bool flagLeft = false, flagRight = false;
    for (uint32_t seed = 0; seed < 2000; ++seed) {
        GameRandom rng;
        rng.Seed(seed);
        int8_t codes[25];
        GenerateFormation(rng, codes);
        ASSERT_TRUE(IsLegalFormation(codes)) << "seed " << seed;
        flagLeft |= codes[21] == kFlag;
        flagRight |= codes[23] == kFlag;
        GameRandom again;
        again.Seed(seed);
        int8_t same[25];
        GenerateFormation(again, same);
        ASSERT_EQ(std::memcmp(codes, same, 25), 0);
    }
    EXPECT_TRUE(flagLeft && flagRight);
}

TEST(Formation, EachBrokenRuleIsRefused) {
    GameRandom rng;
    rng.Seed(9);
    int8_t legal[25];
    GenerateFormation(rng, legal);
    ASSERT_TRUE(IsLegalFormation(legal));
    const auto slotOf = [&](int code) {
        for (int k = 0; k < 25; ++k)
            if (legal[k] == code) return k;
        return -1;
    };
    const auto swapped = [&](int a, int b) {
        int8_t c[25];
        std::memcpy(c, legal, 25);
        std::swap(c[a], c[b]);
        return IsLegalFormation(c);
    };
    const int flag = slotOf(kFlag);
    const int mine = slotOf(kMine);
    const int bomb = slotOf(kBomb);
    // The flag outside a headquarters, a mine before the last two rows, a
    // bomb in the front row.
    EXPECT_FALSE(swapped(flag, flag == 21 ? 20 : 22));
    for (int slot : {0, 14}) EXPECT_FALSE(swapped(mine, slot)) << slot;
    if (legal[4] != kBomb) {
        EXPECT_FALSE(swapped(bomb, 4));
    }
    // Swapping two officers keeps it legal.
    EXPECT_TRUE(swapped(slotOf(kCommander), slotOf(kEngineer)));

    for (int8_t bad : {int8_t{0}, int8_t{13}, int8_t{-1}}) {
        int8_t c[25];
        std::memcpy(c, legal, 25);
        c[slotOf(kEngineer)] = bad;
        EXPECT_FALSE(IsLegalFormation(c)) << int(bad);
    }
    // One engineer too many, one commander too few.
    int8_t c[25];
    std::memcpy(c, legal, 25);
    c[slotOf(kCommander)] = kEngineer;
    EXPECT_FALSE(IsLegalFormation(c));
}

}  // namespace
}  // namespace jq
