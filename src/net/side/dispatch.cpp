// The client dispatcher: each side applies what the host sends, turned into
// its own view.
#include <algorithm>
#include <cstring>

#include "core/combat.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "play/execute.h"
#include "view/rotation.h"

namespace jq::net {

namespace {

// Names and chat lines come from other sides: they reach the screen (and a
// tool's log) only through ShownText, so no control byte gets there.
std::string Name(const SeatRec& r) { return ShownText(BoundedText(r.name, sizeof r.name)); }

void LabelSeat(GameState& g, int absoluteSeat, const std::string& gbName) {
    g.ui->SetSeatLabel(LocalSeat(absoluteSeat, g.myNetSeat), gbName);
}

// The round's times run the side's clock. A joining side keeps them as its
// options too; the host's own options are where the next round's times come
// from, and stay as its player set them.
void ApplyTime(const GameState& g, int32_t seconds, int32_t& running, int32_t& option) {
    if (!TimeInRange(seconds)) return;
    running = seconds;
    if (g.isNetHost == 0) option = seconds;
}

void ApplyTimes(GameState& g, int32_t move, int32_t deploy, int32_t disconnect) {
    OptionsRec& o = g.optionsRecord;
    ApplyTime(g, move, g.netMoveTime, o.netMoveTimeOption);
    ApplyTime(g, deploy, g.netDeployTime, o.netDeployTimeOption);
    ApplyTime(g, disconnect, g.netDisconnectTime, o.netDisconnectTimeOption);
}

bool BattleUnderWay(const GameState& g) {
    return g.battleRunning != 0 || g.netState == kNetAllDeployed || g.netState == kNetBattle;
}

// Piece k of the host's view becomes local piece i.
void TakeHostPiece(GameState& g, const JoinLastBody& b, int i) {
    const int j = (kPiecesPerSeat * g.myNetSeat + i) % kPieceCount;
    const GridPoint p = TurnGridPoint(GridPoint{b.x[j], b.y[j]}, g.myNetSeat);
    PieceRec& pc = g.pieces[i];
    pc.x = p.x;
    pc.y = p.y;
    pc.code = b.code[j];
    pc.alive = b.alive[j];
}

// The turn (the deployment) this side shows began on the host when `at`
// reached the side: its deadline is known from here.
void StartTurnClock(GameState& g, const ClockStamp& at) {
    g.turnStarted = at;
    if (g.lan != nullptr) g.lan->SetTurnStartUnknown(false);
}

// Whether a person who takes `seat` now brings the deadline this side shows,
// as the host gives him the seat's time again from his join: the seat to
// move in the battle; in the deployment, once the own seat has deployed. A
// side still deploying, the host's included, keeps the deadline of its own
// seat's deployment: the joiner's concerns his seat only.
bool JoinRestartsTheClock(const GameState& g, int seat) {
    if (g.netState == kNetBattle && g.battleRunning != 0) return LocalSeat(seat, g.myNetSeat) == g.curSeat;
    return NetDeploying(g) && g.netState >= kNetOwnDeployDone;
}

void ApplyJoinLast(GameState& g, const JoinLastBody& b, const ClockStamp& arrival) {
    const bool inThisBattle = g.netState == kNetBattle && g.battleRunning != 0 && g.deployPhase == 0;
    // The host answers a refused move: the turn is the one the side was in
    // (every step before the answer has been applied), and its clock runs on
    // as it did.
    const bool sameTurn = inThisBattle && g.stepCount == static_cast<int32_t>(b.steps.size());
    for (int s = 0; s < kSeats; ++s) g.seatTable[s] = b.seats[s];
    // A "JoinLast" gives the side its turn back, also when it answers a move
    // the host refused: the side stands where the host's battle stands.
    g.netMyTurn = 1;
    g.aiMoverGuard = -1;
    g.stepCount = static_cast<int32_t>(b.steps.size());
    g.turnDirection = b.turnDirection;
    // A start that the host's player has pressed, or the host's "JoinOk"
    // already taken, does not fall back to the waiting room.
    const bool started = g.netState >= kNetHostStarted && g.netState <= kNetJoinOkSent;
    if (!(b.netState < kNetHostStarted && started)) g.netState = b.netState;
    g.curSeat = LocalSeat(b.curSeat, g.myNetSeat);
    ApplyTimes(g, b.moveTime, b.deployTime, b.disconnectTime);
    for (int k = 0; k < kSeats; ++k) g.ui->SetSeatLabel(k, Name(g.seatTable[(g.myNetSeat + k) % kSeats]));
    if (IsDeployingState(b.netState) || b.netState == kNetAllDeployed) {
        // The own deployment stays as laid out here.
        for (int i = kPiecesPerSeat; i < kPieceCount; ++i) TakeHostPiece(g, b, i);
        g.deployPhase = 1;
        g.battleRunning = 0;
        g.netState = kNetDeployBegins;
        // The own seat's whole deploy time, as the host gives it from the
        // join, from when the answer reached the side.
        StartTurnClock(g, arrival);
    } else if (b.netState >= kNetBattle) {
        // In the battle already (the host answers a refused move): its start
        // stays as it was recorded. Else joining a running battle again: it
        // goes on where the host stands.
        for (int i = 0; i < kPieceCount; ++i) TakeHostPiece(g, b, i);
        if (!inThisBattle) {
            for (int k = 0; k < kSeats; ++k) g.seatNames[k] = g.ui->SeatLabel(k);
            g.deployedPieces = g.pieces;
            // None of the seat's time-outs before the join are this
            // player's to count (the host tells him his own count).
            g.netTimeoutCount = 0;
        }
        for (int e = 0; e < kStepSlots; ++e)
            g.stepRecords[e] = e < static_cast<int>(b.steps.size()) ? b.steps[static_cast<size_t>(e)] : StepRec{0, 0};
        for (int t = 0; t < g.myNetSeat; ++t) RotateStepRecords(g);
        g.ui->SetDeploymentControlsVisible(false);
        g.deployPhase = 0;
        g.battleRunning = 1;
        g.netState = kNetBattle;
        g.lastActivity = g.ui->Now();
        // The own clock runs on in the same turn. The own seat's turn joined
        // under way has its whole move time from here, as the host gives it;
        // when another seat's turn began there this side cannot tell, and
        // shows no deadline until the next step.
        if (!sameTurn) {
            StartTurnClock(g, arrival);
            if (g.curSeat != 0 && g.lan != nullptr) g.lan->SetTurnStartUnknown(true);
        }
        g.ui->SetStatusText(2, Gb("当前已走：") + std::to_string(g.stepCount) + Gb(" 步"));
    }
    for (int i = 0; i < kPieceCount; ++i) {
        g.ui->SetPieceVisible(i, g.pieces[i].alive != 0);
        g.ui->PlacePiece(i);
    }
    g.ui->RedrawPieces();
}

void ApplyJoinCancel(GameState& g, int s) {
    SeatRec& r = g.seatTable[s];
    if (s == g.myNetSeat && g.isNetHost == 0) {
        // The host has given the own seat to the computer: the side leaves,
        // and says why (HandOverReason).
        const int reason = HandOverReason(g);
        AbortNetBattle(g, reason);
        if (g.lan != nullptr) g.lan->ui()->ExplainLeaving(HandOverText(reason));
        return;
    }
    if (s == 0 && g.myNetSeat == 0) {
        // The host's own seat, given up: its computer plays it from now on.
        // The host tells of a seat only as it changes: this is its player's
        // seat taken over, for his time or at his time-outs.
        PutBoundedText(r.name, sizeof r.name, Gb("计算机"));
        r.state = 2;
        LabelSeat(g, s, Gb("计算机"));
        TellHostSeatTakenOver(g);
        return;
    }
    FreeSeatRecord(r);
    LabelSeat(g, s, Gb("计算机"));
}

void ApplySwitchEnd(GameState& g, const SwitchEndBody& b) {
    g.seatTable[b.seat].deployed = 2;
    const int r = LocalSeat(b.seat, g.myNetSeat);
    for (int k = 0; k < kPiecesPerSeat; ++k) {
        PieceRec& pc = g.pieces[r * kPiecesPerSeat + k];
        pc.code = b.codes[k];
        pc.alive = 1;
        g.ui->SetPieceVisible(r * kPiecesPerSeat + k, true);
    }
    g.ui->RedrawPieces();
}

// A move carries its sender's outcome; every side settles it again on its own
// pieces, so a side cannot win a fight it would lose. A give-up or time-out
// step has no mover (the reader makes sure) and no fight.
bool OutcomeHolds(const GameState& g, const MoveCand& m) {
    if (!IsValidPiece(m.mover)) return true;
    return m.outcome == MoveOutcome(g.pieces, m.mover, m.target);
}

// False when the move was dropped: every side drops it alike, so it counts as
// not made and the seat is still to move.
bool ApplyMove(GameState& g, const MoveQzBody& b, const ClockStamp& arrival) {
    const MoveCand m = MoveToView(b.move, b.seat, g.myNetSeat);
    if (!OutcomeHolds(g, m)) {
        // Seats are named as the join dialog numbers them, alike on every side.
        g.ui->SetStatusText(3, Gb("位置") + std::to_string(b.seat + 1) + Gb(" 的棋步胜负不符，此步作废！"));
        return false;
    }
    const bool done = ExecuteMove(g, m.mover, m.target, m.fromX, m.fromY, m.toX, m.toY, m.outcome) == MoveResult::kDone;
    // A refused move of a computer seat is chosen again.
    g.aiMoverGuard = -1;
    if (!done) return false;
    // The next turn began when the step reached this side, however long it
    // waited here (behind a box the player kept open, or other packets).
    StartTurnClock(g, arrival);
    // The own player's time-outs are the host's count, which each time-out
    // relayed for the own seat carries: his on this seat in this round,
    // this one included, whichever side sent it and whatever it counted.
    if (b.seat == g.myNetSeat && IsTimeoutMove(m.fromX, m.fromY, m.toX, m.toY))
        g.netTimeoutCount = std::clamp(m.outcome, 1, kTimeoutsPassed);
    return true;
}

// Whether an applied packet begins a new step of the battle (or the battle
// itself): only then may the own side send a move again.
// (A joining side's own "JoinLast" sets it where it is applied.)
bool BeginsStep(Word w) { return w == Word::kMoveQz || w == Word::kAllSwitchEnd; }

// Applies one packet, which reached the side at `arrival`; false when it was
// dropped.
bool Apply(GameState& g, const Packet& p, const ClockStamp& arrival) {
    const std::optional<Word> w = PacketWord(p);
    if (!w) return false;
    switch (*w) {
        case Word::kJoin: {
            const auto rec = DecodeJoin(p);
            if (!rec) return false;
            // A person taking the seat to move: its time counts again from
            // here, as the host counts it from his join.
            if (JoinRestartsTheClock(g, rec->seat))
                StartTurnClock(g, arrival);
            else if (NetDeploying(g) && rec->seat != g.myNetSeat && g.lan != nullptr)
                g.lan->NoteJoinInDeployment(arrival);
            g.seatTable[rec->seat] = *rec;
            LabelSeat(g, rec->seat, Name(*rec));
            return true;
        }
        case Word::kJoinLast: {
            const auto b = DecodeJoinLast(p);
            if (!b) return false;
            ApplyJoinLast(g, *b, arrival);
            return true;
        }
        case Word::kJoinRefuse:
            AbortNetBattle(g, kLeaveRefused);
            if (g.lan != nullptr) g.lan->ui()->ExplainLeaving(JoinRefusedText());
            return true;
        case Word::kJoinOk:
            // A battle under way is not begun again.
            if (NetRoundUnderWay(g)) return false;
            g.netState = kNetHostStarted;
            // The deploy time counts from when "JoinOk" reached the side, as
            // the host's does from its sending.
            StartTurnClock(g, arrival);
            if (g.lan != nullptr) g.lan->TakeJoinInDeployment();
            return true;
        case Word::kJoinCancel: {
            const auto s = DecodeSeatWord(p, *w);
            if (!s) return false;
            ApplyJoinCancel(g, *s);
            return true;
        }
        case Word::kSwitchEnd: {
            const auto b = DecodeSwitchEnd(p);
            if (!b || BattleUnderWay(g)) return false;
            ApplySwitchEnd(g, *b);
            return true;
        }
        case Word::kAllSwitchEnd: {
            const auto b = DecodeAllSwitchEnd(p);
            if (!b || BattleUnderWay(g)) return false;
            ApplyTimes(g, b->moveTime, b->deployTime, b->disconnectTime);
            // A deployment still open here is over: the board takes no swap
            // in the battle (what the host relayed for the own seat stands).
            if (g.deployPhase == 1) {
                g.deployPhase = 0;
                g.ui->SetDeploymentControlsVisible(false);
            }
            g.curSeat = LocalSeat(b->firstSeat, g.myNetSeat);
            g.turnDirection = b->turnDirection;
            g.netState = kNetAllDeployed;
            g.lastActivity = g.ui->Now();
            // The first turn counts from here, the battle's start pause included.
            StartTurnClock(g, arrival);
            return true;
        }
        case Word::kMoveQz: {
            const auto b = DecodeMoveQz(p);
            // Only the seat to move moves, and only in a running battle:
            // every side decides alike, as every side sees the same order.
            if (!b || g.battleRunning == 0 || LocalSeat(b->seat, g.myNetSeat) != g.curSeat) return false;
            return ApplyMove(g, *b, arrival);
        }
        case Word::kPeaceRequest: {
            const auto s = DecodeSeatWord(p, *w);
            if (!s || g.lan == nullptr) return false;
            // One question at a time: while one is open, its answer stands
            // for the newer request too.
            if (g.lan->PeaceQuestionOpen()) return false;
            g.lan->SetPeaceQuestionOpen(true);
            g.lan->ui()->AskPeace(*s, PeaceQuestionText(Name(g.seatTable[*s])));
            return true;
        }
        case Word::kPeaceFinalOk:
            if (g.battleRunning == 0) return false;
            g.peaceAgreed = 1;
            return true;
        case Word::kMaxStepLimited:
            if (g.battleRunning == 0) return false;
            g.stepLimitReached = 1;
            return true;
        case Word::kPeaceFinalAbort:
            g.ui->SetStatusText(3, Gb("有人不同意和棋,战争还得继续!"));
            return true;
        case Word::kChatMessage: {
            const auto b = DecodeChat(p);
            if (!b) return false;
            if (g.lan != nullptr)
                g.lan->ui()->ChatLine(b->seat, Name(g.seatTable[b->seat]) + Gb("：") + ShownText(b->text));
            return true;
        }
        default: return false;  // the side's own answers never come back
    }
}

}  // namespace

int LocalSeat(int absoluteSeat, int myNetSeat) { return ((absoluteSeat - myNetSeat) % kSeats + kSeats) % kSeats; }

MoveCand MoveToView(const MoveCand& m, int senderSeat, int viewSeat) {
    MoveCand c = m;
    if (c.mover == kNoPiece) return c;
    const int r = LocalSeat(senderSeat, viewSeat);
    c.mover += kPiecesPerSeat * r;
    if (c.target >= 0) c.target = ((c.target / kPiecesPerSeat + r) % kSeats) * kPiecesPerSeat + c.target % kPiecesPerSeat;
    // Carried r seats on: r quarter turns back.
    const GridPoint from = TurnGridPoint(GridPoint{c.fromX, c.fromY}, -r);
    const GridPoint to = TurnGridPoint(GridPoint{c.toX, c.toY}, -r);
    c.fromX = from.x;
    c.fromY = from.y;
    c.toX = to.x;
    c.toY = to.y;
    return c;
}

int ProcessClientMessage(GameState& g) {
    if (g.lan == nullptr) return 0;
    // A chat line, a seat taken or given up, or a dropped packet changes
    // nothing on the board, so it does not use up the tick: players who
    // come and go without pause cannot fill the inbox faster than it
    // empties. The packets already received are taken until one changes
    // the battle.
    for (size_t left = g.lan->InboxSize(); left > 0; --left) {
        const std::optional<Packet> p = g.lan->TakeReceived();
        if (!p) return 0;
        // The own side may move again once a step has been made (or the
        // battle has begun or been joined): a chat line, a join or a dropped
        // packet that arrives while its move is on the way does not let a
        // second move go out in the same step.
        const bool applied = Apply(g, *p, g.lan->TakenArrival());
        const std::optional<Word> w = PacketWord(*p);
        if (applied && w && BeginsStep(*w)) g.netMyTurn = 1;
        const bool seatsOnly = w == Word::kChatMessage || w == Word::kJoin || w == Word::kJoinCancel;
        if (applied && !seatsOnly) return 1;
    }
    return 0;
}

}  // namespace jq::net
