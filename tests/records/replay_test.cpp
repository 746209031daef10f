#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ai/selfplay.h"
#include "core/options.h"
#include "records/loadcmd.h"
#include "records/replay.h"
#include "records/replay_support.h"

namespace jq {
namespace {

using test::TestGame;
using test::WriteBytes;
using replaytest::EncodeJqh;
using replaytest::PlayRandomBattle;

// What replay must agree on. The rows of eliminatedPieces count only for seats
// that are out: stepping back leaves the row of a seat it brings back as it was.
std::vector<int> Snapshot(const GameState& g) {
    auto out = [&](int s) {
        const auto first = g.pieces.begin() + 25 * s;
        return std::none_of(first, first + 25, [](const PieceRec& p) { return p.alive == 1; });
    };
    std::vector<int> v{g.curSeat, g.stepCount};
    for (const PieceRec& p : g.pieces) v.insert(v.end(), {p.x, p.y, p.code, p.alive});
    for (int i = 0; i < g.stepCount; ++i) {
        const StepRec& r = g.stepRecords[i];
        v.insert(v.end(), {r.mover, r.target, r.fromX, r.fromY, r.toX, r.toY, r.outcome});
    }
    for (int s = 0; s < 4; ++s)
        for (int k = 0; k < 30; ++k) v.push_back(out(s) ? g.eliminatedPieces[s][k] : 0);
    return v;
}

struct Opened {
    TestGame t;
    explicit Opened(const std::string& path) {
        t.g().battleFileName = t.g().replayFileName = path;
        EXPECT_EQ(OpenBattleFile(t.g(), path), OpenResult::kOpened);
    }
    GameState& g() { return t.g(); }
};

// Replays `path` step by step, then checks that go-to-step, jumps of 10 and 100 and
// steps back reach the same states. Returns the state after each single step.
std::vector<std::vector<int>> ExpectEveryWayAgrees(const std::string& path, const std::string& what) {
    Opened single(path);
    const int length = RecordLength(single.g());
    std::vector<std::vector<int>> byStep{Snapshot(single.g())};
    while (single.g().stepCount < length) {
        ReplayNextSteps(single.g());
        EXPECT_EQ(single.g().stepCount, static_cast<int>(byStep.size())) << what;
        if (single.g().stepCount != static_cast<int>(byStep.size())) return byStep;
        byStep.push_back(Snapshot(single.g()));
    }
    Opened jump(path);
    for (int n = 0; n <= length; ++n) {
        GotoReplayStart(jump.g());
        ReplayToStep(jump.g(), n);
        EXPECT_EQ(Snapshot(jump.g()), byStep[n]) << what << " go to " << n;
    }
    for (int count : {10, 100}) {
        Opened many(path);
        while (many.g().stepCount < length) {
            many.g().clickStepCount = count;
            ReplayNextSteps(many.g());
            EXPECT_EQ(Snapshot(many.g()), byStep[many.g().stepCount]) << what << " by " << count;
        }
    }
    // Back one step at a time from the end.
    for (int n = length; n > 0; --n) {
        ReplayStepBack(single.g());
        EXPECT_EQ(Snapshot(single.g()), byStep[n - 1]) << what << " back from " << n;
    }
    return byStep;
}

// Battles with a time-out at step 3 and a give-up at step 40 (taking flags,
// commanders and trading bombs). The end of the live battle is the end of its replay.
TEST(Replay, EveryWayToAStepAgrees) {
    for (uint32_t seed : {5u, 12u, 29u}) {
        replaytest::PlayedRecord live = PlayRandomBattle(seed, 3, 40);
        const GameState& lg = live.t->g();
        const std::string path = live.t->Path("live.kbt");
        WriteBytes(path, live.kbt);
        const auto byStep = ExpectEveryWayAgrees(path, "seed " + std::to_string(seed));
        ASSERT_EQ(static_cast<int>(byStep.size()), lg.stepCount + 1);
        EXPECT_EQ(byStep.back(), Snapshot(lg)) << "seed " << seed;
    }
}

// A battle of the computer player with itself, as the self-play tool plays it.
TEST(Replay, ComputerBattleReplaysAsPlayed) {
    TestGame t;
    SelfPlayOptions o;
    o.seed = 7, o.dataFolder = t.g().appFolder, o.recordPath = t.Path("selfplay.kbt");
    const SelfPlayResult played = PlaySelfBattle(o);
    ASSERT_EQ(played.failure, "");
    const auto byStep = ExpectEveryWayAgrees(o.recordPath, "self-play");
    ASSERT_EQ(static_cast<int>(byStep.size()), played.steps + 1);
    const std::vector<int>& end = byStep.back();
    const std::vector<int> steps(end.begin() + 2 + 400, end.begin() + 2 + 400 + 7 * played.steps);
    EXPECT_EQ(steps, std::vector<int>(played.stepRecords.begin(), played.stepRecords.end()));
}

struct DirectionCase {
    const char* name;
    std::vector<int> fromSeats;  // seat whose slot-5 piece moves; -1 give-up, -2 time-out
    int direction, seat;         // expected; 0: the message, nothing changes
};

TEST(Replay, DetectReplayDirection) {
    const DirectionCase cases[] = {
        {"forward", {1, 2, 3}, 1, 1},
        {"backward", {1, 0, 3}, -1, 1},
        {"leading give-up", {-1, 2, 3}, 1, 1},
        {"leading time-outs, backward", {-2, -2, 3, 2}, -1, 1},
        {"same seat four apart", {1, -2, -2, -2, 1, 2}, 1, 1},
        {"single move", {2}, 0, 0},
        {"no move", {}, 0, 0},
    };
    for (const DirectionCase& c : cases) {
        TestGame t;
        GameState& g = t.g();
        CodeTable codes;
        for (auto& row : codes.rows) std::fill(std::begin(row), std::end(row), kEngineer);
        LayoutBattle(g, 0, codes, NameTable{});
        g.turnDirection = 7, g.curSeat = 9;
        for (size_t i = 0; i < c.fromSeats.size(); ++i) {
            const int s = c.fromSeats[i];
            const PieceRec& p = g.pieces[std::max(s, 0) * 25 + 5];
            g.moveHistory[i] = s == -1 ? MoveRec{22, 22, 22, 22}
                               : s == -2 ? MoveRec{255, 255, 255, 255}
                                         : MoveRec{p.x, p.y, p.x, p.y};
        }
        DetectReplayDirection(g);
        EXPECT_EQ(t.ui.messages.size(), c.direction == 0 ? 1u : 0u) << c.name;
        const std::pair<int, int> want = c.direction == 0 ? std::pair{7, 9} : std::pair{c.direction, c.seat};
        EXPECT_EQ((std::pair{g.turnDirection, g.curSeat}), want) << c.name;
    }
}

TEST(ForeignRecord, OpensToTheSamePlayAsItsOwnRecord) {
    replaytest::PlayedRecord live = PlayRandomBattle(31, 5, -1);
    const BattleFile file = DecodeBattleFile(live.kbt).file;
    const std::string kbt = live.t->Path("a.kbt");
    WriteBytes(kbt, live.kbt);
    Opened own(kbt);
    ReplayToStep(own.g(), RecordLength(own.g()));
    for (int rotation = -1; rotation <= 4; ++rotation) {
        const std::string jqh = live.t->Path("a" + std::to_string(rotation + 1) + ".jqh");
        WriteBytes(jqh, EncodeJqh(file, rotation));
        Opened foreign(jqh);
        GotoReplayStart(foreign.g());
        ReplayToStep(foreign.g(), RecordLength(foreign.g()));
        EXPECT_EQ(Snapshot(foreign.g()), Snapshot(own.g())) << "rotation " << rotation;
    }
}

TEST(ForeignRecord, CountsStepCodesAndShortFiles) {
    BattleFile file;
    for (auto& row : file.codes.rows) std::fill(std::begin(row), std::end(row), kCompany);
    const MoveRec move{18, 17, 18, 18};  // off seat 0's front row
    file.moves.assign(1000, move);
    file.moves[0] = MoveRec{22, 22, 22, 22};
    file.moves[1] = MoveRec{255, 255, 255, 255};
    const std::pair<int32_t, size_t> cases[] = {{0, 0}, {-5, 0}, {2, 2}, {511, 510}, {1000, 510}, {5000, 510}};
    for (const auto& [count, moves] : cases) {
        const std::vector<uint8_t> image = EncodeJqh(file, 2, count);
        const JqhDecodeResult r = DecodeJqhFile(image.data(), image.size());
        ASSERT_EQ(r.file.moves.size(), moves) << count;
        EXPECT_EQ(r.file.codes.rows[2][7], kCompany) << count;
        // 254 x 4 reads as 22 x 4, a centre point; no moves, no first point.
        EXPECT_EQ(r.firstMoveOffBoard, moves == 0) << count;
        if (moves == 0) continue;
        EXPECT_EQ(r.file.moves[0].toY, 22);
        EXPECT_EQ(r.file.moves[1].toY, 255);
    }
    std::vector<uint8_t> image = EncodeJqh(file, 2, 3);
    image.resize(204 + 4 * 2);  // cut short: no moves past the cut, flags past it
    const JqhDecodeResult cut = DecodeJqhFile(image.data(), image.size());
    EXPECT_EQ(cut.file.moves.size(), 2u);
    EXPECT_EQ(cut.file.codes.rows[0][0], kFlag);
    EXPECT_EQ(JqhCellCode(-3), kFlag);
}

TEST(RecordFiles, RecentFilesKeepTheLatestTen) {
    TestGame t;
    GameState& g = t.g();
    auto list = [&] {
        std::vector<std::string> v(10);
        for (int i = 0; i < 10; ++i) v[i] = RecentFile(g.optionsRecord, i);
        return v;
    };
    for (char c = 'j'; c >= 'a'; --c) AddRecentFile(g, std::string(1, c));
    EXPECT_EQ(list(), (std::vector<std::string>{"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"}));
    AddRecentFile(g, "f");  // the sixth to the top, the five above down one
    EXPECT_EQ(list(), (std::vector<std::string>{"f", "a", "b", "c", "d", "e", "g", "h", "i", "j"}));
    AddRecentFile(g, "new");  // the tenth drops out
    EXPECT_EQ(list(), (std::vector<std::string>{"new", "f", "a", "b", "c", "d", "e", "g", "h", "i"}));
    // The list is in "oprec" at once.
    EXPECT_EQ(RecentFile(DecodeOptions(test::ReadBytes(OptionsFilePath(g))), 0), "new");
    // 255 bytes fit; 256 do not, and the list stays.
    const std::string fits(255, 'p'), tooLong(256, 'q');
    EXPECT_TRUE(AddRecentFile(g, fits));
    EXPECT_FALSE(AddRecentFile(g, tooLong));
    EXPECT_EQ(list()[1], "new");
    EXPECT_EQ(t.ui.boxes.size(), 1u);
}

}  // namespace
}  // namespace jq
