#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "core/options.h"
#include "core/text.h"
#include "records/bad_records.h"
#include "records/loadcmd.h"
#include "records/replay.h"
#include "records/replay_support.h"

namespace jq {
namespace {

using replaytest::PlayRandomBattle;
using test::ReadBytes;
using test::WriteBytes;

// The surroundings, also keeping the record titles the window would show.
struct TitledUi : test::RecordingUi {
    void ShowRecordTitle(const std::string& path) override { titles.push_back(path); }
    void ShowStandardBox(const std::string& text, const std::string& caption) override {
        RecordingUi::ShowStandardBox(text, caption);
        if (onMessage) onMessage();
    }
    std::vector<std::string> titles;
};

// What the board holds: every piece, the record and the steps, the files in use.
struct Board {
    std::vector<int> pieces;
    std::vector<int> history;
    std::vector<StepRec> steps;
    int stepCount, battleRunning;
    std::string battleFile, replayFile;
    bool operator==(const Board&) const = default;
};

std::vector<int> History(const GameState& g) {
    std::vector<int> v;
    for (const MoveRec& m : g.moveHistory) v.insert(v.end(), {m.fromX, m.fromY, m.toX, m.toY});
    return v;
}

Board BoardOf(const GameState& g) {
    Board b{{},
            History(g),
            std::vector<StepRec>(g.stepRecords, g.stepRecords + std::clamp(g.stepCount, 0, kMaxSteps)),
            g.stepCount,
            g.battleRunning,
            g.battleFileName,
            g.replayFileName};
    for (const PieceRec& p : g.pieces) b.pieces.insert(b.pieces.end(), {p.x, p.y, p.code, p.alive});
    return b;
}

// A new battle against the computer, twelve steps into it.
void PlayTwelveSteps(GameState& g) {
    g.mainRandom.Seed(5);
    ASSERT_TRUE(NewBattleAgainstComputer(g));
    g.deployPhase = 0, g.deployedPieces = g.pieces;
    g.clickStepCount = 10;  // no animation
    auto work = std::make_unique<MoveGenWork>(*g.board);
    for (int i = 0; i < 12; ++i) {
        ASSERT_GT(GenerateMoves(*work, g.pieces, g.curSeat), 0);
        const MoveCand& m = work->list[0];
        ExecuteMove(g, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome);
    }
    ASSERT_TRUE(g.battleRunning == 1 && g.stepCount == 12);
}

// While alive, no file may grow beyond 100 bytes: every record save fails.
class SavesFail {
public:
    SavesFail() {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit small = {100, old_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~SavesFail() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, handler_);
    }

private:
    struct rlimit old_ {};
    void (*handler_)(int) = nullptr;
};

// The modifier click on "调出战役" while "default.kbt" cannot be written: after
// the warning nothing happens. Neither an older "default.kbt" nor a missing
// one takes the place of the record being replayed or the battle under way.
TEST(ReloadCommand, FailedSaveLeavesTheBoardAsItWas) {
    const std::vector<uint8_t> record = PlayRandomBattle(3, 5, 60).kbt;
    const std::vector<uint8_t> older = PlayRandomBattle(4, 7, 90).kbt;
    for (bool replaying : {true, false})
        for (bool olderFile : {true, false}) {
            SCOPED_TRACE(std::string(replaying ? "replay" : "battle") + (olderFile ? ", older file" : ", no file"));
            test::TestGame t;
            TitledUi ui;
            GameState& g = t.g();
            g.ui = &ui;
            if (replaying) {
                WriteBytes(t.Path("a.kbt"), record);
                g.battleFileName = g.replayFileName = t.Path("a.kbt");
                ASSERT_EQ(OpenBattleFile(g, t.Path("a.kbt")), OpenResult::kOpened);
                ReplayToStep(g, 20);
            } else {
                PlayTwelveSteps(g);
            }
            if (olderFile) WriteBytes(t.Path("default.kbt"), older);
            const Board before = BoardOf(g);
            ui.titles.clear(), ui.messages.clear(), ui.boxes.clear();
            {
                SavesFail limit;
                g.clickStepCount = 2;
                ReloadCurrentBattle(g);
            }
            ASSERT_EQ(ui.boxes.size(), 1u);
            EXPECT_EQ(ui.boxes[0].text + ui.boxes[0].caption, Gb("保存结果文件不成功！！！警告"));
            EXPECT_TRUE(ui.messages.empty() && ui.titles.empty());
            EXPECT_TRUE(BoardOf(g) == before);
            EXPECT_EQ(ReadBytes(t.Path("default.kbt")), olderFile ? older : std::vector<uint8_t>{});
        }
}

// Where the save succeeds, the battle on the board is what opens, from step 0.
TEST(ReloadCommand, SavedBattleOpensAtTheStart) {
    test::TestGame t;
    TitledUi ui;
    GameState& g = t.g();
    g.ui = &ui;
    WriteBytes(t.Path("a.kbt"), PlayRandomBattle(3, 5, 60).kbt);
    WriteBytes(t.Path("default.kbt"), PlayRandomBattle(4, 7, 90).kbt);
    ASSERT_EQ(OpenBattleFile(g, t.Path("a.kbt")), OpenResult::kOpened);
    ReplayToStep(g, 20);
    const std::vector<int> history = History(g);
    ui.titles.clear();
    ReloadCurrentBattle(g);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.titles, std::vector<std::string>{t.Path("default.kbt")});
    EXPECT_EQ(g.battleFileName, t.Path("default.kbt"));
    EXPECT_EQ(g.stepCount, 0);
    EXPECT_EQ(History(g), history);
}


// Everything of the window a record that does not open must leave alone.
struct Window {
    Board board;
    std::vector<std::string> recent, labels, seatNames, status;
    std::vector<int> rest;  // seat to move, direction, automatic replay, click mode, deployments
    std::vector<uint8_t> optionsFile;
    bool operator==(const Window&) const = default;
};

Window WindowOf(const GameState& g, const TitledUi& ui) {
    Window w{BoardOf(g), {}, {}, {}, {ui.status[1], ui.status[2]}, {g.curSeat, g.turnDirection, g.autoPlay, g.clickStepCount},
             ReadBytes(OptionsFilePath(g))};
    for (int i = 0; i < kRecentFileCount; ++i) w.recent.push_back(RecentFile(g.optionsRecord, i));
    for (int s = 0; s < kSeats; ++s) w.labels.push_back(ui.labels[s]), w.seatNames.push_back(g.seatNames[s]);
    for (const PieceRec& p : g.deployedPieces) w.rest.push_back(p.code);
    return w;
}

// The boxes shown, in UTF-8 as badrecords::ExpectedBox writes them.
std::vector<std::string> BoxesShown(const TitledUi& ui) {
    std::vector<std::string> v;
    for (const std::string& m : ui.messages) v.push_back(Utf8FromGb(m));
    for (const auto& b : ui.boxes) v.push_back(Utf8FromGb(b.caption) + "|" + Utf8FromGb(b.text));
    return v;
}

// Files no battle could have written, opened from the dialog, from the recent list, and by going
// back to the start once the file in use has turned bad: one box each, and the replay standing
// at step 10 stays as it was, down to the caption, the counter and the recent list.
TEST(BadRecords, EveryOpeningCommandRefusesThemWhole) {
    const replaytest::PlayedRecord live = PlayRandomBattle(3, 5, 60);
    const std::vector<uint8_t> jqh = replaytest::EncodeJqh(DecodeBattleFile(live.kbt).file, 1);
    for (const badrecords::BadRecord& bad : badrecords::Table(live.kbt, jqh))
        for (const std::string command : {"dialog", "recent", "back to the start"}) {
            SCOPED_TRACE(bad.name + " by " + command);
            test::TestGame t;
            TitledUi ui;
            GameState& g = t.g();
            g.ui = &ui;
            const std::string ext = bad.name.substr(bad.name.size() - 4);
            const std::string good = t.Path("good" + ext), badPath = t.Path(bad.name);
            WriteBytes(good, ext == ".kbt" ? live.kbt : jqh);
            WriteBytes(badPath, bad.bytes);
            AddRecentFile(g, badPath);
            LoadChosenRecord(g, good);
            ASSERT_EQ(RecentFile(g.optionsRecord, 1), badPath);
            g.clickStepCount = 10;
            ReplayNextSteps(g);
            ASSERT_EQ(g.stepCount, 10);
            ui.messages.clear(), ui.boxes.clear(), ui.titles.clear();
            const Window before = WindowOf(g, ui);
            bool timerHeldBack = false;  // the main timer steps nothing while the box is up
            ui.onMessage = [&] { timerHeldBack = g.gameLogicDepth > 0; };

            std::string shownPath = badPath;
            if (command == "dialog") {
                LoadChosenRecord(g, badPath);
            } else if (command == "recent") {
                LoadRecentRecord(g, badPath);
            } else {
                WriteBytes(good, bad.bytes);
                shownPath = good;
                PrevStepMouseDown(g, true, false);
                ReplayStepBack(g);
            }
            EXPECT_EQ(BoxesShown(ui), std::vector<std::string>{badrecords::ExpectedBox(bad, shownPath)});
            EXPECT_TRUE(timerHeldBack);
            EXPECT_TRUE(ui.titles.empty());
            EXPECT_TRUE(WindowOf(g, ui) == before);
            // The replay goes on from where it stood.
            ReplayNextSteps(g);
            EXPECT_EQ(g.stepCount, 11);
        }
}

struct ToolRun {
    int exit = -1;
    std::string out, err;
};

// junqi-replay on `file`, as a child process.
ToolRun RunReplayChecker(const std::string& file, const std::string& folder) {
    static const char* const kTool = JQ_BINARY_DIR "/bin/junqi-replay";
    const std::string outPath = folder + "/tool.out", errPath = folder + "/tool.err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
        ::execl(kTool, kTool, file.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ToolRun run;
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return run;
    run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    const std::vector<uint8_t> out = ReadBytes(outPath), err = ReadBytes(errPath);
    run.out.assign(out.begin(), out.end());
    run.err.assign(err.begin(), err.end());
    return run;
}

// The replay checker opens files as the game does: each bad one exits 1 with its reason and
// prints no position; the sound records it was made from print their positions and exit 0.
TEST(BadRecords, ReplayCheckerExitsOneWithTheReason) {
    const replaytest::PlayedRecord live = PlayRandomBattle(3, 5, 60);
    const std::vector<uint8_t> jqh = replaytest::EncodeJqh(DecodeBattleFile(live.kbt).file, 1);
    test::ScratchFolder dir;
    for (const auto& [name, bytes] : {std::pair{"good.kbt", live.kbt}, std::pair{"good.jqh", jqh}}) {
        WriteBytes(dir.Path(name), bytes);
        const ToolRun run = RunReplayChecker(dir.Path(name), dir.Plain());
        EXPECT_EQ(run.exit, 0) << name << ": " << run.err;
        EXPECT_EQ(run.out.rfind("step ", 0), 0u) << name;
    }
    for (const badrecords::BadRecord& bad : badrecords::Table(live.kbt, jqh)) {
        const std::string path = dir.Path(bad.name);
        WriteBytes(path, bad.bytes);
        const ToolRun run = RunReplayChecker(path, dir.Plain());
        EXPECT_EQ(run.exit, 1) << bad.name;
        EXPECT_EQ(run.out, "") << bad.name;
        // A standard box reads "caption: text" there.
        std::string reason = badrecords::ExpectedBox(bad, path);
        if (const size_t bar = reason.find('|'); bar != std::string::npos) reason.replace(bar, 1, ": ");
        EXPECT_EQ(run.err, reason + "\n") << bad.name;
    }
}

// What the game writes opens again: a played battle, the same battle as a foreign record, and a
// save before any battle was laid out (seats that hold no piece at all).
TEST(BadRecords, WhatTheGameWritesStillOpens) {
    const replaytest::PlayedRecord live = PlayRandomBattle(8, -1, 40);
    test::TestGame t;
    const std::string blank = t.Path("blank.kbt");
    ASSERT_TRUE(SaveBattleFile(t.g(), blank));
    ASSERT_EQ(ReadBytes(blank).size(), 211u);
    WriteBytes(t.Path("a.kbt"), live.kbt);
    WriteBytes(t.Path("a.jqh"), replaytest::EncodeJqh(DecodeBattleFile(live.kbt).file, 3));
    for (const char* name : {"a.kbt", "a.jqh", "blank.kbt"}) {
        test::TestGame open;
        EXPECT_EQ(OpenBattleRecord(open.g(), t.Path(name)), OpenResult::kOpened) << name;
    }
}

// A click that acts on a mode sets it back to single steps, so the next plain click on the board
// switches automatic replay instead of asking for a step: going back to the start with Ctrl, and
// the reload with a modifier.
TEST(ClickMode, BackToTheStartAndReloadSpendTheirMode) {
    const replaytest::PlayedRecord live = PlayRandomBattle(3, 5, 60);
    for (const bool reload : {false, true}) {
        SCOPED_TRACE(reload ? "reload" : "back to the start");
        test::TestGame t;
        GameState& g = t.g();
        WriteBytes(t.Path("a.kbt"), live.kbt);
        LoadChosenRecord(g, t.Path("a.kbt"));
        g.clickStepCount = 10;
        ReplayNextSteps(g);
        if (reload) {
            LoadFileMouseDown(g, true);
            ReloadCurrentBattle(g);
        } else {
            PrevStepMouseDown(g, true, false);
            ReplayStepBack(g);
        }
        ASSERT_EQ(g.stepCount, 0);
        EXPECT_EQ(g.clickStepCount, 1);
        EXPECT_FALSE(ReplayBoardClick(g));  // no go-to-step dialog
        EXPECT_EQ(g.autoPlay, 1);
    }
}

}  // namespace
}  // namespace jq
