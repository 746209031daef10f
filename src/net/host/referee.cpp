#include "net/host/referee.h"


#include "core/combat.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "play/execute.h"
#include "play/turnloop.h"

namespace jq::net {

// The copy shows nothing; it reads the host's clock.
class HostReferee::Clock : public NullUi {
public:
    explicit Clock(GameState& host) : host_(host) {}
    ClockStamp Now() override { return host_.ui->Now(); }

private:
    GameState& host_;
};

HostReferee::HostReferee(GameState& host)
    : clock_(std::make_unique<Clock>(host)), copy_(std::make_unique<GameState>()) {
    copy_->ui = clock_.get();
    // Steps are carried out at once, without the animation.
    copy_->clickStepCount = 0;
    copy_->optionsRecord.soundOn = 0;
    NewRound();
}

HostReferee::~HostReferee() = default;

void HostReferee::ClearBoard() {
    GameState& c = *copy_;
    for (int s = 0; s < kSeats; ++s) {
        for (int k = 0; k < kPiecesPerSeat; ++k) {
            PieceRec& pc = c.pieces[s * kPiecesPerSeat + k];
            pc = PieceRec{};
            const BoardPoint& point = c.board->boardPoints[s * 30 + k];
            pc.x = pc.startX = point.gridX;
            pc.y = pc.startY = point.gridY;
        }
    }
    c.battleRunning = 0;
    ClearBattleSteps(c);
    for (MoveRec& m : c.moveHistory) m = MoveRec{};
    c.peaceAgreed = 0;
    c.curSeat = 0;
    c.turnDirection = 1;
}

void HostReferee::NewRound() {
    ClearBoard();
    phase_ = Phase::kWaiting;
}

void HostReferee::DeploymentBegins() {
    ClearBoard();
    phase_ = Phase::kDeploying;
}

void HostReferee::Deployed(const SwitchEndBody& b) {
    if (!IsValidSeat(b.seat)) return;
    for (int k = 0; k < kPiecesPerSeat; ++k) {
        PieceRec& pc = copy_->pieces[b.seat * kPiecesPerSeat + k];
        pc.code = b.codes[k];
        pc.alive = 1;
    }
}

void HostReferee::BattleBegins(const AllSwitchEndBody& b) {
    GameState& c = *copy_;
    c.netMoveTime = b.moveTime;
    c.curSeat = b.firstSeat;
    c.turnDirection = b.turnDirection;
    c.deployedPieces = c.pieces;
    c.battleRunning = 1;
    c.stepCount = 0;
    c.peaceAgreed = 0;
    c.turnStarted = c.lastActivity = c.ui->Now();
    phase_ = Phase::kBattle;
}

void HostReferee::EndsDrawn() {
    // Agreed, as every side marks it: the battle ends at once, also before
    // its first step.
    copy_->peaceAgreed = 1;
    if (BattleResultByRules(*copy_) >= 0) copy_->battleRunning = 0;
}

HostReferee::Verdict HostReferee::Judge(const MoveQzBody& b, bool timeUp, int timeoutsPassed) {
    GameState& c = *copy_;
    if (!Running()) return Verdict::kNoBattle;
    if (b.seat != c.curSeat) return Verdict::kNotToMove;
    const MoveCand m = MoveToView(b.move, b.seat, 0);
    if (m.mover == kNoPiece) {
        // The reader lets only the two special steps through without a mover.
        if (IsTimeoutMove(m.fromX, m.fromY, m.toX, m.toY)) {
            if (!timeUp) return Verdict::kTooEarly;
            if (timeoutsPassed >= kTimeoutsPassed) return Verdict::kHandOver;
        }
        return Verdict::kRelay;
    }
    if (!IsExecutableMove(c, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY)) return Verdict::kIllegal;
    if (m.outcome != MoveOutcome(c.pieces, m.mover, m.target)) return Verdict::kFalseOutcome;
    return Verdict::kRelay;
}

bool HostReferee::StepLimitReached(Verdict v) const {
    return v != Verdict::kNoBattle && v != Verdict::kNotToMove && copy_->stepCount >= kStepLimit;
}

void HostReferee::Apply(const MoveQzBody& b) {
    GameState& c = *copy_;
    const MoveCand m = MoveToView(b.move, b.seat, 0);
    ExecuteMove(c, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome);
    // The battle ends where the rules end it on every side: a team with
    // nothing left, or a draw already agreed. (The copy has no LAN of its own,
    // so the rules' step limit is 510 there; it ends the battle at kStepLimit
    // steps, before it.)
    if (BattleResultByRules(c) >= 0) c.battleRunning = 0;
}

std::string HostReferee::VerdictText(Verdict v, int seat) {
    const std::string who = Gb("位置") + std::to_string(seat + 1);
    switch (v) {
        case Verdict::kNoBattle: return who + Gb(" 的棋步不在战役中，此步作废！");
        case Verdict::kNotToMove: return who + Gb(" 未轮到走棋，此步作废！");
        case Verdict::kIllegal: return who + Gb(" 的棋步不合规则，此步作废！");
        case Verdict::kFalseOutcome: return who + Gb(" 的棋步胜负不符，此步作废！");
        case Verdict::kTooEarly: return who + Gb(" 的走棋时间未到，超时作废！");
        case Verdict::kEarlierTurn: return who + Gb(" 的棋步属于上一轮，此步作废！");
        case Verdict::kHandOver: return who + Gb(" 超时次数太多，由计算机接管！");
        case Verdict::kRelay: break;
    }
    return std::string();
}

}  // namespace jq::net
