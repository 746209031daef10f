#include "net/host/relay.h"

#include <algorithm>

#include "core/text.h"
#include "net/netbattle.h"

namespace jq::net {

namespace {

constexpr int kStepLimit = 500;
constexpr int kPeaceRequestsPerBattle = 3;

}  // namespace

HostRelay::HostRelay(GameState& host, ServerLinks& links)
    : g_(host), referee_(host), conns_(links, *this), times_(SanitizedLanTimes(host.optionsRecord)) {
    for (SeatRec& r : seats_) FreeSeatRecord(r);
}

int64_t HostRelay::Now() const { return g_.ui->Now().seconds; }

int64_t HostRelay::NowMs() const { return StampMs(g_.ui->Now()); }

double HostRelay::NowSeconds() const { return StampSeconds(g_.ui->Now()); }

void HostRelay::Connected(ConnId id, const std::string& address, int port) {
    ++depth_;
    conns_.Open(id, address, port);
    players_[id] = Player{};
    --depth_;
}

void HostRelay::SetOwnConnection(ConnId id) { conns_.SetOwn(id); }

void HostRelay::Received(ConnId id, const uint8_t* data, size_t size) {
    if (!conns_.Reachable(id)) return;
    ++depth_;
    conns_.Feed(id, data, size);
    TellFreedSeats();
    // A connection closed or a seat freed on the way may make room for a
    // sender that waits.
    conns_.ResumeSenders();
    --depth_;
    Sweep();
}

void HostRelay::Take(ConnId id, const Packet& p) {
    Handle(id, players_[id], p);
    // A seat freed on the way is told after the packet it came with.
    TellFreedSeats();
}

void HostRelay::Lost(ConnId id, bool, const std::string& gbStatus) {
    auto it = players_.find(id);
    if (it == players_.end()) return;
    // Closed by the host or not, the seat is free for anybody (its player
    // after his address's pause).
    FreeSeatOf(id, it->second);
    if (!gbStatus.empty()) g_.ui->SetStatusText(3, gbStatus);
}

bool HostRelay::Accepting(ConnId id) const { return conns_.Accepting(id); }

void HostRelay::Writable(ConnId id) {
    if (!conns_.Reachable(id)) return;
    ++depth_;
    conns_.Writable(id);
    conns_.ResumeSenders();
    --depth_;
    Sweep();
}

void HostRelay::Closed(ConnId id) {
    if (!conns_.Reachable(id)) return;
    ++depth_;
    conns_.HungUp(id);
    conns_.ResumeSenders();
    --depth_;
    Sweep();
}

bool HostRelay::Pending() const { return conns_.Pending(); }

void HostRelay::Tick() {
    ++depth_;
    conns_.Check(times_.disconnect);
    // A move that waited for room is taken before the seat's silence is
    // judged.
    conns_.ResumeSenders();
    CheckTimeouts();
    TellFreedSeats();
    // Joins that waited for the next round or their address's pause, and
    // then for room in the queues.
    if (!waitingJoins_.empty() && !(referee_.BattleBegun() && !referee_.Running())) AdmitWaitingJoins();
    std::erase_if(rejoinAfter_, [now = Now()](const auto& a) { return a.second <= now; });
    SendOwedAnswers();
    conns_.ResumeSenders();
    Flush();
    --depth_;
    Sweep();
}

void HostRelay::CheckTimeouts() {
    const int64_t now = Now();
    if (referee_.Deploying()) {
        // A player who has not deployed in the deploy time since he had his
        // time, or after his last word, gives his seat to the computer; his
        // word puts it off by the disconnect time at most. The host's own
        // player has no deploy time-out.
        for (int s = 1; s < kSeats; ++s) {
            if (seats_[s].state != 1 || deployedSeen_[s]) continue;
            if (now - heard_[s] >= times_.deploy || now - seatSince_[s] >= times_.deploy + times_.disconnect)
                HandOverSeat(s);
        }
    } else if (referee_.Running()) {
        // A player's turn: he is handed over when silent for longer than the
        // disconnect time in it, and his turn ends as his time-out once his
        // move time and the grace have run out (from his join, if he joined
        // in it).
        const GameState& copy = referee_.Game();
        const int s = copy.curSeat;
        if (!IsValidSeat(s) || seats_[s].state != 1) return;
        const int64_t turn = now - std::max(copy.turnStarted.seconds, seatSince_[s]);
        if (now - std::max(copy.turnStarted.seconds, heard_[s]) > times_.disconnect)
            HandOverSeat(s);
        else if (turn >= times_.move + kTurnGraceSeconds)
            TimeOutTurn(s);
    }
}

void HostRelay::TimeOutTurn(int s) {
    // The packet the seat's own side sends, counting the seat's time-outs.
    MoveQzBody b{MoveCand{}, s};
    MakeTimeoutMove(b.move, referee_.Timeouts(s) + 1);
    TakeStep(s, EncodeMoveQz(b));
}

void HostRelay::OweAnswer(ConnId id, Player& c) {
    if (!referee_.Running() || !conns_.Counts(id)) return;
    c.answerOwed = true;
    if (NowSeconds() - c.answeredAt < kResyncPauseSeconds) return;  // the next tick that may
    c.answerOwed = false;
    c.answeredAt = NowSeconds();
    QueueTo(id, BuildJoinLast());
}

void HostRelay::SendOwedAnswers() {
    for (auto& [id, c] : players_) {
        if (!c.answerOwed) continue;
        if (!referee_.Running() || !conns_.Counts(id)) {
            c.answerOwed = false;
            continue;
        }
        if (NowSeconds() - c.answeredAt < kResyncPauseSeconds) continue;
        c.answerOwed = false;
        c.answeredAt = NowSeconds();
        QueueTo(id, BuildJoinLast());
    }
}

void HostRelay::Flush() { conns_.Flush(); }

void HostRelay::Sweep() {
    if (depth_ > 0) return;
    conns_.Sweep();
    std::erase_if(players_, [this](const auto& e) { return !conns_.Exists(e.first); });
    std::erase_if(waitingJoins_, [this](const auto& j) { return !conns_.Exists(j.first); });
}

void HostRelay::SetSeat(ConnId id, Player& c, int seat) {
    c.seat = seat;
    conns_.SetSeated(id, seat >= 0);
}

bool HostRelay::HasConnections() const { return conns_.AnyOpen(); }

void HostRelay::StopListening() {
    conns_.Stop();
    waitingJoins_.clear();
    Sweep();
}

void HostRelay::AdmitWaitingJoins() {
    std::vector<std::pair<ConnId, Packet>> joins;
    joins.swap(waitingJoins_);
    for (auto& [id, p] : joins) {
        if (!conns_.Reachable(id)) continue;
        if (!conns_.RoomFor(id)) {
            waitingJoins_.emplace_back(id, std::move(p));  // its turn comes when the queues have room
            continue;
        }
        const ConnId before = conns_.SetSender(id);
        HandleJoin(id, players_[id], p);
        conns_.SetSender(before);
        TellFreedSeats();
    }
}

int HostRelay::SeatOfConnection(ConnId id) const {
    auto it = players_.find(id);
    return it == players_.end() ? -1 : it->second.seat;
}

void HostRelay::QueueToSeat(int seat, const Packet& p) {
    if (!conns_.Reachable(seatConn_[seat])) {
        g_.ui->SetStatusText(3, Gb("找不到主机或端口，封包扔掉了！"));
        return;
    }
    QueueTo(seatConn_[seat], p);
}

void HostRelay::QueueToOccupied(const Packet& p) {
    for (int s = 0; s < kSeats; ++s)
        if (Occupied(s)) QueueToSeat(s, p);
}

void HostRelay::FreeSeat(int s) {
    FreeSeatRecord(seats_[s]);
    auto it = players_.find(seatConn_[s]);
    if (it != players_.end() && !Own(it->first) && it->second.seat == s) {
        SetSeat(it->first, it->second, -1);
        // Nobody comes and goes on one address without pause, however many
        // connections he opens.
        rejoinAfter_[conns_.Address(it->first)] = Now() + kRejoinPauseSeconds;
    }
    seatConn_[s] = -1;
}

void HostRelay::FreeSeatOf(ConnId id, Player& c) {
    if (Own(id) || c.seat < 0) return;
    const int s = c.seat;
    if (seatConn_[s] != id) {
        SetSeat(id, c, -1);
        return;
    }
    FreeSeat(s);
    freedSeats_.push_back(s);
}

void HostRelay::TellFreedSeats() {
    if (freedSeats_.empty()) return;
    while (!freedSeats_.empty()) {
        const int s = freedSeats_.front();
        freedSeats_.erase(freedSeats_.begin());
        QueueToOccupied(EncodeSeatWord(Word::kJoinCancel, s));
    }
    Flush();
}

void HostRelay::HandOverSeat(int s) {
    const Packet cancel = EncodeSeatWord(Word::kJoinCancel, s);
    if (s == 0) {
        // The host's seat stays the host side's: its computer plays it.
        if (seats_[0].state != 1) return;
        PutBoundedText(seats_[0].name, sizeof seats_[0].name, Gb("计算机"));
        seats_[0].state = 2;
        QueueToOccupied(cancel);
        return;
    }
    if (seats_[s].state == 0) return;
    const ConnId holder = seatConn_[s];
    FreeSeat(s);
    QueueToOccupied(cancel);
    if (Own(holder) || !conns_.Exists(holder)) return;
    // What stops a player who sits out his time is bound to him: his
    // address, not the seat, which anybody else may take at once.
    lockedAddresses_.insert(conns_.Address(holder));
    conns_.CloseAfter(holder, cancel);
}

std::optional<int32_t> HostRelay::AllowedSeat(ConnId id, const Player& c, const Packet& p) const {
    std::optional<int32_t> seat = SeatNamed(p);
    if (!seat) return seat;
    // The host's own side: its own seat, and the seats the computer holds
    // now (what it sent for a seat a person has taken since is not its word).
    if (Own(id)) return *seat == 0 || seats_[*seat].state == 0 ? seat : std::nullopt;
    if (c.seat < 0 || *seat != c.seat) return std::nullopt;
    return seat;
}

void HostRelay::Handle(ConnId id, Player& c, const Packet& p) {
    const Word w = *PacketWord(p);
    if (w == Word::kJoin) {
        HandleJoin(id, c, p);
        return;
    }
    const bool carriesSeat = w == Word::kJoinOk || w == Word::kJoinCancel || w == Word::kSwitchEnd ||
                             w == Word::kMoveQz || w == Word::kPeaceRequest || w == Word::kPeaceOk ||
                             w == Word::kPeaceAbort || w == Word::kChatMessage;
    if (!carriesSeat) {
        // A word only the host sends.
        g_.ui->SetStatusText(3, Gb("未知封包，请记录发生情况，便于工程师处理!"));
        return;
    }
    const std::optional<int32_t> seat = AllowedSeat(id, c, p);
    if (!seat) {
        // A move for a seat the connection does not hold: the side is told
        // where the battle stands.
        if (w == Word::kMoveQz)
            if (auto b = DecodeMoveQz(p)) {
                g_.ui->SetStatusText(3, HostReferee::VerdictText(HostReferee::Verdict::kNotToMove, b->seat));
                OweAnswer(id, c);
            }
        return;
    }
    const int s = *seat;
    // Peace words mean something only while the battle runs.
    const bool peaceWord = w == Word::kPeaceRequest || w == Word::kPeaceOk || w == Word::kPeaceAbort;
    if (peaceWord && !referee_.Running()) {
        g_.ui->SetStatusText(3, Gb("位置") + std::to_string(s + 1) + Gb(" 的和棋封包不在战役中，此包作废！"));
        return;
    }
    switch (w) {
        case Word::kJoinOk:
            // Only the host's own player starts a battle, from the waiting
            // room its own side has joined.
            if (Own(id) && c.joinedRound == round_ && !referee_.Deploying() && !referee_.BattleBegun()) StartRound(p);
            break;
        case Word::kJoinCancel: HandleJoinCancel(id, s, p); break;
        case Word::kSwitchEnd:
            // Only while the seats deploy: one sent in the waiting room or
            // once the battle runs counts for nothing.
            if (referee_.Deploying()) HandleSwitchEnd(p);
            break;
        case Word::kMoveQz: HandleMove(id, c, s, p); break;
        case Word::kPeaceRequest: HandlePeaceRequest(s, p); break;
        case Word::kPeaceOk:
        case Word::kPeaceAbort: HandlePeaceAnswer(s, w); break;
        case Word::kChatMessage:
            QueueToOccupied(p);
            Heard(s);
            break;
        default: break;
    }
}

void HostRelay::StartRound(const Packet& joinOk) {
    // Every seat held now has its deploy time from here.
    std::fill(std::begin(seatSince_), std::end(seatSince_), Now());
    std::fill(std::begin(heard_), std::end(heard_), Now());
    std::fill(std::begin(deployedSeen_), std::end(deployedSeen_), false);
    allDeployedSent_ = false;
    ClearPeace();
    std::fill(std::begin(peaceRequests_), std::end(peaceRequests_), 0);
    for (SeatRec& r : seats_) r.deployed = 0;
    QueueToOccupied(joinOk);
    referee_.DeploymentBegins();
}

void HostRelay::HandleJoinCancel(ConnId id, int s, const Packet& p) {
    if (Own(id)) {
        // The host's player gives up its seat: the computer plays it.
        if (s == 0) HandOverSeat(0);
        return;
    }
    // Its connection holds it no longer (and its address takes none for a
    // while).
    FreeSeat(s);
    QueueToOccupied(p);
}

void HostRelay::HandleMove(ConnId id, Player& c, int s, const Packet& p) {
    // The side gave up its turn when it sent the move: when it is refused,
    // the side is told where the battle stands, and has its turn back if it
    // is to move.
    if (!TakeStep(s, p)) OweAnswer(id, c);
}

bool HostRelay::TakeStep(int s, const Packet& p) {
    const MoveQzBody b = *DecodeMoveQz(p);
    using Verdict = HostReferee::Verdict;
    const Verdict v = referee_.Judge(b);
    if (v != Verdict::kNoBattle && v != Verdict::kNotToMove && referee_.Game().stepCount >= kStepLimit) {
        // The seat to move finds the step limit reached: the battle ends drawn.
        QueueToOccupied(EncodeBare(Word::kMaxStepLimited));
        referee_.EndsDrawn();
        return true;
    }
    if (v != Verdict::kRelay) g_.ui->SetStatusText(3, HostReferee::VerdictText(v, s));
    if (v == Verdict::kHandOver) {
        // Its fourth time-out: the seat goes to the computer, as its own
        // side would give it up, and its connection is closed.
        HandOverSeat(s);
        return true;
    }
    if (v != Verdict::kRelay) return false;
    QueueToOccupied(p);
    referee_.Apply(b);
    Heard(s);
    // The step gives every side its turn back: no answer is owed any more.
    for (auto& [cid, e] : players_) e.answerOwed = false;
    return true;
}

void HostRelay::HandleJoin(ConnId id, Player& c, const Packet& p) {
    std::optional<SeatRec> rec = DecodeJoin(p);
    if (!rec) return;
    // The record names the connection it came on.
    PutBoundedText(rec->address, sizeof rec->address, conns_.Address(id));
    rec->port = conns_.Port(id);
    if (Own(id)) {
        HandleOwnJoin(id, c, *rec);
        return;
    }
    const int s = rec->seat;
    // Once the battle has ended on the copy, "JoinLast" would tell of a
    // battle that runs no more (after a draw the joiner would wait for moves
    // for ever): the join, a seat's own for the next round or a new one,
    // waits until the host's side opens the next round.
    if (referee_.BattleBegun() && !referee_.Running()) {
        Wait(id, p);
        return;
    }
    const bool holder = seatConn_[s] == id;
    // Taken already in this round: nothing new to tell anybody.
    if (holder && c.joinedRound == round_) return;
    // A remote side takes a free seat (or its own again, for the next
    // round), never seat 0, one seat at a time, and none for the rest of
    // the round once the host has handed over its player for his time.
    const std::string& address = conns_.Address(id);
    if (s == 0 || (c.seat >= 0 && c.seat != s) || (!holder && Occupied(s)) || lockedAddresses_.count(address)) {
        // An honest side leaves on the first refusal; one that keeps asking
        // is closed.
        if (++c.refusals > kMaxRefusals)
            conns_.Drop(id, std::string());
        else
            QueueTo(id, EncodeBare(Word::kJoinRefuse));
        return;
    }
    // Its address gave up or lost a seat a moment ago: the join is answered
    // once the pause is over.
    auto pause = rejoinAfter_.find(address);
    if (!holder && pause != rejoinAfter_.end() && Now() < pause->second) {
        Wait(id, p);
        return;
    }
    // A person's seat, not deployed yet, whatever the record says; its
    // player's time counts from now.
    rec->state = 1;
    rec->deployed = 0;
    seatConn_[s] = id;
    SetSeat(id, c, s);
    c.joinedRound = round_;
    seats_[s] = *rec;
    seatSince_[s] = heard_[s] = Now();
    // Taken during the deployment, the seat deploys again: what was sent
    // for it before is not what its new side lays out.
    if (!allDeployedSent_) deployedSeen_[s] = false;
    const Packet relayed = EncodeJoin(*rec);
    for (int i = 0; i < kSeats; ++i)
        if (i != s && Occupied(i)) QueueToSeat(i, relayed);
    QueueTo(id, BuildJoinLast());
}

void HostRelay::Wait(ConnId id, const Packet& join) {
    // One waits per connection: the latest.
    auto w = std::find_if(waitingJoins_.begin(), waitingJoins_.end(), [id](const auto& j) { return j.first == id; });
    if (w != waitingJoins_.end())
        w->second = join;
    else
        waitingJoins_.emplace_back(id, join);
}

void HostRelay::Heard(int s) { heard_[s] = Now(); }

void HostRelay::HandleOwnJoin(ConnId id, Player& c, SeatRec rec) {
    // The host's side sits at seat 0 and joins at the start of each round:
    // the copy starts afresh, at step 0, and the seats held stay held.
    if (rec.seat != 0) return;
    ++round_;
    referee_.NewRound();
    std::fill(std::begin(deployedSeen_), std::end(deployedSeen_), false);
    lockedAddresses_.clear();
    allDeployedSent_ = false;
    ClearPeace();
    // The round's times and turn order, from the host's options as they
    // stand now, and a first seat drawn for it.
    const OptionsRec& o = g_.optionsRecord;
    times_ = SanitizedLanTimes(o);
    turnDirection_ = o.turnDirectionOption == -1 ? -1 : 1;
    firstSeat_ = static_cast<int32_t>(g_.mainRandom.Next() % kSeats);
    for (SeatRec& r : seats_) r.deployed = 0;
    rec.deployed = 0;
    if (rec.state != 1) rec.state = 1;
    seats_[0] = rec;
    seatConn_[0] = id;
    seatSince_[0] = heard_[0] = Now();
    SetSeat(id, c, 0);
    c.joinedRound = round_;
    const Packet relayed = EncodeJoin(rec);
    for (int i = 1; i < kSeats; ++i)
        if (Occupied(i)) QueueToSeat(i, relayed);
    QueueTo(id, BuildJoinLast());
    // The seats that asked for this round while the last one ended.
    AdmitWaitingJoins();
}

void HostRelay::HandleSwitchEnd(const Packet& p) {
    const SwitchEndBody b = *DecodeSwitchEnd(p);
    // A seat deploys once (again only when a new side takes it).
    if (deployedSeen_[b.seat]) return;
    seats_[b.seat].deployed = 2;
    deployedSeen_[b.seat] = true;
    QueueToOccupied(p);
    referee_.Deployed(b);
    if (allDeployedSent_ || !std::all_of(std::begin(deployedSeen_), std::end(deployedSeen_), [](bool d) { return d; }))
        return;
    allDeployedSent_ = true;
    // The battle starts: no draw offer carries over into it.
    ClearPeace();
    std::fill(std::begin(peaceRequests_), std::end(peaceRequests_), 0);
    const AllSwitchEndBody start{firstSeat_, turnDirection_, times_.move, times_.deploy, times_.disconnect};
    QueueToOccupied(EncodeAllSwitchEnd(start));
    referee_.BattleBegins(start);
}

void HostRelay::HandlePeaceRequest(int seat, const Packet& p) {
    if (peaceRequests_[seat] >= kPeaceRequestsPerBattle) {
        // Asked too often: refused without asking anybody.
        QueueToSeat(seat, EncodeSeatWord(Word::kPeaceFinalAbort, 0));
        return;
    }
    ++peaceRequests_[seat];
    Heard(seat);
    bool open = false;
    for (int i = 0; i < kSeats; ++i) {
        peaceVotes_[i] = (i == seat || !Occupied(i)) ? 1 : 0;
        if (peaceVotes_[i] == 0) open = true;
        if (Occupied(i) && i != seat) QueueToSeat(i, p);
    }
    peaceOpen_ = open;
    // Nobody else to ask: computer and free seats agree at once.
    if (!open) DecidePeace(false);
}

void HostRelay::HandlePeaceAnswer(int a, Word w) {
    // An answer counts only for an open request, once, from a seat asked.
    if (!peaceOpen_ || peaceVotes_[a] != 0) return;
    Heard(a);
    peaceVotes_[a] = w == Word::kPeaceOk ? 1 : 2;
    bool refused = false;
    for (int v : peaceVotes_) {
        if (v == 0) return;
        if (v == 2) refused = true;
    }
    DecidePeace(refused);
}

void HostRelay::DecidePeace(bool refused) {
    QueueToOccupied(EncodeSeatWord(refused ? Word::kPeaceFinalAbort : Word::kPeaceFinalOk, 0));
    if (!refused) referee_.EndsDrawn();
    ClearPeace();
}

void HostRelay::ClearPeace() {
    std::fill(std::begin(peaceVotes_), std::end(peaceVotes_), 0);
    peaceOpen_ = false;
}

Packet HostRelay::BuildJoinLast() const {
    // Everything relayed so far is on the copy; the host's own side may not
    // have applied it yet.
    const GameState& copy = referee_.Game();
    JoinLastBody b;
    for (int s = 0; s < kSeats; ++s) b.seats[s] = seats_[s];
    for (int k = 0; k < kPieceCount; ++k) {
        const PieceRec& pc = copy.pieces[k];
        b.x[k] = static_cast<int8_t>(pc.x);
        b.y[k] = static_cast<int8_t>(pc.y);
        b.code[k] = static_cast<int8_t>(pc.code);
        b.alive[k] = static_cast<int8_t>(pc.alive);
    }
    const bool battle = referee_.Running();
    const int n = battle ? std::clamp(copy.stepCount, 0, kMaxSteps) : 0;
    b.steps.assign(copy.stepRecords, copy.stepRecords + n);
    b.curSeat = battle ? copy.curSeat : firstSeat_;
    b.turnDirection = battle ? (copy.turnDirection == -1 ? -1 : 1) : turnDirection_;
    b.netState = battle ? kNetBattle : referee_.Deploying() ? kNetDeployBegins : kNetWaiting;
    b.moveTime = times_.move;
    b.deployTime = times_.deploy;
    b.disconnectTime = times_.disconnect;
    return EncodeJoinLast(b);
}

}  // namespace jq::net
