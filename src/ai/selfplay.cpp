#include "ai/selfplay.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>

#include "ai/aithread.h"
#include "ai/movegen.h"
#include "core/options.h"
#include "core/qipan.h"
#include "formations/newbattle.h"
#include "play/turnloop.h"
#include "records/battlefile.h"

namespace jq {

namespace {

// A surrounding that shows nothing, answers every question with OK and
// keeps the battle's result.
class HeadlessUi : public NullUi {
public:
    ClockStamp Now() override { return MonotonicNow(); }
    void ShowBattleResult(int result, bool) override { battleResult = result; }
    int battleResult = -1;
};

// The hand-overs of the worker, waiting for the driving thread.
class Mailbox {
public:
    void Post(const MoveCand& move, uint64_t token) {
        std::lock_guard lock(mutex_);
        items_.push_back({move, token});
        arrived_.notify_all();
    }
    bool Take(MoveCand& move, uint64_t& token, int waitSeconds) {
        std::unique_lock lock(mutex_);
        if (!arrived_.wait_for(lock, std::chrono::seconds(waitSeconds), [this] { return !items_.empty(); }))
            return false;
        move = items_.front().move;
        token = items_.front().token;
        items_.pop_front();
        return true;
    }

private:
    struct Item {
        MoveCand move;
        uint64_t token;
    };
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Item> items_;
};

bool FixedPiece(int piece, const PieceRec& pc) {
    const int slot = piece % kPiecesPerSeat;
    return pc.code == kFlag || pc.code == kMine || slot == 21 || slot == 23;
}

// The rules every position must keep; empty when it does.
std::string CheckPosition(const GameState& g) {
    PieceGrid seen;
    for (auto& col : seen.cell)
        for (auto& c : col) c = kNoPiece;
    for (int i = 0; i < kPieceCount; ++i) {
        const PieceRec& pc = g.pieces[i];
        for (const auto& row : pc.beliefs)
            for (float w : row)
                if (!std::isfinite(w)) return "a belief weight of piece " + std::to_string(i) + " is not a number";
        if (FixedPiece(i, pc) && (pc.x != pc.startX || pc.y != pc.startY))
            return "piece " + std::to_string(i) + " may never move but did";
        if (pc.alive != 1) continue;
        if (PointIndexAt(*g.board, pc.x, pc.y) < 0) return "live piece " + std::to_string(i) + " off the board";
        int& cell = seen.cell[pc.x - kGridMin][pc.y - kGridMin];
        if (cell != kNoPiece)
            return "pieces " + std::to_string(cell) + " and " + std::to_string(i) + " share a point";
        cell = i;
    }
    return {};
}

bool SameMove(const MoveCand& a, const MoveCand& b) {
    return a.mover == b.mover && a.target == b.target && a.fromX == b.fromX && a.fromY == b.fromY &&
           a.toX == b.toX && a.toY == b.toY && a.outcome == b.outcome;
}

// A give-up the rules made, which moves no piece.
bool IsGiveUp(const StepRec& r) { return r.mover == kNoPiece && IsGiveUpMove(r); }

}  // namespace

SelfPlayResult PlaySelfBattle(const SelfPlayOptions& options) {
    SelfPlayResult out;
    const auto started = std::chrono::steady_clock::now();
    auto ui = std::make_unique<HeadlessUi>();
    auto game = std::make_unique<GameState>();
    GameState& g = *game;
    g.ui = ui.get();
    g.appFolder = options.dataFolder;
    if (!g.appFolder.empty() && g.appFolder.back() != '/') g.appFolder += '/';
    // The options a new game starts from: the data folder's "oprec" when it
    // has one, else a fresh record (neutral style).
    LoadOptionsAtStartup(g);
    out.optionsFromFile = std::filesystem::is_regular_file(OptionsFilePath(g));
    out.styleSliders[0] = g.optionsRecord.styleAttack;
    out.styleSliders[1] = g.optionsRecord.styleCaution;
    out.styleSliders[2] = g.optionsRecord.styleDefence;
    g.optionsRecord.recordLatestFormations = 0;
    g.mainRandom.Seed(options.seed);

    Mailbox mailbox;
    AIDominate worker(g, [&mailbox](MoveCand move, uint64_t token) { mailbox.Post(move, token); });
    worker.SetSeed(options.seed);
    g.computer = &worker;

    NewBattleAgainstComputer(g);
    // The deployment is accepted as dealt; the computer plays every seat.
    g.deployPhase = 0;
    g.deployedPieces = g.pieces;
    for (int& c : g.computerSeat) c = 1;
    g.netMinMoveInterval = 0;

    auto legal = std::make_unique<MoveGenWork>(*g.board);
    auto fail = [&](const std::string& why) {
        if (out.failure.empty()) out.failure = "step " + std::to_string(g.stepCount) + ": " + why;
    };
    if (std::string bad = CheckPosition(g); !bad.empty()) fail(bad);

    int quietTicks = 0;
    while (g.battleRunning != 0 && out.failure.empty()) {
        const int seat = g.curSeat;
        const int level = IsValidSeat(seat) ? options.levels[seat] : 0;
        g.optionsRecord.aiLevel = level;
        const int stepsBefore = g.stepCount;
        TickMainTimer(g);
        if (g.battleRunning == 0) break;
        if (worker.IsIdle()) {
            // A tick may pass without a move (a seat given up in the tick);
            // many in a row mean the loop is stuck.
            if (g.stepCount == stepsBefore && ++quietTicks > 8) fail("no computer move was started");
            continue;
        }
        quietTicks = 0;
        const int count = GenerateMoves(*legal, g.pieces, g.curSeat);
        MoveCand move;
        uint64_t token = 0;
        if (!mailbox.Take(move, token, options.waitSeconds)) {
            fail("the computer player did not answer");
            break;
        }
        out.moves.push_back(SelfPlayMove{level, worker.LastThinkMs(), worker.LastThinkCpuMs()});
        const int before = g.stepCount;
        ExecuteComputerMove(g, move, token);
        if (g.stepCount == before && before < kMaxSteps) {
            fail("the computer's move was not carried out");
            break;
        }
        const StepRec& done = g.stepRecords[before < kStepSlots ? before : kStepSlots - 1];
        if (count == 0) {
            if (!IsGiveUp(done)) fail("a seat without a move did not give up");
        } else {
            bool found = false;
            for (int i = 0; i < count && !found; ++i) found = SameMove(legal->list[i], move);
            if (!found) fail("the computer's move was not one of its legal moves");
            // A refused move would have become a give-up.
            else if (before < kMaxSteps && !(done == StepRec{move.mover, move.target, move.fromX, move.fromY, move.toX, move.toY,
                                       move.outcome}))
                fail("the computer's move was refused");
        }
        if (std::string bad = CheckPosition(g); !bad.empty()) fail(bad);
    }
    worker.Shutdown();
    g.computer = nullptr;

    out.steps = g.stepCount;
    out.result = ui->battleResult;
    for (int i = 0; i < g.stepCount && i < kStepSlots; ++i) {
        const StepRec& r = g.stepRecords[i];
        for (int32_t v : {r.mover, r.target, r.fromX, r.fromY, r.toX, r.toY, r.outcome}) out.stepRecords.push_back(v);
    }
    if (out.failure.empty() && out.result < 0) fail("the battle ended without a result");
    if (!options.recordPath.empty() && !SaveBattleFile(g, options.recordPath)) fail("the record was not written");
    out.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    return out;
}

}  // namespace jq
