#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "ai/selfplay.h"
#include "records/battlefile.h"
#include "records/fileio.h"

namespace jq {
namespace {

// One whole battle per level with the computer in every seat: it ends with
// a result, and the battle driver finds every step legal and every position
// sound. The record written decodes to the steps played.
TEST(SelfPlay, OneSeededBattlePerLevelEndsSoundly) {
    const auto folder = std::filesystem::temp_directory_path() / ("jq-selfplay-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (int level : {0, 1, 2}) {
        SelfPlayOptions o;
        for (int& l : o.levels) l = level;
        o.seed = 6;
        o.dataFolder = folder.string();  // no database, no statistics: generated armies
        o.recordPath = (folder / ("battle-" + std::to_string(level) + ".kbt")).string();
        const SelfPlayResult r = PlaySelfBattle(o);
        EXPECT_EQ(r.failure, "") << "level " << level;
        EXPECT_GE(r.result, 0) << "level " << level;
        EXPECT_LE(r.result, 2);
        ASSERT_GT(r.steps, 0);
        for (const SelfPlayMove& m : r.moves) ASSERT_EQ(m.level, level);

        const auto bytes = ReadFileBytes(o.recordPath, kBattleFileMaxBytes);
        ASSERT_TRUE(bytes.has_value());
        const BattleDecodeResult decoded = DecodeBattleFile(*bytes);
        EXPECT_EQ(decoded.error, BattleFileError::kNone);
        EXPECT_EQ(static_cast<int>(decoded.file.moves.size()), r.steps);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace jq
