#include "ai/aithread.h"

#include <time.h>

#include <chrono>
#include <string>

#include "ai/choose0.h"
#include "core/qipan.h"
#include "play/execute.h"
#include "net/lan.h"

namespace jq {

namespace {

double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

AIDominate::AIDominate(GameState& game, HandOverFn handOver)
    : game_(game),
      handOver_(std::move(handOver)),
      work_(std::make_unique<AiWorkspace>(*game.board)),
      job_(std::make_unique<AiSnapshot>()) {
    work_->abortRequested = &abortRequested;
    thread_ = std::thread([this] { Run(); });
}

AIDominate::~AIDominate() { Shutdown(); }

bool AIDominate::IsIdle() const {
    std::lock_guard lock(mutex_);
    return phase_ == Phase::kIdle;
}

void AIDominate::Resume() {
    std::lock_guard lock(mutex_);
    if (phase_ != Phase::kIdle || exit_) return;
    TakeSnapshot(game_, *job_);
    jobSeat_ = job_->curSeat;
    jobStepCount_ = job_->stepCount;
    if (job_->aiLevel != 0 && game_.ui != nullptr) game_.lastActivity = game_.ui->Now();
    jobToken_ = ++token_;
    abortRequested.store(0);
    phase_ = Phase::kThinking;
    changed_.notify_all();
}

void AIDominate::Stop() {
    std::unique_lock lock(mutex_);
    if (phase_ == Phase::kIdle && !workerBusy_) return;
    abortRequested.store(1);
    changed_.wait(lock, [this] { return !workerBusy_; });
    // Whatever the worker found is void now.
    ++token_;
    if (phase_ == Phase::kThinking || phase_ == Phase::kHandOver) phase_ = Phase::kIdle;
    abortRequested.store(0);
}

void AIDominate::Shutdown() {
    Stop();
    {
        std::lock_guard lock(mutex_);
        exit_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
}

bool AIDominate::SetSeed(uint32_t seed) {
    std::lock_guard lock(mutex_);
    if (phase_ == Phase::kThinking || workerBusy_) return false;
    work_->ownRandom.Seed(seed);
    return true;
}

AIDominate::HandOverInfo AIDominate::ReceiveHandOver(uint64_t token) {
    std::lock_guard lock(mutex_);
    HandOverInfo info;
    if (token != token_ || phase_ != Phase::kHandOver) return info;
    info.moveCount = resultCount_;
    for (int i = 0; i < 3; ++i) info.phaseTimes[i] = resultTimes_[i];
    info.seat = jobSeat_;
    info.stepCount = jobStepCount_;
    if (abortRequested.load() != 0) {
        info.arrival = Arrival::kAborted;
        phase_ = Phase::kIdle;
        ++token_;
        return info;
    }
    info.arrival = Arrival::kCurrent;
    phase_ = Phase::kExecuting;
    return info;
}

void AIDominate::FinishHandOver(uint64_t) {
    std::lock_guard lock(mutex_);
    if (phase_ == Phase::kExecuting) phase_ = Phase::kIdle;
}

double AIDominate::LastThinkMs() const {
    std::lock_guard lock(mutex_);
    return lastThinkMs_;
}

double AIDominate::LastThinkCpuMs() const {
    std::lock_guard lock(mutex_);
    return lastThinkCpuMs_;
}

void AIDominate::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return exit_ || (phase_ == Phase::kThinking && jobToken_ != startedToken_); });
        if (exit_) return;
        const uint64_t token = jobToken_;
        startedToken_ = token;
        workerBusy_ = true;
        work_->game = *job_;
        if (bombValueKept_) work_->game.pieceValues[2] = bombValue_;
        lock.unlock();

        const auto started = std::chrono::steady_clock::now();
        const double cpuStarted = ThreadCpuMs();
        const bool finished = ChooseMove(*work_);
        const double cpuMs = ThreadCpuMs() - cpuStarted;
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
        const MoveCand chosen = work_->aiMoveList.list[0];

        lock.lock();
        bombValue_ = work_->game.pieceValues[2];
        bombValueKept_ = true;
        const bool current = finished && abortRequested.load() == 0 && token == token_ && phase_ == Phase::kThinking;
        if (!current) {
            workerBusy_ = false;
            changed_.notify_all();
            continue;
        }
        lastThinkMs_ = ms;
        lastThinkCpuMs_ = cpuMs;
        resultCount_ = work_->aiMoveList.count;
        for (int i = 0; i < 3; ++i) resultTimes_[i] = work_->aiPhaseTimes[i];
        phase_ = Phase::kHandOver;
        lock.unlock();

        if (handOver_) handOver_(chosen, token);

        lock.lock();
        workerBusy_ = false;
        changed_.notify_all();
    }
}

MoveCand MoveInMoverView(const MoveCand& move) {
    MoveCand c = move;
    const bool giveUp = IsGiveUpMove(c.fromX, c.fromY, c.toX, c.toY);
    if (c.mover == kNoPiece || giveUp) {
        c.outcome = 0;
        return c;
    }
    if (!IsValidPiece(c.mover)) return c;
    // The mover's seat is the turning point for the mover and the target
    // alike.
    const int seat = SeatOf(c.mover);
    c.mover %= kPiecesPerSeat;
    if (c.target >= 0 && IsValidPiece(c.target)) {
        const int d = (SeatOf(c.target) - seat + kSeats) % kSeats;
        c.target = d * kPiecesPerSeat + c.target % kPiecesPerSeat;
    }
    const GridPoint from = TurnGridPoint(GridPoint{c.fromX, c.fromY}, seat);
    const GridPoint to = TurnGridPoint(GridPoint{c.toX, c.toY}, seat);
    c.fromX = from.x;
    c.fromY = from.y;
    c.toX = to.x;
    c.toY = to.y;
    return c;
}

void ExecuteComputerMove(GameState& g, const MoveCand& move, uint64_t token) {
    auto* worker = dynamic_cast<AIDominate*>(g.computer);
    if (worker == nullptr) return;
    const AIDominate::HandOverInfo info = worker->ReceiveHandOver(token);
    if (info.arrival == AIDominate::Arrival::kStale) return;
    struct Finish {
        AIDominate* w;
        uint64_t token;
        ~Finish() { w->FinishHandOver(token); }
    } finish{worker, token};

    // Chosen for a position that is gone, or for a LAN battle that has
    // ended since: nothing of it applies. A LAN host may start the computer
    // again for the seat to move.
    const bool lanBattleOver = g.netConnected != 0 && (g.battleRunning == 0 || g.netState != net::kNetBattle);
    if (info.seat != g.curSeat || info.stepCount != g.stepCount || lanBattleOver) {
        if (g.netConnected != 0) g.aiMoverGuard = -1;
        return;
    }

    for (int i = 0; i < 3; ++i) g.aiPhaseTimes[i] = info.phaseTimes[i];
    g.ui->SetDiagnosticLabel(1, std::to_string(g.aiPhaseTimes[0].seconds - g.lastActivity.seconds));
    g.ui->SetDiagnosticLabel(2, std::to_string(g.aiPhaseTimes[1].seconds - g.aiPhaseTimes[0].seconds));
    g.ui->SetDiagnosticLabel(3, std::to_string(g.aiPhaseTimes[2].seconds - g.aiPhaseTimes[1].seconds));
    g.ui->SetDiagnosticLabel(4, std::to_string(g.zfChosenIndex[0]) + "=" + std::to_string(g.zfChosenIndex[2]));

    MoveCand slot0 = move;
    // A computer seat without a move gives up.
    if (info.moveCount <= 0) MakeGiveUpMove(slot0, g.curSeat);
    g.netMoveRecord = slot0;
    if (info.arrival != AIDominate::Arrival::kCurrent) return;

    if (g.netConnected == 0) {
        bool done = false;
        if (info.moveCount > 0) {
            // Only a move of the seat to move can stand for its turn.
            const bool ownMove = IsValidPiece(slot0.mover) && SeatOf(slot0.mover) == g.curSeat;
            done = ownMove && ExecuteMove(g, slot0.mover, slot0.target, slot0.fromX, slot0.fromY, slot0.toX,
                                          slot0.toY, slot0.outcome) == MoveResult::kDone;
            if (!done) {
                // The board refuses it. Asked again, the worker would find
                // the same move in the same position, so the seat gives up.
                MakeGiveUpMove(slot0, g.curSeat);
                g.netMoveRecord = slot0;
            }
        }
        if (!done) ExecuteMove(g, slot0.mover, slot0.target, slot0.fromX, slot0.fromY, slot0.toX, slot0.toY, slot0.outcome);
        return;
    }
    // LAN battle: the move travels in the mover's own view and is carried
    // out when the host relays it back. Only a move of the seat to move can
    // stand for its turn.
    if (info.moveCount > 0 && !(IsValidPiece(slot0.mover) && SeatOf(slot0.mover) == g.curSeat)) {
        MakeGiveUpMove(slot0, g.curSeat);
    }
    g.netMoveRecord = MoveInMoverView(slot0);
    net::SendNetMessage(g, "MoveQz", g.curSeat);
}

}  // namespace jq
