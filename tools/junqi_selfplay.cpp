// Plays battles with the computer in all four seats, without a window, and
// reports how long the computer thinks per move.
//
//   junqi-selfplay --battles N --seed S --levels L0,L1,L2,L3 --out DIR
//                  [--data DIR]
//
// Each battle is written to DIR/battle-NNN.kbt (when --out is given); one
// line per battle (steps, result, ms), then the thinking time per move for
// each level (median, p95, max; wall clock and the worker's processor time)
// and the results. --data names the folder with "zffile" and "statfile"
// (default: the current folder); the battles start from the options of a new
// game, the folder's "oprec" when it has one. The exit status is 1 when any
// battle broke a rule.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ai/selfplay.h"
#include "core/datafiles.h"

namespace {

void Usage() {
    std::fprintf(stderr,
                 "usage: junqi-selfplay [--battles N] [--seed S] [--levels L0,L1,L2,L3] [--out DIR] [--data DIR]\n");
}

bool ParseLevels(const std::string& text, int levels[4]) {
    std::stringstream in(text);
    std::string item;
    int n = 0;
    while (std::getline(in, item, ',')) {
        if (n >= 4 || item.empty()) return false;
        char* end = nullptr;
        const long v = std::strtol(item.c_str(), &end, 10);
        if (*end != '\0' || v < 0 || v > 2) return false;
        levels[n++] = static_cast<int>(v);
    }
    if (n == 1)
        for (int i = 1; i < 4; ++i) levels[i] = levels[0];
    return n == 1 || n == 4;
}

bool ParseNumber(const char* text, long lo, long hi, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return *text != '\0' && *end == '\0' && out >= lo && out <= hi;
}

double Percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const size_t i = static_cast<size_t>(q * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

const char* ResultText(int r) {
    switch (r) {
        case 0: return "won";
        case 1: return "lost";
        case 2: return "draw";
        default: return "none";
    }
}

}  // namespace

int main(int argc, char** argv) {
    jq::LetWritesFailPastSizeLimit();
    long battles = 1;
    long seed = 1;
    int levels[4] = {0, 0, 0, 0};
    std::string outDir;
    std::string dataDir;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--battles" && hasValue) {
            if (!ParseNumber(argv[++i], 1, 100000, battles)) return Usage(), 2;
        } else if (arg == "--seed" && hasValue) {
            if (!ParseNumber(argv[++i], 0, 4294967295L, seed)) return Usage(), 2;
        } else if (arg == "--levels" && hasValue) {
            if (!ParseLevels(argv[++i], levels)) return Usage(), 2;
        } else if (arg == "--out" && hasValue) {
            outDir = argv[++i];
        } else if (arg == "--data" && hasValue) {
            dataDir = argv[++i];
        } else {
            Usage();
            return 2;
        }
    }
    if (!outDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(outDir, ec);
        if (ec) {
            std::fprintf(stderr, "cannot create %s: %s\n", outDir.c_str(), ec.message().c_str());
            return 2;
        }
    }

    std::map<int, std::vector<double>> times;
    std::map<int, std::vector<double>> cpuTimes;
    int counts[3] = {};
    int failures = 0;
    for (long b = 0; b < battles; ++b) {
        jq::SelfPlayOptions o;
        for (int s = 0; s < 4; ++s) o.levels[s] = levels[s];
        o.seed = static_cast<uint32_t>(seed + b);
        o.dataFolder = dataDir;
        if (!outDir.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "battle-%03ld.kbt", b + 1);
            o.recordPath = (std::filesystem::path(outDir) / name).string();
        }
        const jq::SelfPlayResult r = jq::PlaySelfBattle(o);
        if (b == 0)
            std::printf("options: %s, style sliders sf1 %d, sf2 %d, sf3 %d\n",
                        r.optionsFromFile ? "oprec of the data folder" : "a new record", r.styleSliders[0],
                        r.styleSliders[1], r.styleSliders[2]);
        for (const jq::SelfPlayMove& m : r.moves) {
            times[m.level].push_back(m.ms);
            cpuTimes[m.level].push_back(m.cpuMs);
        }
        if (r.result >= 0 && r.result <= 2) ++counts[r.result];
        std::printf("battle %03ld: steps %d, result %s, %.0f ms", b + 1, r.steps, ResultText(r.result), r.ms);
        if (!r.failure.empty()) {
            ++failures;
            std::printf(", FAILED: %s", r.failure.c_str());
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    for (const auto& [level, v] : times) {
        const std::vector<double>& cpu = cpuTimes[level];
        std::printf("level %d: %zu moves, median %.2f ms, p95 %.2f ms, max %.2f ms"
                    " (processor time: median %.2f ms, p95 %.2f ms, max %.2f ms)\n",
                    level, v.size(), Percentile(v, 0.5), Percentile(v, 0.95), *std::max_element(v.begin(), v.end()),
                    Percentile(cpu, 0.5), Percentile(cpu, 0.95), *std::max_element(cpu.begin(), cpu.end()));
    }
    std::printf("results (seats 0 and 2): %d won, %d lost, %d draw; %d failed\n", counts[0], counts[1], counts[2],
                failures);
    return failures == 0 ? 0 : 1;
}
