#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include "core/text.h"
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

}  // namespace
}  // namespace jq
