#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "ai/selfplay.h"
#include "records/battlefile.h"
#include "records/fileio.h"

namespace jq {
namespace {

// Whole battles at the basic level with the computer in every seat: each
// ends with a result, every step is a legal move and every position keeps
// the rules (the battle driver checks after each step).
TEST(SelfPlay, BasicLevelBattlesEndSoundly) {
    const auto folder = std::filesystem::temp_directory_path() / ("jq-selfplay-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (uint32_t seed : {1u, 2u, 3u}) {
        SelfPlayOptions o;
        o.seed = seed;
        o.dataFolder = folder.string();  // no database, no statistics: generated armies
        o.recordPath = (folder / ("battle-" + std::to_string(seed) + ".kbt")).string();
        const SelfPlayResult r = PlaySelfBattle(o);
        EXPECT_EQ(r.failure, "") << "seed " << seed;
        EXPECT_GE(r.result, 0) << "seed " << seed;
        EXPECT_LE(r.result, 2);
        EXPECT_GT(r.steps, 0);
        EXPECT_EQ(r.moves.empty(), false);

        const auto bytes = ReadFileBytes(o.recordPath, kBattleFileMaxBytes);
        ASSERT_TRUE(bytes.has_value());
        const BattleDecodeResult decoded = DecodeBattleFile(*bytes);
        EXPECT_EQ(decoded.error, BattleFileError::kNone);
        EXPECT_EQ(static_cast<int>(decoded.file.moves.size()), r.steps);
    }
    std::filesystem::remove_all(folder);
}

TEST(SelfPlay, SameSeedSameBattle) {
    SelfPlayOptions o;
    o.seed = 5;
    o.dataFolder = std::filesystem::temp_directory_path().string() + "/jq-selfplay-none";
    const SelfPlayResult a = PlaySelfBattle(o);
    const SelfPlayResult b = PlaySelfBattle(o);
    EXPECT_EQ(a.failure, "");
    EXPECT_EQ(a.stepRecords, b.stepRecords);
    EXPECT_EQ(a.result, b.result);
}

}  // namespace
}  // namespace jq
