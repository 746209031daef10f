#include <gtest/gtest.h>

#include <cstring>

#include "formations/formation.h"

namespace jq {
namespace {

TEST(Formation, GeneratedFormationsAreLegalAndReproducible) {
    bool flagLeft = false, flagRight = false;
    for (uint32_t seed = 0; seed < 2000; ++seed) {
        GameRandom rng, again;
        rng.Seed(seed);
        again.Seed(seed);
        int8_t codes[25], same[25];
        GenerateFormation(rng, codes);
        GenerateFormation(again, same);
        ASSERT_TRUE(IsLegalFormation(codes)) << "seed " << seed;
        ASSERT_EQ(std::memcmp(codes, same, 25), 0);
        flagLeft |= codes[21] == kFlag;
        flagRight |= codes[23] == kFlag;
    }
    EXPECT_TRUE(flagLeft && flagRight);
}

TEST(Formation, EachBrokenRuleIsRefused) {
    // Slot by slot: flag in headquarters 21, mines in the last two rows,
    // bombs off the front row.
    const int8_t legal[25] = {8, 9, 10, 11, 12, 6, 7, 12, 10, 11, 9, 12, 7, 11, 10, 4, 2, 5, 2, 3, 8, 1, 2, 6, 3};
    ASSERT_TRUE(IsLegalFormation(legal));
    const auto changed = [&](int a, int b, int code = 0) {
        int8_t c[25];
        std::memcpy(c, legal, 25);
        std::swap(c[a], c[b]);
        if (code != 0) c[a] = static_cast<int8_t>(code);
        return IsLegalFormation(c);
    };
    EXPECT_FALSE(changed(21, 20));  // the flag outside a headquarters
    EXPECT_TRUE(changed(21, 23));   // the other headquarters
    EXPECT_FALSE(changed(16, 14));  // a mine before the last two rows
    EXPECT_TRUE(changed(16, 15));
    EXPECT_FALSE(changed(19, 4));  // a bomb in the front row
    EXPECT_TRUE(changed(19, 5));
    EXPECT_FALSE(changed(15, 15, kEngineer));  // one commander too few, one engineer too many
    for (int bad : {13, -1}) EXPECT_FALSE(changed(4, 4, bad)) << bad;
}

}  // namespace
}  // namespace jq
