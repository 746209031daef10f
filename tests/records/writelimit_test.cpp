#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
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

// Runs `work` in a child process set up as the game and its tools start
// (that their start-ups do so is checked through a real program below),
// whose files may not grow beyond `limit` bytes. Returns the child's report
// (empty when all was well), and how it ended if a signal ended it. The
// report comes back through a pipe, which no size limit applies to.
std::string UnderSizeLimit(rlim_t limit, const std::function<std::string()>& work) {
    int fds[2];
    if (::pipe(fds) != 0) return "no pipe";
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        LetWritesFailPastSizeLimit();
        const struct rlimit small = {limit, limit};
        const std::string report = ::setrlimit(RLIMIT_FSIZE, &small) == 0 ? work() : "no limit set";
        const ssize_t written = ::write(fds[1], report.data(), report.size());
        ::_exit(written < 0 ? 1 : 0);  // no destructors: the scratch folder belongs to the parent
    }
    ::close(fds[1]);
    std::string report;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) report += "ended by signal " + std::to_string(WTERMSIG(status));
    return report;
}

// A program run as a child process whose files may not grow beyond `limit`
// bytes, as a shell's "ulimit -f" starts it: the size-limit signal at its
// default, so only the program's own start-up can turn a write past the
// limit into a failed write. Its output comes back through a pipe, which no
// size limit applies to.
struct ProgramRun {
    int signal = 0;  // the signal that ended it, 0 when it exited
    int exit = -1;
    std::string output;  // standard output and error
};

ProgramRun RunUnderSizeLimit(rlim_t limit, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ProgramRun run;
    int fds[2];
    if (::pipe(fds) != 0) return run;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (::dup2(fds[1], 1) < 0 || ::dup2(fds[1], 2) < 0) ::_exit(126);
        ::signal(SIGXFSZ, SIG_DFL);
        const struct rlimit small = {limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0) ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) run.output.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return run;
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    if (WIFEXITED(status)) run.exit = WEXITSTATUS(status);
    return run;
}

// Under a file-size limit a save fails as an error and the process goes on:
// the reload command (the modifier click on "调出战役") and the options'
// save each show the save warning once; the battle stays on the board, the
// options keep their old file, and no temporary file stays behind.
TEST(WriteLimit, SavesFailWithoutEndingTheProcess) {
    const std::vector<uint8_t> older = PlayRandomBattle(4, 7, 90).kbt;
    struct Case {
        const char* what;
        rlim_t limit;
        bool olderFile;
        bool options;
    };
    const Case cases[] = {
        {"reload, nothing may be written", 0, false, false},
        {"reload, an older default.kbt stays", 0, true, false},
        {"reload, the record cut short after 512 bytes", 512, true, false},
        {"options", 0, false, true},
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
        ASSERT_TRUE(SaveOptions(g));
        const std::vector<uint8_t> options = ReadBytes(OptionsFilePath(g));
        const std::vector<std::string> files = FolderEntries(t.folder);
        t.ui.boxes.clear();

        const std::string report = UnderSizeLimit(c.limit, [&] {
            std::string wrong;
            if (c.options) {
                g.optionsRecord.soundOn ^= 1;
                if (SaveOptions(g)) wrong += "the options were saved; ";
            } else {
                g.clickStepCount = 2;
                ReloadCurrentBattle(g);
                if (g.stepCount != 20 || g.battleFileName != t.Path("a.kbt")) wrong += "the board changed; ";
            }
            if (t.ui.boxes.size() != 1 || t.ui.boxes[0].text + t.ui.boxes[0].caption != Gb("保存结果文件不成功！！！警告"))
                wrong += "not the one save warning; ";
            if (FolderEntries(t.folder) != files) {
                wrong += "files now:";
                for (const std::string& name : FolderEntries(t.folder)) wrong += " " + name;
            }
            return wrong;
        });
        EXPECT_EQ(report, "");
        EXPECT_EQ(ReadBytes(t.Path("default.kbt")), c.olderFile ? older : std::vector<uint8_t>{});
        EXPECT_EQ(ReadBytes(OptionsFilePath(g)), options);
    }
}

// The same through a real program's start-up: junqi-selfplay, whose battle
// record cannot be written (the limit is below a record's head), ends by
// itself with exit status 1 and the failure in its report, not by the
// size-limit signal, and leaves no file in its record folder.
TEST(WriteLimit, SelfPlayToolReportsTheUnwrittenRecord) {
    test::ScratchFolder dir;
    std::filesystem::create_directory(dir.Path("data"));
    const ProgramRun run = RunUnderSizeLimit(200, {JQ_BINARY_DIR "/bin/junqi-selfplay", "--battles", "1", "--seed", "4",
                                                   "--out", dir.Path("out"), "--data", dir.Path("data")});
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exit, 1);
    EXPECT_NE(run.output.find(": the record was not written"), std::string::npos) << run.output;
    EXPECT_EQ(FolderEntries(dir.Path("out")), std::vector<std::string>{});
}

}  // namespace
}  // namespace jq
