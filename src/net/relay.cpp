#include "net/relay.h"

#include <algorithm>

#include "core/text.h"
#include "net/netbattle.h"

namespace jq::net {

namespace {

constexpr int kStepLimit = 500;
constexpr int kPeaceRequestsPerBattle = 3;
// Copies one packet may add to one connection's queue ("SwitchEnd" and
// "AllSwitchEnd").
constexpr size_t kCopiesPerPacket = 2;

}  // namespace

HostRelay::HostRelay(GameState& host, ServerLinks& links)
    : g_(host), links_(links), referee_(host), times_(SanitizedLanTimes(host.optionsRecord)) {
    for (SeatRec& r : seats_) FreeSeatRecord(r);
}

int64_t HostRelay::Now() const { return g_.ui->Now().seconds; }

double HostRelay::NowSeconds() const { return StampSeconds(g_.ui->Now()); }

void HostRelay::Connected(ConnId id, const std::string& address, int port) {
    const bool own = ownPort_ >= 0 && address == ownAddress_ && port == ownPort_;
    // Too many without a seat: the one that has waited longest goes, so
    // idle connections cannot lock out a player who joins now. Until the
    // host's own side is known, nobody is turned away.
    std::vector<std::pair<int64_t, ConnId>> seatless;
    for (const auto& [cid, e] : conns_)
        if (e.open && !e.own && e.seat < 0) seatless.emplace_back(e.seatlessSince, cid);
    if (!own && ownPort_ >= 0 && static_cast<int>(seatless.size()) >= kMaxSeatless) {
        const ConnId oldest = std::min_element(seatless.begin(), seatless.end())->second;
        ++depth_;
        Drop(oldest, conns_.at(oldest), std::string());
        TellFreedSeats();
        --depth_;
    }
    Conn& c = conns_[id];
    c = Conn{};
    c.address = address;
    c.port = port;
    c.own = own;
    c.seatlessSince = Now();
}

void HostRelay::SetOwnEndpoint(const std::string& address, int port) {
    ownAddress_ = address;
    ownPort_ = port;
    // Accepted before its side knew its own end: it is the host's own all
    // the same, and never one without a seat.
    for (auto& [id, c] : conns_)
        if (c.open && IsOwnEndpoint(c)) c.own = true;
}

void HostRelay::Received(ConnId id, const uint8_t* data, size_t size) {
    auto it = conns_.find(id);
    if (it == conns_.end() || !Reachable(it->second)) return;
    if (g_.isNetHost == 0 || g_.netConnected == 0) return;
    Conn& c = it->second;
    // What a connection whose seat was taken still sends is not taken.
    if (c.closing) return;
    ++depth_;
    if (!c.own && IsOwnEndpoint(c)) c.own = true;
    c.framer.Feed(data, size);
    TakePackets(id, c);
    // What waits beyond the sender's bound is more than an honest side
    // ever sends ahead: the sender goes, nobody else.
    if (c.open && c.framer.Buffered() > kSenderBacklogBytes)
        Drop(id, c, Gb("军棋服务器缓冲空间不足,数据丢失!"));
    TellFreedSeats();
    // A connection closed or a seat freed on the way may make room for a
    // sender that waits.
    ResumeSenders();
    --depth_;
    Sweep();
}

bool HostRelay::ChatMayGoOn(Conn& c, const Packet& p) {
    if (PacketWord(p) != Word::kChatMessage) return true;
    const int64_t now = Now();
    if (c.chatSecond != now) c.chatSecond = now, c.chatLines = 0;
    if (c.chatLines >= kChatLinesPerSecond) return false;
    ++c.chatLines;
    return true;
}

void HostRelay::TakePackets(ConnId id, Conn& c) {
    while (c.open && !c.closing) {
        if (!c.next) c.next = c.framer.Next();
        if (!c.next) break;
        if (!RoomFor(id)) {
            c.paused = true;
            return;
        }
        if (!ChatMayGoOn(c, *c.next)) {
            // A side that has closed says no more: its lines over the rate
            // are not kept waiting for, so its seat is free at once.
            if (c.gone) {
                c.next.reset();
                continue;
            }
            c.paused = true;
            return;
        }
        c.paused = false;
        const Packet p = std::move(*c.next);
        c.next.reset();
        handling_ = id;
        Handle(id, c, p);
        handling_ = -1;
        // A seat freed on the way is told after the packet it came with.
        TellFreedSeats();
        // Sent on before the next is taken, so the queues drain between
        // packets.
        Flush();
    }
    c.paused = false;
    if (c.open && c.framer.Broken())
        Drop(id, c, Gb("未知封包，连接已断开：") + c.framer.Fault());
    else if (c.open && c.gone)
        Drop(id, c, std::string());  // everything it sent before it closed has been taken
    TellFreedSeats();
}

bool HostRelay::RoomFor(ConnId sender) const {
    for (const auto& [id, r] : conns_) {
        if (!Counts(r)) continue;
        if (r.out.size() + kCopiesPerPacket > kOutboxLimit) return false;
        auto n = r.bySender.find(sender);
        if (n != r.bySender.end() && n->second + kCopiesPerPacket > kSenderShare) return false;
    }
    return true;
}

void HostRelay::ResumeSenders() {
    for (auto& [id, c] : conns_) {
        if (!c.open || !c.paused || !RoomFor(id)) continue;
        TakePackets(id, c);
        if (Accepting(id)) links_.Resume(id);
    }
}

bool HostRelay::Accepting(ConnId id) const {
    auto it = conns_.find(id);
    return it != conns_.end() && Reachable(it->second) && !it->second.paused && !it->second.closing;
}

void HostRelay::Writable(ConnId id) {
    auto it = conns_.find(id);
    if (it == conns_.end() || !Reachable(it->second)) return;
    ++depth_;
    SendWaiting(id, it->second);
    ResumeSenders();
    --depth_;
    Sweep();
}

void HostRelay::Closed(ConnId id) {
    auto it = conns_.find(id);
    if (it == conns_.end() || !Reachable(it->second)) return;
    ++depth_;
    // Nothing more goes to it; what it sent before is taken as if it were
    // still there (a sender waiting for room waits as before), then it goes.
    Conn& c = it->second;
    c.gone = true;
    c.out = {};
    c.sentOfFront = 0;
    c.bySender.clear();
    TakePackets(id, c);
    ResumeSenders();
    --depth_;
    Sweep();
}

bool HostRelay::Pending() const {
    return std::any_of(conns_.begin(), conns_.end(),
                       [this](const auto& e) { return Counts(e.second) && !e.second.out.empty(); });
}

void HostRelay::Tick() {
    ++depth_;
    CheckConnections();
    // A move that waited for room is taken before the seat's silence is
    // judged.
    ResumeSenders();
    CheckTimeouts();
    TellFreedSeats();
    // Joins that waited for the next round or their address's pause, and
    // then for room in the queues.
    if (!waitingJoins_.empty() && !(referee_.BattleBegun() && !referee_.Running())) AdmitWaitingJoins();
    std::erase_if(rejoinAfter_, [now = Now()](const auto& a) { return a.second <= now; });
    SendOwedAnswers();
    ResumeSenders();
    Flush();
    --depth_;
    Sweep();
}

void HostRelay::CheckConnections() {
    const int64_t now = Now();
    for (auto& [id, c] : conns_) {
        if (!c.open || c.own) continue;
        // One whose seat was taken has had the time to hear why.
        if (c.closing) {
            if (now - c.closingSince > kRejoinPauseSeconds) Drop(id, c, std::string());
            continue;
        }
        // Until the host's own side is known, no connection is taken for
        // one without a seat.
        if (c.seat >= 0 && !c.out.empty() && now - c.out.front().at > times_.disconnect)
            Drop(id, c, std::string());
        else if (c.seat < 0 && ownPort_ >= 0 && now - c.seatlessSince > kSeatlessSeconds)
            Drop(id, c, std::string());
    }
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

void HostRelay::OweAnswer(ConnId id, Conn& c) {
    if (!referee_.Running() || !Counts(c)) return;
    c.answerOwed = true;
    if (NowSeconds() - c.answeredAt < kResyncPauseSeconds) return;  // the next tick that may
    c.answerOwed = false;
    c.answeredAt = NowSeconds();
    QueueTo(id, BuildJoinLast());
}

void HostRelay::SendOwedAnswers() {
    for (auto& [id, c] : conns_) {
        if (!c.answerOwed) continue;
        if (!referee_.Running() || !Counts(c)) {
            c.answerOwed = false;
            continue;
        }
        if (NowSeconds() - c.answeredAt < kResyncPauseSeconds) continue;
        c.answerOwed = false;
        c.answeredAt = NowSeconds();
        QueueTo(id, BuildJoinLast());
    }
}

void HostRelay::Flush() {
    for (auto& [id, c] : conns_)
        if (Reachable(c)) SendWaiting(id, c);
}

void HostRelay::Sweep() {
    if (depth_ > 0) return;
    for (auto it = conns_.begin(); it != conns_.end();)
        it = it->second.open ? std::next(it) : conns_.erase(it);
    std::erase_if(waitingJoins_, [this](const auto& j) { return !conns_.count(j.first); });
}

void HostRelay::SetSeat(Conn& c, int seat) {
    if (c.seat >= 0 && seat < 0) c.seatlessSince = Now();
    c.seat = seat;
}

bool HostRelay::HasConnections() const {
    return std::any_of(conns_.begin(), conns_.end(), [](const auto& e) { return e.second.open; });
}

void HostRelay::StopListening() {
    links_.Stop();
    for (auto& [id, c] : conns_) c.open = false;
    waitingJoins_.clear();
    Sweep();
}

void HostRelay::AdmitWaitingJoins() {
    std::vector<std::pair<ConnId, Packet>> joins;
    joins.swap(waitingJoins_);
    const ConnId handling = handling_;
    for (auto& [id, p] : joins) {
        auto it = conns_.find(id);
        if (it == conns_.end() || !Reachable(it->second)) continue;
        if (!RoomFor(id)) {
            waitingJoins_.emplace_back(id, std::move(p));  // its turn comes when the queues have room
            continue;
        }
        handling_ = id;
        HandleJoin(id, it->second, p);
        TellFreedSeats();
    }
    handling_ = handling;
}

int HostRelay::SeatOfConnection(ConnId id) const {
    auto it = conns_.find(id);
    return it == conns_.end() ? -1 : it->second.seat;
}

void HostRelay::QueueTo(ConnId id, const Packet& p) {
    auto it = conns_.find(id);
    if (it == conns_.end() || !Reachable(it->second)) return;
    Conn& c = it->second;
    // A full queue: the connection takes nothing, and is closed.
    if (c.out.size() >= kOutboxLimit) {
        Drop(id, c, Gb("军棋服务器缓冲空间不足,数据丢失!"));
        return;
    }
    c.out.push_back(Queued{p, handling_, Now()});
    ++c.bySender[handling_];
}

void HostRelay::QueueToSeat(int seat, const Packet& p) {
    auto it = conns_.find(seatConn_[seat]);
    if (it == conns_.end() || !Reachable(it->second)) {
        g_.ui->SetStatusText(3, Gb("找不到主机或端口，封包扔掉了！"));
        return;
    }
    QueueTo(it->first, p);
}

void HostRelay::QueueToOccupied(const Packet& p) {
    for (int s = 0; s < kSeats; ++s)
        if (Occupied(s)) QueueToSeat(s, p);
}

void HostRelay::SendWaiting(ConnId id, Conn& c) {
    while (!c.out.empty()) {
        const Packet& front = c.out.front().packet;
        const size_t n = links_.Write(id, front.data() + c.sentOfFront, front.size() - c.sentOfFront);
        c.sentOfFront += std::min(n, front.size() - c.sentOfFront);
        if (c.sentOfFront < front.size()) return;  // the rest when it is writable again
        auto from = c.bySender.find(c.out.front().from);
        if (from != c.bySender.end() && --from->second == 0) c.bySender.erase(from);
        c.out.pop_front();
        c.sentOfFront = 0;
    }
    if (c.closing) Drop(id, c, std::string());  // it has heard why
}

void HostRelay::Drop(ConnId id, Conn& c, const std::string& gbStatus) {
    if (!c.open) return;
    FreeSeatOf(id, c);
    // Marked first, so a link layer that reports the close at once finds
    // it gone already.
    c.open = false;
    links_.Close(id);
    // Nothing it held is kept; the entry itself goes at the next Sweep.
    c.paused = false;
    c.next.reset();
    c.out = {};
    c.bySender.clear();
    c.framer = PacketFramer{};
    if (!gbStatus.empty()) g_.ui->SetStatusText(3, gbStatus);
}

void HostRelay::FreeSeat(int s) {
    FreeSeatRecord(seats_[s]);
    auto it = conns_.find(seatConn_[s]);
    if (it != conns_.end() && !it->second.own && it->second.seat == s) {
        SetSeat(it->second, -1);
        // Nobody comes and goes on one address without pause, however many
        // connections he opens.
        rejoinAfter_[it->second.address] = Now() + kRejoinPauseSeconds;
    }
    seatConn_[s] = -1;
}

void HostRelay::FreeSeatOf(ConnId id, Conn& c) {
    if (c.own || c.seat < 0) return;
    const int s = c.seat;
    if (seatConn_[s] != id) {
        SetSeat(c, -1);
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
    auto it = conns_.find(holder);
    if (it == conns_.end() || it->second.own) return;
    // What stops a player who sits out his time is bound to him: his
    // address, not the seat, which anybody else may take at once.
    lockedAddresses_.insert(it->second.address);
    CloseAfter(it->first, it->second, cancel);
}

void HostRelay::CloseAfter(ConnId id, Conn& c, const Packet& farewell) {
    if (!Reachable(c)) return;
    c.closing = true;
    c.closingSince = Now();
    c.paused = false;
    c.next.reset();
    c.framer = PacketFramer{};
    QueueTo(id, farewell);
    SendWaiting(id, c);
}

std::optional<int32_t> HostRelay::AllowedSeat(const Conn& c, const Packet& p, Word w) const {
    std::optional<int32_t> seat;
    switch (w) {
        case Word::kSwitchEnd:
            if (auto b = DecodeSwitchEnd(p)) seat = b->seat;
            break;
        case Word::kMoveQz:
            if (auto b = DecodeMoveQz(p)) seat = b->seat;
            break;
        case Word::kChatMessage:
            if (auto b = DecodeChat(p)) seat = b->seat;
            break;
        default: seat = DecodeSeatWord(p, w);
    }
    if (!seat) return seat;
    // The host's own side: its own seat, and the seats the computer holds
    // now (what it sent for a seat a person has taken since is not its word).
    if (c.own) return *seat == 0 || seats_[*seat].state == 0 ? seat : std::nullopt;
    if (c.seat < 0 || *seat != c.seat) return std::nullopt;
    return seat;
}

void HostRelay::Handle(ConnId id, Conn& c, const Packet& p) {
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
    const std::optional<int32_t> seat = AllowedSeat(c, p, w);
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
            if (c.own && c.joinedRound == round_ && !referee_.Deploying() && !referee_.BattleBegun()) StartRound(p);
            break;
        case Word::kJoinCancel: HandleJoinCancel(c, s, p); break;
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

void HostRelay::HandleJoinCancel(Conn& c, int s, const Packet& p) {
    if (c.own) {
        // The host's player gives up its seat: the computer plays it.
        if (s == 0) HandOverSeat(0);
        return;
    }
    // Its connection holds it no longer (and its address takes none for a
    // while).
    FreeSeat(s);
    QueueToOccupied(p);
}

void HostRelay::HandleMove(ConnId id, Conn& c, int s, const Packet& p) {
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
    for (auto& [cid, e] : conns_) e.answerOwed = false;
    return true;
}

void HostRelay::HandleJoin(ConnId id, Conn& c, const Packet& p) {
    std::optional<SeatRec> rec = DecodeJoin(p);
    if (!rec) return;
    // The record names the connection it came on.
    PutBoundedText(rec->address, sizeof rec->address, c.address);
    rec->port = c.port;
    if (c.own) {
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
    if (s == 0 || (c.seat >= 0 && c.seat != s) || (!holder && Occupied(s)) || lockedAddresses_.count(c.address)) {
        // An honest side leaves on the first refusal; one that keeps asking
        // is closed.
        if (++c.refusals > kMaxRefusals)
            Drop(id, c, std::string());
        else
            QueueTo(id, EncodeBare(Word::kJoinRefuse));
        return;
    }
    // Its address gave up or lost a seat a moment ago: the join is answered
    // once the pause is over.
    auto pause = rejoinAfter_.find(c.address);
    if (!holder && pause != rejoinAfter_.end() && Now() < pause->second) {
        Wait(id, p);
        return;
    }
    // A person's seat, not deployed yet, whatever the record says; its
    // player's time counts from now.
    rec->state = 1;
    rec->deployed = 0;
    seatConn_[s] = id;
    SetSeat(c, s);
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

void HostRelay::HandleOwnJoin(ConnId id, Conn& c, SeatRec rec) {
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
    SetSeat(c, 0);
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
    Heard(b.seat);
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
