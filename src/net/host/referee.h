// The host's own copy of the LAN battle, kept exactly in the order the relay
// sends the packets out: every deployment, the battle start, every step and
// the end by the rules, by a draw or by the step limit. The relay asks it
// about each move before it relays the move, and builds "JoinLast" from it,
// so a side that applies everything it receives never gets a packet it
// cannot apply and always joins at the point the others stand.
//
// The copy is seen as the host sees the board (seat 0 at the bottom, which
// is the absolute view). It has no screen; its clock is the host's.
#pragma once

#include <memory>
#include <string>

#include "core/qipan.h"
#include "net/wire/packet.h"

namespace jq::net {

class HostReferee {
public:
    // Why a "MoveQz" is not relayed.
    enum class Verdict {
        kRelay,
        kNoBattle,       // no battle runs on the copy
        kNotToMove,      // the seat is not the one to move
        kIllegal,        // the rules refuse the move in this position
        kFalseOutcome,   // the outcome is not the one the pieces give
        kTooEarly,       // a time-out before the seat's time ran out
        kEarlierTurn,    // begun before this turn of the seat: it belongs to an earlier one
        kHandOver,       // a time-out beyond those its player has passed: the seat goes to the computer
    };

    // `host` gives the clock.
    explicit HostReferee(GameState& host);
    ~HostReferee();
    HostReferee(const HostReferee&) = delete;
    HostReferee& operator=(const HostReferee&) = delete;

    const GameState& Game() const { return *copy_; }

    // A new round in the waiting room: nothing deployed, step 0.
    void NewRound();
    // "JoinOk" went out: the seats deploy on an empty board.
    void DeploymentBegins();
    // A "SwitchEnd" went out.
    void Deployed(const SwitchEndBody& b);
    // "AllSwitchEnd" went out: the battle runs with its first seat, turn
    // order and move time.
    void BattleBegins(const AllSwitchEndBody& b);
    // "MaxStepLimited" or "PeaceFinalOk" went out: the battle ends drawn at
    // once, as every side ends it (before its first step too).
    void EndsDrawn();

    bool Deploying() const { return phase_ == Phase::kDeploying; }
    // A battle runs: it has begun and not ended.
    bool Running() const { return phase_ == Phase::kBattle && copy_->battleRunning != 0; }
    // The battle has begun in this round (it may have ended since).
    bool BattleBegun() const { return phase_ == Phase::kBattle; }

    // Whether `b` may be relayed now; `timeUp`: the seat's time has run out
    // on the host's clock (a time-out may go); `timeoutsPassed`: those of the
    // seat's player (PlayerTimeouts, net/host/timeouts.h).
    Verdict Judge(const MoveQzBody& b, bool timeUp, int timeoutsPassed);
    // The step limit: once kStepLimit steps are on the copy, the seat to move
    // finds it reached with whatever step it sends (judged `v`: anything but
    // no battle or a seat not to move), and the battle ends drawn
    // ("MaxStepLimited") instead.
    static constexpr int kStepLimit = 500;
    bool StepLimitReached(Verdict v) const;
    // Carries out a move that went out (judged kRelay).
    void Apply(const MoveQzBody& b);

    // The status-line text (GB2312) for a move of `seat` not relayed.
    static std::string VerdictText(Verdict v, int seat);

private:
    enum class Phase { kWaiting, kDeploying, kBattle };
    class Clock;

    void ClearBoard();

    std::unique_ptr<Clock> clock_;
    std::unique_ptr<GameState> copy_;
    Phase phase_ = Phase::kWaiting;
};

}  // namespace jq::net
