#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/datafiles.h"
#include "core/options.h"
#include "core/text.h"
#include "records/loadcmd.h"
#include "records/replay.h"
#include "records/replay_support.h"

namespace jq {
namespace {

using replaytest::PlayRandomBattle;
using test::FolderEntries;
using test::ReadBytes;
using test::WriteBytes;

// How a child process ended, and what it wrote to the parent.
struct ChildEnd {
    int exitCode = -1;  // -1 when a signal ended it
    int signal = 0;
    std::string report;
};

// Runs `work` in a child process whose files may not grow beyond `limit`
// bytes, after the start-up of the game and its tools when `startUp`. The
// child's report (empty when all was well) comes back through a pipe, which
// no size limit applies to.
ChildEnd UnderSizeLimit(rlim_t limit, bool startUp, const std::function<std::string()>& work) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (startUp) LetWritesFailPastSizeLimit();
        const struct rlimit small = {limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0) ::_exit(3);
        const std::string report = work();
        if (::write(fds[1], report.data(), report.size()) < 0) ::_exit(4);
        ::_exit(0);  // no destructors: the scratch folder belongs to the parent
    }
    ::close(fds[1]);
    ChildEnd end;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0) end.report.append(buffer, static_cast<size_t>(n));
        if (n < 0 && errno != EINTR) break;
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) end.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) end.signal = WTERMSIG(status);
    return end;
}

std::string Join(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += n + " ";
    return out;
}

// The modifier click on "调出战役" under a file-size limit: the write of
// "default.kbt" fails as an error, the save warning shows once, no temporary
// file stays and the battle on the board goes on. Without the start-up
// setting the same write ends the process, which is what the game used to do.
TEST(WriteLimit, ReloadWarnsAndLeavesNoTemporaryFile) {
    const std::vector<uint8_t> older = PlayRandomBattle(4, 7, 90).kbt;
    struct Case {
        const char* what;
        rlim_t limit;
        bool startUp;
        bool olderFile;
        int signal;  // what ends the child; 0: it exits
    };
    const Case cases[] = {
        {"nothing may be written", 0, true, false, 0},
        {"an older default.kbt stays", 0, true, true, 0},
        {"the record is cut short after 512 bytes", 512, true, true, 0},
        {"without the start-up setting", 0, false, false, SIGXFSZ},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test::TestGame t;
        GameState& g = t.g();
        WriteBytes(t.Path("a.kbt"), PlayRandomBattle(3, 5, 60).kbt);
        g.battleFileName = g.replayFileName = t.Path("a.kbt");
        ASSERT_EQ(OpenBattleFile(g, t.Path("a.kbt")), OpenResult::kOpened);
        ReplayToStep(g, 20);
        ASSERT_GT(EncodeBattleFile(BattleFileFromGame(g, t.ui.NextStepEnabled())).size(), 512u);
        if (c.olderFile) WriteBytes(t.Path("default.kbt"), older);
        const std::vector<std::string> files = FolderEntries(t.folder);
        t.ui.boxes.clear();

        const ChildEnd end = UnderSizeLimit(c.limit, c.startUp, [&]() -> std::string {
            g.clickStepCount = 2;
            ReloadCurrentBattle(g);
            std::string report;
            if (t.ui.boxes.size() != 1 || t.ui.boxes[0].text != Gb("保存结果文件不成功！！！") ||
                t.ui.boxes[0].caption != Gb("警告"))
                report += "not the one save warning; ";
            if (FolderEntries(t.folder) != files) report += "files now: " + Join(FolderEntries(t.folder)) + "; ";
            if (g.stepCount != 20 || g.battleFileName != t.Path("a.kbt")) report += "the board changed; ";
            return report;
        });
        EXPECT_EQ(end.signal, c.signal);
        if (c.signal == 0) {
            EXPECT_EQ(end.exitCode, 0);
            EXPECT_EQ(end.report, "");
        }
        EXPECT_EQ(ReadBytes(t.Path("default.kbt")), c.olderFile ? older : std::vector<uint8_t>{});
    }
}

// The options have a writer of their own: under the limit the save fails,
// the old file stays and its temporary file goes.
TEST(WriteLimit, OptionsSaveFailsAndKeepsTheOldFile) {
    test::TestGame t;
    GameState& g = t.g();
    g.optionsRecord.soundOn = 1;
    ASSERT_TRUE(SaveOptions(g));
    const std::vector<uint8_t> saved = ReadBytes(OptionsFilePath(g));
    const std::vector<std::string> files = FolderEntries(t.folder);
    const ChildEnd end = UnderSizeLimit(0, true, [&]() -> std::string {
        g.optionsRecord.soundOn = 0;
        if (SaveOptions(g)) return "the save succeeded";
        if (FolderEntries(t.folder) != files) return "files now: " + Join(FolderEntries(t.folder));
        return "";
    });
    EXPECT_EQ(end.signal, 0);
    EXPECT_EQ(end.exitCode, 0);
    EXPECT_EQ(end.report, "");
    EXPECT_EQ(ReadBytes(OptionsFilePath(g)), saved);
}

}  // namespace
}  // namespace jq
