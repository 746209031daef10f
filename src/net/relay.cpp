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

std::string Name(const SeatRec& r) { return BoundedText(r.name, sizeof r.name); }
std::string Address(const SeatRec& r) { return BoundedText(r.address, sizeof r.address); }

}  // namespace

HostRelay::HostRelay(GameState& host, ServerLinks& links) : g_(host), links_(links), referee_(host) {}

int32_t HostRelay::Now() const { return g_.ui->Now().seconds; }

void HostRelay::Connected(ConnId id, const std::string& address, int port) {
    const bool own = ownPort_ >= 0 && address == ownAddress_ && port == ownPort_;
    // Too many without a seat: the one that has waited longest goes, so
    // idle connections cannot lock out a player who joins now. Until the
    // host's own side is known, nobody is turned away.
    std::vector<std::pair<int32_t, ConnId>> seatless;
    for (const auto& [cid, e] : conns_)
        if (e.open && !e.own && e.seat < 0) seatless.emplace_back(e.seatlessSince, cid);
    if (!own && ownPort_ >= 0 && static_cast<int>(seatless.size()) >= kMaxSeatless) {
        const ConnId oldest = std::min_element(seatless.begin(), seatless.end())->second;
        ++depth_;
        Drop(oldest, conns_.at(oldest), std::string());
        --depth_;
    }
    Conn& c = conns_[id];
    c = Conn{};
    c.address = address;
    c.port = port;
    c.own = own;
    c.movedAt = c.seatlessSince = Now();
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
    ++depth_;
    Conn& c = it->second;
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

void HostRelay::TakePackets(ConnId id, Conn& c) {
    while (c.open) {
        if (!RoomFor(id)) {
            c.paused = true;
            return;
        }
        c.paused = false;
        const std::optional<Packet> p = c.framer.Next();
        if (!p) break;
        handling_ = id;
        Handle(id, c, *p);
        handling_ = -1;
        // A seat freed on the way is told after the packet it came with.
        TellFreedSeats();
        // Sent on before the next is taken, so the queues drain between
        // packets.
        Flush();
    }
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
    return it != conns_.end() && Reachable(it->second) && !it->second.paused;
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
    // still there (a paused sender waits for room as before), then it goes.
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

void HostRelay::CheckConnections() {
    const int32_t now = Now();
    const int32_t stall = g_.netDisconnectTime > 0 ? g_.netDisconnectTime : 60;
    bool closed = false;
    ++depth_;
    for (auto& [id, c] : conns_) {
        if (!c.open || c.own) continue;
        // Once a round is under way its seat stays, as with any connection
        // that has gone, until a time-out or "JoinCancel". Until the host's
        // own side is known, no connection is taken for one without a seat.
        if (c.seat >= 0 && !c.out.empty() && now - c.movedAt > stall) {
            Drop(id, c, std::string());
            closed = true;
        } else if (c.seat < 0 && ownPort_ >= 0 && now - c.seatlessSince > kSeatlessSeconds) {
            Drop(id, c, std::string());
            closed = true;
        }
    }
    TellFreedSeats();
    if (closed) ResumeSenders();
    --depth_;
    Sweep();
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

void HostRelay::CloseSeatConnection(int seat) {
    if (!IsValidSeat(seat)) return;
    auto it = conns_.find(seatConn_[seat]);
    if (it == conns_.end() || it->second.own || !it->second.open) return;
    ++depth_;
    Drop(it->first, it->second, std::string());
    TellFreedSeats();
    ResumeSenders();
    --depth_;
    Sweep();
}

void HostRelay::StopListening() {
    links_.Stop();
    for (auto& [id, c] : conns_) c.open = false;
    waitingJoins_.clear();
    Sweep();
}

void HostRelay::AdmitWaitingJoins() {
    roundOpen_ = false;
    if (waitingJoins_.empty()) return;
    std::vector<std::pair<ConnId, Packet>> joins;
    joins.swap(waitingJoins_);
    ++depth_;
    for (auto& [id, p] : joins) {
        auto it = conns_.find(id);
        if (it == conns_.end() || !it->second.open) continue;
        if (!RoomFor(id)) {
            waitingJoins_.emplace_back(id, std::move(p));  // its turn comes when the queues have room
            continue;
        }
        handling_ = id;
        HandleJoin(id, it->second, p);
        handling_ = -1;
        TellFreedSeats();
        Flush();
    }
    --depth_;
    Sweep();
}

int HostRelay::SeatOfConnection(ConnId id) const {
    auto it = conns_.find(id);
    return it == conns_.end() ? -1 : it->second.seat;
}

bool HostRelay::Occupied(int seat) const { return g_.seatTable[seat].state != 0; }

void HostRelay::QueueTo(ConnId id, const Packet& p) {
    auto it = conns_.find(id);
    if (it == conns_.end() || !Reachable(it->second)) return;
    Conn& c = it->second;
    // A full queue: the connection takes nothing, and is closed.
    if (c.out.size() >= kOutboxLimit) {
        Drop(id, c, Gb("军棋服务器缓冲空间不足,数据丢失!"));
        return;
    }
    if (c.out.empty()) c.movedAt = Now();
    c.out.push_back(Queued{p, handling_});
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
    c.out = {};
    c.bySender.clear();
    c.framer = PacketFramer{};
    if (!gbStatus.empty()) g_.ui->SetStatusText(3, gbStatus);
}

void HostRelay::FreeSeatOf(ConnId id, Conn& c) {
    if (roundOpen_ || c.own || c.seat < 0) return;
    const int s = c.seat;
    SetSeat(c, -1);
    if (seatConn_[s] != id) return;
    seatConn_[s] = -1;
    SeatRec& r = g_.seatTable[s];
    if (r.state == 0) return;  // free already: nobody is to be told
    FreeSeatRecord(r);
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
    if (!seat || c.own) return seat;
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
        // A move for a seat the connection does not hold.
        if (w == Word::kMoveQz)
            if (auto b = DecodeMoveQz(p))
                g_.ui->SetStatusText(3, HostReferee::VerdictText(HostReferee::Verdict::kNotToMove, b->seat));
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
            // Only the host's own player starts a battle; its deployment
            // round begins.
            if (!c.own) return;
            std::fill(std::begin(deployedSeen_), std::end(deployedSeen_), false);
            allDeployedSent_ = false;
            deploymentOpen_ = true;
            roundOpen_ = true;
            ClearPeace();
            std::fill(std::begin(peaceRequests_), std::end(peaceRequests_), 0);
            QueueToOccupied(p);
            referee_.DeploymentBegins();
            break;
        case Word::kJoinCancel: GiveUpSeat(s, p); break;
        case Word::kSwitchEnd:
            // Only while the seats deploy: one sent in the waiting room or
            // once the battle runs counts for nothing.
            if (Deploying()) HandleSwitchEnd(p);
            break;
        case Word::kMoveQz: HandleMove(c, s, p); break;
        case Word::kPeaceRequest: HandlePeaceRequest(s, p); break;
        case Word::kPeaceOk:
        case Word::kPeaceAbort: HandlePeaceAnswer(p, w); break;
        case Word::kChatMessage: QueueToOccupied(p); break;
        default: break;
    }
}

void HostRelay::GiveUpSeat(int s, const Packet& cancel) {
    SeatRec& r = g_.seatTable[s];
    if (s != 0) {
        // The whole record goes, as every side drops it.
        FreeSeatRecord(r);
        // The seat is free: its connection holds it no longer.
        auto it = conns_.find(seatConn_[s]);
        if (it != conns_.end() && !it->second.own) SetSeat(it->second, -1);
        seatConn_[s] = -1;
    }
    QueueToOccupied(cancel);
    if (s == 0) {
        PutBoundedText(r.name, sizeof r.name, Gb("计算机"));
        r.state = 2;
    }
}

void HostRelay::HandleMove(const Conn& c, int s, const Packet& p) {
    const MoveQzBody b = *DecodeMoveQz(p);
    using Verdict = HostReferee::Verdict;
    // The host's own side moves for its own seat and for the computer's,
    // never for a seat a person holds elsewhere.
    const Verdict v =
        c.own && s != g_.myNetSeat && g_.seatTable[s].state == 1 ? Verdict::kNotToMove : referee_.Judge(b);
    if (v != Verdict::kNoBattle && v != Verdict::kNotToMove && referee_.Game().stepCount >= kStepLimit) {
        // The seat to move finds the step limit reached: the battle ends drawn.
        QueueToOccupied(EncodeBare(Word::kMaxStepLimited));
        referee_.EndsDrawn();
        return;
    }
    if (v == Verdict::kHandOver) {
        // Its fourth time-out: the seat goes to the computer, as its own
        // side would give it up, and its connection is closed.
        const ConnId holder = seatConn_[s];
        GiveUpSeat(s, EncodeSeatWord(Word::kJoinCancel, s));
        auto it = conns_.find(holder);
        if (it != conns_.end() && !it->second.own) Drop(it->first, it->second, std::string());
    }
    if (v != Verdict::kRelay) {
        g_.ui->SetStatusText(3, HostReferee::VerdictText(v, s));
        // The host's own side gave up its turn when it sent the move, and
        // would get it back only with the next step: it chooses again. Its
        // computer moves only for a seat nobody holds, and a time-out is
        // not sent twice, since the side counts them as it sends them.
        if (c.own && v != Verdict::kTooEarly && v != Verdict::kHandOver) {
            g_.netMyTurn = 1;
            g_.aiMoverGuard = -1;
        }
        return;
    }
    QueueToOccupied(p);
    referee_.Apply(b);
}

void HostRelay::HandleJoin(ConnId id, Conn& c, const Packet& p) {
    std::optional<SeatRec> rec = DecodeJoin(p);
    if (!rec) return;
    const int s = rec->seat;
    // The host's own side joins only in the waiting room.
    if (c.own) roundOpen_ = false;
    // The record names the connection it came on.
    PutBoundedText(rec->address, sizeof rec->address, c.address);
    rec->port = c.port;
    if (!c.own) {
        // A person's seat, not deployed yet, whatever the record says.
        rec->state = 1;
        rec->deployed = 0;
    }
    const SeatRec& held = g_.seatTable[s];
    const bool roundUnderWay = g_.netState >= kNetHostStarted && g_.netState <= kNetBattle;
    // A side that rejoins its seat for the next round while the host's side
    // still plays the last one; or anyone who joins once the battle has
    // ended on the copy but not yet on the host's side: "JoinLast" would
    // tell of a battle that runs no more (after a draw the joiner would wait
    // for moves forever). Both are answered from the waiting room.
    const bool rejoinsForNextRound = c.seat == s && seatConn_[s] == id && held.state != 0;
    const bool battleOver = referee_.BattleBegun() && !referee_.Running();
    if (!c.own && roundUnderWay && (rejoinsForNextRound || battleOver)) {
        // One waits per connection: the latest.
        auto w = std::find_if(waitingJoins_.begin(), waitingJoins_.end(), [id](const auto& j) { return j.first == id; });
        if (w != waitingJoins_.end())
            w->second = p;
        else
            waitingJoins_.emplace_back(id, p);
        return;
    }
    // The same player: the address and name the seat is held with, in the
    // seat table and on the connection that holds it (which may still look
    // open long after his network dropped it).
    const std::string name = Name(*rec);
    const bool samePlayer = Address(held) == Address(*rec) && held.seat == rec->seat && Name(held) == name;
    auto holder = conns_.find(seatConn_[s]);
    const bool heldByOpenConnection = holder != conns_.end() && holder->first != id && holder->second.open;
    const bool holderIsSamePlayer =
        heldByOpenConnection && holder->second.address == c.address && holder->second.name == name;
    const bool holdsAnotherSeat = c.seat >= 0 && c.seat != s;
    // The host's own side takes the seat it names (its own, or one it
    // plays); a remote side without another seat a free seat or its own
    // again, never seat 0.
    if (!c.own && (s == 0 || holdsAnotherSeat || (heldByOpenConnection && !holderIsSamePlayer) ||
                   (held.state != 0 && !samePlayer))) {
        // An honest side leaves on the first refusal; one that keeps asking
        // is closed.
        if (++c.refusals > kMaxRefusals)
            Drop(id, c, std::string());
        else
            QueueTo(id, EncodeBare(Word::kJoinRefuse));
        return;
    }
    // The host's own side joins at the start of each round: its copy of the
    // battle starts afresh, at step 0.
    if (c.own) referee_.NewRound();
    // The seat moves to this connection. The same player's old connection
    // is closed: whatever still comes on it is not his any more.
    if (c.seat >= 0 && seatConn_[c.seat] == id) seatConn_[c.seat] = -1;
    auto old = conns_.find(seatConn_[s]);
    if (old != conns_.end() && old->first != id) {
        SetSeat(old->second, -1);
        if (!c.own && !old->second.own) Drop(old->first, old->second, std::string());
    }
    seatConn_[s] = id;
    SetSeat(c, s);
    c.name = name;
    g_.seatTable[s] = *rec;
    referee_.SeatTaken(s);
    // Taken during the deployment, the seat deploys again: what was sent
    // for it before is not what its new side lays out.
    if (!allDeployedSent_) deployedSeen_[s] = false;
    const Packet relayed = EncodeJoin(*rec);
    for (int i = 0; i < kSeats; ++i) {
        if (!Occupied(i)) continue;
        QueueToSeat(i, i == s ? BuildJoinLast() : relayed);
    }
}

void HostRelay::HandleSwitchEnd(const Packet& p) {
    const SwitchEndBody b = *DecodeSwitchEnd(p);
    g_.seatTable[b.seat].deployed = 2;
    deployedSeen_[b.seat] = true;
    QueueToOccupied(p);
    referee_.Deployed(b);
    if (allDeployedSent_ || !std::all_of(std::begin(deployedSeen_), std::end(deployedSeen_), [](bool d) { return d; }))
        return;
    allDeployedSent_ = true;
    deploymentOpen_ = false;
    // The battle starts: no draw offer carries over into it.
    ClearPeace();
    std::fill(std::begin(peaceRequests_), std::end(peaceRequests_), 0);
    const OptionsRec& o = g_.optionsRecord;
    const AllSwitchEndBody start{g_.curSeat, g_.turnDirection, o.netMoveTimeOption, o.netDeployTimeOption,
                                 o.netDisconnectTimeOption};
    QueueToOccupied(EncodeAllSwitchEnd(start));
    referee_.BattleBegins(start);
}

bool HostRelay::Deploying() const {
    return deploymentOpen_ && g_.netState >= kNetHostStarted && g_.netState <= kNetAllDeployed;
}

void HostRelay::HandlePeaceRequest(int seat, const Packet& p) {
    if (peaceRequests_[seat] >= kPeaceRequestsPerBattle) {
        // Asked too often: refused without asking anybody.
        QueueToSeat(seat, EncodeSeatWord(Word::kPeaceFinalAbort, g_.myNetSeat));
        return;
    }
    ++peaceRequests_[seat];
    bool open = false;
    for (int i = 0; i < kSeats; ++i) {
        g_.peaceVotes[i] = (i == seat || !Occupied(i)) ? 1 : 0;
        if (g_.peaceVotes[i] == 0) open = true;
        if (Occupied(i) && i != seat) QueueToSeat(i, p);
    }
    peaceOpen_ = open;
    // Nobody else to ask: computer and free seats agree at once.
    if (!open) DecidePeace(false);
}

void HostRelay::HandlePeaceAnswer(const Packet& p, Word w) {
    const int a = *DecodeSeatWord(p, w);
    // An answer counts only for an open request, once, from a seat asked.
    if (!peaceOpen_ || g_.peaceVotes[a] != 0) return;
    g_.peaceVotes[a] = w == Word::kPeaceOk ? 1 : 2;
    bool refused = false;
    for (int v : g_.peaceVotes) {
        if (v == 0) return;
        if (v == 2) refused = true;
    }
    DecidePeace(refused);
}

void HostRelay::DecidePeace(bool refused) {
    QueueToOccupied(EncodeSeatWord(refused ? Word::kPeaceFinalAbort : Word::kPeaceFinalOk, g_.myNetSeat));
    if (!refused) referee_.EndsDrawn();
    ClearPeace();
}

void HostRelay::ClearPeace() {
    std::fill(std::begin(g_.peaceVotes), std::end(g_.peaceVotes), 0);
    peaceOpen_ = false;
}

Packet HostRelay::BuildJoinLast() const {
    // Everything relayed so far is on the copy; the host's own side may not
    // have applied it yet.
    const GameState& copy = referee_.Game();
    JoinLastBody b;
    for (int s = 0; s < kSeats; ++s) b.seats[s] = g_.seatTable[s];
    for (int k = 0; k < kPieceCount; ++k) {
        const PieceRec& pc = copy.pieces[k];
        b.x[k] = static_cast<int8_t>(pc.x);
        b.y[k] = static_cast<int8_t>(pc.y);
        b.code[k] = static_cast<int8_t>(pc.code);
        b.alive[k] = static_cast<int8_t>(pc.alive);
    }
    const bool waitingRoom = g_.netState < kNetHostStarted || g_.netState > kNetBattle;
    const bool battle = referee_.BattleBegun() && !waitingRoom;
    const int n = battle ? std::clamp(copy.stepCount, 0, kMaxSteps) : 0;
    b.steps.assign(copy.stepRecords, copy.stepRecords + n);
    const GameState& turn = battle ? copy : g_;
    b.curSeat = turn.curSeat;
    b.turnDirection = turn.turnDirection == -1 ? -1 : 1;
    b.netState = g_.netState;
    if (battle)
        b.netState = kNetBattle;
    else if (referee_.Deploying() && (g_.netState < kNetDeployBegins || g_.netState > kNetOwnDeploySent))
        b.netState = kNetDeployBegins;
    const OptionsRec& o = g_.optionsRecord;
    b.moveTime = o.netMoveTimeOption;
    b.deployTime = o.netDeployTimeOption;
    b.disconnectTime = o.netDisconnectTimeOption;
    return EncodeJoinLast(b);
}

}  // namespace jq::net
