// Makes the data files the game ships in its working folder:
//   statfile   the piece statistics, counted by the game's own statistics
//              builder over a batch of self-play battle records;
//   zffile     the formation database, studied from the same records: every
//              recorded seat but seat 0 gives one formation with score 0,
//              files in name order, until more than 980 are collected.
//
// Usage: make_data [--battles N] [--seed S] [--level L] [--jobs J]
//                  [--out DIR] [--records DIR]
//   --battles  self-play battles to play (default 320)
//   --seed     battle i (from 0) is played with seed S + i (default 1)
//   --level    level of all four computer seats, 0..2 (default 0)
//   --jobs     battles played at the same time (default: processor count)
//   --out      where statfile and zffile are written (default assets/work)
//   --records  keep the battle records in this folder (default: a scratch
//              folder that is removed at the end)
// The battles start without a database, so every seat is dealt a legal
// formation by the game's generator seeded with the battle's seed; the same
// options give the same files, whatever the number of jobs. Exit status 1
// when a battle broke a rule or anything could not be built or written.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ai/selfplay.h"
#include "core/gameui.h"
#include "core/qipan.h"
#include "core/text.h"
#include "formations/formation.h"
#include "formations/piecestats.h"
#include "formations/study.h"
#include "formations/zffile.h"
#include "records/battlefile.h"
#include "core/datafiles.h"

namespace fs = std::filesystem;

namespace {

struct Options {
    long battles = 320;
    long seed = 1;
    int level = 0;
    long jobs = 0;
    std::string out = "assets/work";
    std::string records;
};

void Usage() {
    std::fprintf(stderr,
                 "usage: make_data [--battles N] [--seed S] [--level L] [--jobs J] [--out DIR] [--records DIR]\n");
}

bool ParseNumber(const char* text, long lo, long hi, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return *text != '\0' && *end == '\0' && out >= lo && out <= hi;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        long n = 0;
        if (arg == "--battles") {
            if (!ParseNumber(value, 1, 9999, o.battles)) return false;
        } else if (arg == "--seed") {
            if (!ParseNumber(value, 0, 4294967295L, o.seed)) return false;
        } else if (arg == "--level") {
            if (!ParseNumber(value, 0, 2, n)) return false;
            o.level = static_cast<int>(n);
        } else if (arg == "--jobs") {
            if (!ParseNumber(value, 1, 256, o.jobs)) return false;
        } else if (arg == "--out") {
            o.out = value;
        } else if (arg == "--records") {
            o.records = value;
        } else {
            return false;
        }
    }
    return !o.out.empty();
}

// Shows every box on the terminal and remembers whether anything but the
// builders' closing message came up.
class ConsoleUi : public jq::NullUi {
public:
    int ShowMessage(const std::string& gbText, bool) override {
        std::fprintf(stderr, "message: %s\n", jq::Utf8FromGb(gbText).c_str());
        unexpected = true;
        return 1;
    }
    void ShowStandardBox(const std::string& gbText, const std::string& gbCaption) override {
        std::printf("[%s] %s\n", jq::Utf8FromGb(gbCaption).c_str(), jq::Utf8FromGb(gbText).c_str());
        if (gbCaption != jq::Gb("确认")) unexpected = true;
    }
    bool unexpected = false;
};

// A scratch folder, removed when it goes out of scope.
struct ScratchFolder {
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "make_data-XXXXXX").string();
        if (const char* made = ::mkdtemp(pattern.data())) path = made;
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!path.empty()) fs::remove_all(path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    std::string path;
};

std::string RecordName(long index) {
    char name[32];
    std::snprintf(name, sizeof name, "battle-%04ld.kbt", index + 1);
    return name;
}

struct BattleOutcome {
    int steps = 0;
    int result = -1;
    std::string failure;
};

// Plays the battles on `jobs` threads; each battle owns its game, worker
// and generators, so the records do not depend on the scheduling.
std::vector<BattleOutcome> PlayBattles(const Options& o, const std::string& recordFolder,
                                       const std::string& emptyFolder) {
    std::vector<BattleOutcome> outcomes(static_cast<size_t>(o.battles));
    std::atomic<long> next{0};
    std::atomic<long> done{0};
    std::mutex printing;
    auto work = [&] {
        for (long b = next++; b < o.battles; b = next++) {
            jq::SelfPlayOptions so;
            for (int& l : so.levels) l = o.level;
            so.seed = static_cast<uint32_t>(o.seed + b);
            so.dataFolder = emptyFolder;
            so.recordPath = jq::InFolder(recordFolder, RecordName(b));
            const jq::SelfPlayResult r = jq::PlaySelfBattle(so);
            outcomes[static_cast<size_t>(b)] = BattleOutcome{r.steps, r.result, r.failure};
            const long finished = ++done;
            std::lock_guard lock(printing);
            std::fprintf(stderr, "\rbattles played: %ld/%ld", finished, o.battles);
            std::fflush(stderr);
        }
    };
    const long jobs = std::min(o.jobs, o.battles);
    std::vector<std::thread> threads;
    for (long j = 0; j < jobs; ++j) threads.emplace_back(work);
    for (std::thread& t : threads) t.join();
    std::fprintf(stderr, "\n");
    return outcomes;
}

// Reads both files back as the game does and checks every formation.
bool CheckOutputs(const std::string& statPath, const std::string& zfPath) {
    const auto stat = jq::ReadFileBytes(statPath, jq::kStatFileBytes + 1);
    auto tables = std::make_unique<jq::PieceStatTables>();
    if (!stat || stat->size() != static_cast<size_t>(jq::kStatFileBytes) ||
        jq::DecodePieceStats(stat->data(), stat->size(), *tables) != jq::StatError::kNone) {
        std::fprintf(stderr, "%s does not read back\n", statPath.c_str());
        return false;
    }
    const jq::ZfDecodeResult zf = jq::ReadZfFile(zfPath);
    if (zf.error != jq::ZfError::kNone) {
        std::fprintf(stderr, "%s does not read back\n", zfPath.c_str());
        return false;
    }
    for (int n = 0; n < zf.db.count; ++n) {
        if (!jq::IsLegalFormation(zf.db.slots[n].codes)) {
            std::fprintf(stderr, "%s: record %d is no legal formation\n", zfPath.c_str(), n);
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    jq::LetWritesFailPastSizeLimit();
    Options o;
    if (!ParseOptions(argc, argv, o)) {
        Usage();
        return 2;
    }
    if (o.jobs == 0) o.jobs = std::max(1u, std::thread::hardware_concurrency());

    ScratchFolder scratch;
    if (scratch.path.empty()) {
        std::fprintf(stderr, "cannot make a scratch folder\n");
        return 1;
    }
    // The statistics builder reads the records from the working folder's
    // "kbtfiles"; the scratch folder plays that part.
    const std::string work = scratch.path + "/";
    const std::string kbtFolder = work + jq::kBattleRecordFolder;
    const std::string emptyFolder = work + "nodata/";
    std::error_code ec;
    fs::create_directories(kbtFolder, ec);
    fs::create_directories(emptyFolder, ec);
    fs::create_directories(o.out, ec);
    if (ec) {
        std::fprintf(stderr, "cannot create %s: %s\n", o.out.c_str(), ec.message().c_str());
        return 1;
    }

    const auto started = std::chrono::steady_clock::now();
    const std::vector<BattleOutcome> outcomes = PlayBattles(o, kbtFolder, emptyFolder);
    int counts[3] = {};
    int failures = 0;
    for (size_t b = 0; b < outcomes.size(); ++b) {
        const BattleOutcome& r = outcomes[b];
        if (r.result >= 0 && r.result <= 2) ++counts[r.result];
        if (!r.failure.empty()) {
            ++failures;
            std::fprintf(stderr, "battle %zu FAILED: %s\n", b + 1, r.failure.c_str());
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%ld battles at level %d, seeds %ld..%ld, %.0f s: %d won, %d lost, %d draw (seats 0 and 2)\n",
                o.battles, o.level, o.seed, o.seed + o.battles - 1, seconds, counts[0], counts[1], counts[2]);
    if (failures > 0) {
        std::fprintf(stderr, "%d battles broke a rule; nothing written\n", failures);
        return 1;
    }

    ConsoleUi ui;
    auto game = std::make_unique<jq::GameState>();
    game->ui = &ui;
    game->appFolder = work;
    if (!jq::BuildPieceStatsFile(*game)) return 1;
    const jq::StudyResult study = jq::StudyBattleFormations(ui, kbtFolder);
    std::printf("formations studied: %d from %d files\n", study.db->count, study.files);
    if (ui.unexpected || study.db->count <= 0) {
        std::fprintf(stderr, "the records did not build cleanly; nothing written\n");
        return 1;
    }

    const std::string statOut = jq::InFolder(o.out, jq::kStatFileName);
    const std::string zfOut = jq::InFolder(o.out, jq::kZfFileName);
    const auto stat = jq::ReadFileBytes(jq::PieceStatsPath(*game), jq::kStatFileBytes + 1);
    if (!stat || !jq::ReplaceFile(statOut, *stat) || !jq::WriteZfFile(zfOut, *study.db)) {
        std::fprintf(stderr, "cannot write into %s\n", o.out.c_str());
        return 1;
    }
    if (!CheckOutputs(statOut, zfOut)) return 1;
    std::printf("written: %s, %s\n", statOut.c_str(), zfOut.c_str());

    if (!o.records.empty()) {
        fs::create_directories(o.records, ec);
        for (const std::string& path : jq::ListBattleRecordFiles(kbtFolder)) {
            const fs::path from(path);
            if (ec || !fs::copy_file(from, fs::path(o.records) / from.filename(), fs::copy_options::overwrite_existing,
                                     ec)) {
                std::fprintf(stderr, "cannot keep the records in %s: %s\n", o.records.c_str(), ec.message().c_str());
                return 1;
            }
        }
    }
    return 0;
}
