// junqi-replay [--every] [--to N] FILE
//
// Opens a battle record (".kbt" or ".jqh") as the game opens it and prints
// the position after step N (by default the whole record), or with --every
// the position as opened and after every single step forward. Each
// position is one block on standard output:
//
//   step N seat S
//   piece P code C x X y Y alive A      (100 lines, P = 0..99)
//
// The game's boxes go to standard error. A file the game does not open
// prints its message there and nothing else; the exit status is then 1.
// Needs no display, reads no file but FILE and writes none.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "core/qipan.h"
#include "core/text.h"
#include "records/replay.h"

namespace {

// Boxes are answered with OK and written to standard error.
class ConsoleUi : public jq::NullUi {
public:
    int ShowMessage(const std::string& gbText, bool) override {
        std::fprintf(stderr, "%s\n", jq::Utf8FromGb(gbText).c_str());
        return 1;
    }
    void ShowStandardBox(const std::string& gbText, const std::string& gbCaption) override {
        std::fprintf(stderr, "%s: %s\n", jq::Utf8FromGb(gbCaption).c_str(), jq::Utf8FromGb(gbText).c_str());
    }
};

void PrintPosition(const jq::GameState& g, std::string& out) {
    char line[96];
    std::snprintf(line, sizeof line, "step %d seat %d\n", g.stepCount, g.curSeat);
    out += line;
    for (int p = 0; p < jq::kPieceCount; ++p) {
        const jq::PieceRec& r = g.pieces[p];
        std::snprintf(line, sizeof line, "piece %d code %d x %d y %d alive %d\n", p, r.code, r.x, r.y,
                      r.alive == 1 ? 1 : 0);
        out += line;
    }
}

int Usage() {
    std::fprintf(stderr, "usage: junqi-replay [--every] [--to N] FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    bool every = false;
    long to = -1;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--every") {
            every = true;
        } else if (arg == "--to" && i + 1 < argc) {
            char* end = nullptr;
            to = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || to < 0) return Usage();
        } else if (file.empty() && !(arg.size() > 1 && arg[0] == '-')) {
            file = arg;
        } else {
            return Usage();
        }
    }
    if (file.empty()) return Usage();

    ConsoleUi ui;
    auto game = std::make_unique<jq::GameState>();
    jq::GameState& g = *game;
    g.ui = &ui;
    if (jq::OpenBattleRecord(g, file) != jq::OpenResult::kOpened) return 1;
    const int target = to < 0 ? jq::RecordLength(g) : static_cast<int>(std::min<long>(to, jq::kStepSlots));

    std::string out;
    if (every) {
        PrintPosition(g, out);
        while (g.stepCount < target) {
            const int before = g.stepCount;
            g.clickStepCount = 1;
            jq::ReplayNextSteps(g);
            if (g.stepCount == before) break;  // the end of the record
            PrintPosition(g, out);
        }
    } else {
        if (target > 0) {
            jq::GotoReplayStart(g);
            jq::ReplayToStep(g, target);
        }
        PrintPosition(g, out);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}
