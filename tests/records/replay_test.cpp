#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ai/selfplay.h"
#include "core/options.h"
#include "core/text.h"
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

// Every piece an engineer but seat 0's first.
void Engineers(GameState& g, int first = kEngineer) {
    CodeTable codes;
    for (auto& row : codes.rows) std::fill(std::begin(row), std::end(row), kEngineer);
    codes.rows[0][0] = static_cast<int8_t>(first);
    LayoutBattle(g, 0, codes, NameTable{});
}

struct Opened {
    TestGame t;
    explicit Opened(const std::string& path) {
        t.g().battleFileName = t.g().replayFileName = path;
        EXPECT_EQ(OpenBattleFile(t.g(), path), OpenResult::kOpened);
    }
    GameState& g() { return t.g(); }
};

// What the rules never let a board show: a live piece off the board, two
// live pieces on one point, a flag or mine off its start point. Empty when
// the position is sound.
std::string RuleBreak(const GameState& g) {
    for (int k = 0; k < kPieceCount; ++k) {
        const PieceRec& p = g.pieces[k];
        if (p.alive != 1) continue;
        const std::string at = "piece " + std::to_string(k) + " at " + std::to_string(p.x) + "," + std::to_string(p.y);
        if (PointIndexAt(*g.board, p.x, p.y) < 0) return at + " off the board";
        if ((p.code == kFlag || p.code == kMine) && (p.x != p.startX || p.y != p.startY)) return at + " has moved";
        for (int j = 0; j < k; ++j)
            if (g.pieces[j].alive == 1 && g.pieces[j].x == p.x && g.pieces[j].y == p.y) return at + " shares it";
    }
    return "";
}

// Runs one replay command and expects it to show at most one box.
template <class Command>
void AtMostOneBox(TestGame& t, Command command, const std::string& what) {
    const size_t before = t.ui.messages.size();
    command();
    EXPECT_LE(t.ui.messages.size(), before + 1) << what;
}

// Replays `path` step by step, then checks that go-to-step, jumps of 10 and 100 and
// steps back reach the same states, that no state breaks the rules and that no
// command shows more than one box. Returns the state after each single step.
std::vector<std::vector<int>> ExpectEveryWayAgrees(const std::string& path, const std::string& what) {
    Opened single(path);
    const int length = RecordLength(single.g());
    std::vector<std::vector<int>> byStep{Snapshot(single.g())};
    while (single.g().stepCount < length) {
        AtMostOneBox(single.t, [&] { ReplayNextSteps(single.g()); }, what + " step");
        EXPECT_EQ(single.g().stepCount, static_cast<int>(byStep.size())) << what;
        if (single.g().stepCount != static_cast<int>(byStep.size())) return byStep;
        EXPECT_EQ(RuleBreak(single.g()), "") << what << " step " << byStep.size();
        byStep.push_back(Snapshot(single.g()));
    }
    Opened jump(path);
    for (int n = 0; n <= length; ++n) {
        AtMostOneBox(jump.t, [&] {
            GotoReplayStart(jump.g());
            ReplayToStep(jump.g(), n);
        }, what + " go to");
        EXPECT_EQ(Snapshot(jump.g()), byStep[n]) << what << " go to " << n;
    }
    for (int count : {10, 100}) {
        Opened many(path);
        while (many.g().stepCount < length) {
            many.g().clickStepCount = count;
            AtMostOneBox(many.t, [&] { ReplayNextSteps(many.g()); }, what + " jump");
            EXPECT_EQ(Snapshot(many.g()), byStep[many.g().stepCount]) << what << " by " << count;
        }
    }
    // Back one step at a time from the end.
    for (int n = length; n > 0; --n) {
        AtMostOneBox(single.t, [&] { ReplayStepBack(single.g()); }, what + " back");
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

// A record damaged at three steps: a mine moving, a step off the board, a good
// from-point with a bad to-point. A refused step passes the turn and moves
// nothing, in every way of replaying, and the replay goes on past it.
TEST(Replay, EveryWayAgreesOnRefusedSteps) {
    for (uint32_t seed : {5u, 29u}) {
        replaytest::PlayedRecord live = PlayRandomBattle(seed, 3, 40);
        const GameState& lg = live.t->g();
        ASSERT_GT(lg.stepCount, 30);
        // A mine alive at the end never left its point.
        int mine = 0;
        while (mine < kPieceCount && !(lg.pieces[mine].code == kMine && lg.pieces[mine].alive == 1)) ++mine;
        ASSERT_LT(mine, kPieceCount) << seed;
        std::vector<uint8_t> kbt = live.kbt;
        auto put = [&](int step, std::array<int, 4> bytes) {
            for (int b = 0; b < 4; ++b) kbt[211 + 4 * step + b] = static_cast<uint8_t>(bytes[b]);
        };
        const PieceRec& m = lg.pieces[mine];
        const StepRec& s10 = lg.stepRecords[10];
        const StepRec& s17 = lg.stepRecords[17];
        put(10, {m.x, m.y, s10.toX, s10.toY});
        put(4, {200, 5, 17, 17});
        put(17, {s17.fromX, s17.fromY, 12, 12});
        ASSERT_LT(PointIndexAt(Board(), 12, 12), 0);
        const std::string path = live.t->Path("damaged.kbt");
        WriteBytes(path, kbt);
        const std::string what = "damaged, seed " + std::to_string(seed);
        const auto byStep = ExpectEveryWayAgrees(path, what);
        ASSERT_EQ(static_cast<int>(byStep.size()), lg.stepCount + 1) << what;
        for (int step : {4, 10, 17}) {
            const auto pieces = [&](int n) { return std::vector<int>(byStep[n].begin() + 2, byStep[n].begin() + 402); };
            EXPECT_EQ(pieces(step + 1), pieces(step)) << what << " step " << step;
            EXPECT_NE(byStep[step + 1][0], byStep[step][0]) << what << " the turn passes at " << step;
        }
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
        {"same seat four apart, backward", {1, -2, -2, -2, 1, 0}, -1, 1},
        {"same seat again", {1, 1, 3}, -1, 1},
        {"same seat again after a time-out", {-2, 2, 2}, -1, 3},
        {"single move", {2}, 0, 0},
        {"no move", {}, 0, 0},
    };
    for (const DirectionCase& c : cases) {
        TestGame t;
        GameState& g = t.g();
        Engineers(g);
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

// A step off the board and a mine attacking are refused steps to go-to-step as to
// stepping: the turn passes, nothing moves, the step holds the seat that was to move.
TEST(Replay, GoToStepTakesUnsoundStepsLikeExecuteMove) {
    TestGame jump, step;
    for (TestGame* t : {&jump, &step}) {
        GameState& g = t->g();
        Engineers(g, kMine);
        const PieceRec mine = g.pieces[0], enemy = g.pieces[50];
        g.moveHistory[0] = kOffBoardMove;
        g.moveHistory[1] = MoveRec{mine.x, mine.y, enemy.x, enemy.y};
        g.turnDirection = 1, g.curSeat = 3;
    }
    const std::vector<int> start = Snapshot(jump.g());
    ReplayToStep(jump.g(), 2);
    step.g().clickStepCount = 2;
    ReplayNextSteps(step.g());
    const GameState& g = jump.g();
    EXPECT_EQ((std::vector<int>{g.stepCount, g.stepRecords[0].mover, g.stepRecords[0].outcome, g.stepRecords[1].mover,
                                g.stepRecords[1].outcome, g.curSeat}),
              (std::vector<int>{2, kNoPiece, 3, kNoPiece, 0, 1}));
    const std::vector<int> end = Snapshot(g);
    EXPECT_EQ(std::vector<int>(start.begin() + 2, start.begin() + 402), std::vector<int>(end.begin() + 2, end.begin() + 402));
    EXPECT_EQ(Snapshot(step.g()), end);
    EXPECT_TRUE(jump.ui.messages.empty());
    EXPECT_EQ(step.ui.messages.size(), 1u);  // one box for the command
}

// Automatic replay is off before the refused step's box: one box, not one per tick.
TEST(Replay, AutomaticReplayStopsBeforeARefusedStep) {
    replaytest::PlayedRecord live = PlayRandomBattle(21, -1, -1);
    BattleFile file = DecodeBattleFile(live.kbt).file;
    file.moves.resize(6);
    file.moves[4] = kOffBoardMove;
    const std::string path = live.t->Path("bad.kbt");
    WriteBytes(path, EncodeBattleFile(file));
    Opened o(path);
    std::vector<int> autoPlayAtBox;
    o.t.ui.onMessage = [&] { autoPlayAtBox.push_back(o.g().autoPlay); };
    o.g().autoPlay = 1, o.g().optionsRecord.autoPlayInterval = 0;
    for (int tick = 0; tick < 40; ++tick) TickMainTimer(o.g());
    EXPECT_EQ(o.g().stepCount, 5);  // past the refused step, then stopped
    EXPECT_EQ(autoPlayAtBox, std::vector<int>{0});
    GotoReplayStart(o.g());
    o.g().clickStepCount = 100;  // a hundred steps at once meet it once too, and go on
    ReplayNextSteps(o.g());
    EXPECT_EQ(autoPlayAtBox.size(), 2u);
    EXPECT_EQ(o.g().stepCount, 6);
}

// A damaged "oprec" does not reach the running copy through a record: -7 would wait
// for ever, 3,000,000 seconds overflow as milliseconds.
TEST(Replay, OpeningARecordSanitisesTheMinimumMoveInterval) {
    replaytest::PlayedRecord live = PlayRandomBattle(21, -1, -1);
    const std::string path = live.t->Path("a.kbt");
    WriteBytes(path, live.kbt);
    const std::pair<int32_t, int32_t> cases[] = {{-7, 1}, {3000000, 10}, {INT32_MIN, 1}, {0, 0}, {4, 4}, {10, 10}};
    for (const auto& [stored, running] : cases) {
        TestGame t;
        t.g().optionsRecord.netMinMoveIntervalOption = stored;
        t.g().netMinMoveInterval = 3;
        OpenBattleFile(t.g(), path);
        EXPECT_EQ(t.g().netMinMoveInterval, running) << stored;
    }
}

// A first step from a board point to a point off the board still names the seat that
// made it: the seat and the turn order come out as played, without a box, in both readers.
TEST(Replay, FirstStepWithABadToPointKeepsItsSeat) {
    replaytest::PlayedRecord live = PlayRandomBattle(31, -1, -1);
    const GameState& lg = live.t->g();
    const int firstSeat = SeatOf(lg.stepRecords[0].mover);
    std::vector<uint8_t> kbt = live.kbt;
    kbt[211 + 2] = 12, kbt[211 + 3] = 12;
    ASSERT_LT(PointIndexAt(Board(), 12, 12), 0);
    // Rotation 2 turns nothing; to-bytes 16, 0 read as the point (12, 12).
    std::vector<uint8_t> jqh = EncodeJqh(DecodeBattleFile(live.kbt).file, 2);
    jqh[204 + 2] = 16, jqh[204 + 3] = 0;
    const int from = PointIndexAt(Board(), 28 - jqh[204], jqh[205] + 12);
    ASSERT_GE(from, 0);
    const JqhDecodeResult decoded = DecodeJqhFile(jqh.data(), jqh.size());
    EXPECT_FALSE(decoded.firstMoveOffBoard);
    EXPECT_EQ(decoded.file.seat, (4 - from / 30) % 4);
    for (const auto& [name, bytes] : {std::pair{"first.kbt", kbt}, std::pair{"first.jqh", jqh}}) {
        WriteBytes(live.t->Path(name), bytes);
        Opened o(live.t->Path(name));
        for (const std::string& box : o.t.ui.messages)  // the piece statistics may tell their defaults
            EXPECT_EQ(box, Gb("采用默认子力分布！！     ")) << name << ": " << Utf8FromGb(box);
        EXPECT_EQ((std::pair{o.g().turnDirection, o.g().curSeat}), (std::pair{lg.turnDirection, firstSeat})) << name;
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

// The rotation field as the foreign format gives it (remainder with the sign of r; 0 and 2
// exchanged; a negative remainder turns nothing), and its names in rows 0, 3, 2, 1.
TEST(ForeignRecord, RotationFieldAndNameRows) {
    const std::pair<int32_t, int> turns[] = {
        {0, 2},  {1, 1},  {2, 0},  {3, 3},  {4, 2},  {7, 3}, {INT32_MAX, 3},
        {-1, 0}, {-2, 0}, {-3, 0}, {-4, 2}, {-6, 0}, {INT32_MIN, 2},
    };
    std::vector<uint8_t> image(kJqhFileBytes, 0);
    const char* names[4] = {"north", "a name of twenty by", "south", "west"};
    for (int s = 0; s < 4; ++s) std::memcpy(image.data() + 100 + 20 * s, names[s], std::strlen(names[s]));
    image[100 + 20 * 1 + 19] = 'X';  // twenty bytes without a zero end
    for (const auto& [rotation, t] : turns) {
        PutI32(image.data() + 184, rotation);
        const JqhDecodeResult r = DecodeJqhFile(image.data(), image.size());
        EXPECT_EQ(r.viewTurns, t) << "rotation " << rotation;
        EXPECT_EQ((std::array{NameRow(r.file.names, 0), NameRow(r.file.names, 1), NameRow(r.file.names, 2),
                              NameRow(r.file.names, 3)}),
                  (std::array<std::string, 4>{"north", "west", "south", "a name of twenty byX"}));
    }
}

// Refused by extension, during a LAN battle, or unreadable: a box, and nothing changes.
TEST(RecordFiles, RefusedOrUnreadableOnesChangeNothing) {
    TestGame t;
    GameState& g = t.g();
    g.battleRunning = 1, g.moveHistory[0] = MoveRec{18, 17, 18, 18}, g.pieces[0].code = 7;
    std::strcpy(g.optionsRecord.recentFiles[0], "old.kbt");
    for (const char* path : {"a.kjq", "b.JQS", "c.kbt.bak", "kbt", ""}) LoadChosenRecord(g, path);
    LoadRecentRecord(g, "");  // an empty item: not even a box
    WriteBytes(t.Path("short.kbt"), std::vector<uint8_t>(210, 1));  // one byte short of the head
    std::filesystem::create_directory(t.Path("dir.kbt"));
    for (const char* name : {"missing.kbt", "short.kbt", "dir.kbt"}) {
        BattleFile out;
        out.moves.resize(3);
        EXPECT_NE(ReadBattleFile(g, t.Path(name), out), BattleFileError::kNone) << name;
        EXPECT_TRUE(out.moves.empty()) << name;
    }
    g.netConnected = 1;
    LoadChosenRecord(g, t.Path("x.kbt"));  // leave the LAN battle first
    ASSERT_EQ(t.ui.messages.size(), 9u);
    EXPECT_EQ(Utf8FromGb(t.ui.messages[1]).rfind("这是阵法文件", 0), 0u);
    EXPECT_EQ(Utf8FromGb(t.ui.messages[2]).rfind("文件格式或类型不支持", 0), 0u);
    for (int i : {5, 6, 7}) EXPECT_EQ(t.ui.messages[i], Gb("文件无法打开！          "));
    EXPECT_EQ(Utf8FromGb(t.ui.messages[8]).rfind("正在联网对战", 0), 0u);
    EXPECT_TRUE(g.battleRunning == 1 && g.moveHistory[0].toY == 18 && g.pieces[0].code == 7 && t.ui.redraws == 0);
    EXPECT_EQ((std::vector<std::string>{g.battleFileName, g.replayFileName, RecentFile(g.optionsRecord, 0)}),
              (std::vector<std::string>{"default.kbt", "NONE", "old.kbt"}));
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
