#include "net/relay.h"

#include <algorithm>

#include "core/text.h"

namespace jq::net {

namespace {

constexpr int kStepLimit = 500;
constexpr int kPeaceRequestsPerBattle = 3;

std::string Name(const SeatRec& r) { return BoundedText(r.name, sizeof r.name); }
std::string Address(const SeatRec& r) { return BoundedText(r.address, sizeof r.address); }

}  // namespace

HostRelay::HostRelay(GameState& host, ServerLinks& links) : g_(host), links_(links) {}

void HostRelay::Connected(ConnId id, const std::string& address, int port) {
    Conn& c = conns_[id];
    c = Conn{};
    c.address = address;
    c.port = port;
}

void HostRelay::SetOwnEndpoint(const std::string& address, int port) {
    ownAddress_ = address;
    ownPort_ = port;
}

void HostRelay::Received(ConnId id, const uint8_t* data, size_t size) {
    auto it = conns_.find(id);
    if (it == conns_.end() || !it->second.open) return;
    if (g_.isNetHost == 0 || g_.netConnected == 0) return;
    Conn& c = it->second;
    if (!c.own && ownPort_ >= 0 && c.address == ownAddress_ && c.port == ownPort_) c.own = true;
    c.framer.Feed(data, size);
    while (c.open) {
        const std::optional<Packet> p = c.framer.Next();
        if (!p) break;
        Handle(id, c, *p);
    }
    if (c.open && c.framer.Broken()) Drop(id, c, Gb("未知封包，连接已断开：") + c.framer.Fault());
    Flush();
}

void HostRelay::Writable(ConnId id) {
    auto it = conns_.find(id);
    if (it != conns_.end() && it->second.open) SendWaiting(id, it->second);
}

void HostRelay::Closed(ConnId id) {
    auto it = conns_.find(id);
    if (it == conns_.end()) return;
    it->second.open = false;
    it->second.out.clear();
}

bool HostRelay::Pending() const {
    return std::any_of(conns_.begin(), conns_.end(), [](const auto& e) { return e.second.open && !e.second.out.empty(); });
}

void HostRelay::Flush() {
    for (auto& [id, c] : conns_)
        if (c.open) SendWaiting(id, c);
}

bool HostRelay::HasConnections() const {
    return std::any_of(conns_.begin(), conns_.end(), [](const auto& e) { return e.second.open; });
}

void HostRelay::CloseSeatConnection(int seat) {
    if (!IsValidSeat(seat)) return;
    auto it = conns_.find(seatConn_[seat]);
    if (it == conns_.end() || it->second.own || !it->second.open) return;
    links_.Close(it->first);
    it->second.open = false;
    it->second.out.clear();
}

void HostRelay::StopListening() {
    links_.Stop();
    for (auto& [id, c] : conns_) {
        c.open = false;
        c.out.clear();
    }
}

void HostRelay::AdmitWaitingJoins() {
    std::vector<std::pair<ConnId, Packet>> joins;
    joins.swap(waitingJoins_);
    for (const auto& [id, p] : joins) {
        auto it = conns_.find(id);
        if (it != conns_.end() && it->second.open) HandleJoin(id, it->second, p);
    }
    if (!joins.empty()) Flush();
}

int HostRelay::SeatOfConnection(ConnId id) const {
    auto it = conns_.find(id);
    return it == conns_.end() ? -1 : it->second.seat;
}

bool HostRelay::Occupied(int seat) const { return g_.seatTable[seat].state != 0; }

void HostRelay::QueueTo(ConnId id, const Packet& p) {
    Conn& c = conns_[id];
    c.out.push_back(p);
    if (c.out.size() > kOutboxLimit) Drop(id, c, Gb("军棋服务器缓冲空间不足,数据丢失!"));
}

void HostRelay::QueueToSeat(int seat, const Packet& p) {
    auto it = conns_.find(seatConn_[seat]);
    if (it == conns_.end() || !it->second.open) {
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
        const Packet& front = c.out.front();
        const size_t n = links_.Write(id, front.data() + c.sentOfFront, front.size() - c.sentOfFront);
        c.sentOfFront += std::min(n, front.size() - c.sentOfFront);
        if (c.sentOfFront < front.size()) return;  // the rest when it is writable again
        c.out.pop_front();
        c.sentOfFront = 0;
    }
}

void HostRelay::Drop(ConnId id, Conn& c, const std::string& gbStatus) {
    links_.Close(id);
    c.open = false;
    c.out.clear();
    g_.ui->SetStatusText(3, gbStatus);
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
    if (!seat) return;
    const int s = *seat;
    switch (w) {
        case Word::kJoinOk:
            // Only the host's own player starts a battle; its deployment
            // round begins.
            if (!c.own) return;
            std::fill(std::begin(deployedSeen_), std::end(deployedSeen_), false);
            allDeployedSent_ = false;
            deploymentOpen_ = true;
            ClearPeace();
            std::fill(std::begin(peaceRequests_), std::end(peaceRequests_), 0);
            QueueToOccupied(p);
            break;
        case Word::kJoinCancel: {
            SeatRec& r = g_.seatTable[s];
            if (s != 0) {
                PutBoundedText(r.name, sizeof r.name, Gb("计算机"));
                r.state = 0;
                // The seat is free: its connection holds it no longer.
                auto it = conns_.find(seatConn_[s]);
                if (it != conns_.end() && !it->second.own) it->second.seat = -1;
                seatConn_[s] = -1;
            }
            QueueToOccupied(p);
            if (s == 0) {
                PutBoundedText(r.name, sizeof r.name, Gb("计算机"));
                r.state = 2;
            }
            break;
        }
        case Word::kSwitchEnd:
            // Only while the seats deploy: one sent in the waiting room or
            // once the battle runs counts for nothing.
            if (Deploying()) HandleSwitchEnd(p);
            break;
        case Word::kMoveQz:
            if (g_.stepCount >= kStepLimit)
                QueueToOccupied(EncodeBare(Word::kMaxStepLimited));
            else
                QueueToOccupied(p);
            break;
        case Word::kPeaceRequest: HandlePeaceRequest(s, p); break;
        case Word::kPeaceOk:
        case Word::kPeaceAbort: HandlePeaceAnswer(p, w); break;
        case Word::kChatMessage: QueueToOccupied(p); break;
        default: break;
    }
}

void HostRelay::HandleJoin(ConnId id, Conn& c, const Packet& p) {
    std::optional<SeatRec> rec = DecodeJoin(p);
    if (!rec) return;
    const int s = rec->seat;
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
    if (!c.own && c.seat == s && seatConn_[s] == id && held.state != 0 && roundUnderWay) {
        waitingJoins_.emplace_back(id, p);
        return;
    }
    const bool samePlayer = Address(held) == Address(*rec) && held.seat == rec->seat && Name(held) == Name(*rec);
    auto holder = conns_.find(seatConn_[s]);
    const bool heldByOpenConnection = holder != conns_.end() && holder->first != id && holder->second.open;
    const bool holdsAnotherSeat = c.seat >= 0 && c.seat != s;
    // The host's own side takes the seat it names (its own, or one it
    // plays); a remote side without another seat a free seat or its own
    // again once its old connection has closed, never seat 0.
    if (!c.own && (s == 0 || holdsAnotherSeat || heldByOpenConnection || (held.state != 0 && !samePlayer))) {
        QueueTo(id, EncodeBare(Word::kJoinRefuse));
        return;
    }
    // The seat moves to this connection.
    if (c.seat >= 0 && seatConn_[c.seat] == id) seatConn_[c.seat] = -1;
    auto old = conns_.find(seatConn_[s]);
    if (old != conns_.end() && old->first != id) old->second.seat = -1;
    seatConn_[s] = id;
    c.seat = s;
    g_.seatTable[s] = *rec;
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
    if (allDeployedSent_ || !std::all_of(std::begin(deployedSeen_), std::end(deployedSeen_), [](bool d) { return d; }))
        return;
    allDeployedSent_ = true;
    deploymentOpen_ = false;
    // The battle starts: no draw offer carries over into it.
    ClearPeace();
    std::fill(std::begin(peaceRequests_), std::end(peaceRequests_), 0);
    const OptionsRec& o = g_.optionsRecord;
    QueueToOccupied(EncodeAllSwitchEnd(AllSwitchEndBody{g_.curSeat, g_.turnDirection, o.netMoveTimeOption,
                                                        o.netDeployTimeOption, o.netDisconnectTimeOption}));
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
    ClearPeace();
}

void HostRelay::ClearPeace() {
    std::fill(std::begin(g_.peaceVotes), std::end(g_.peaceVotes), 0);
    peaceOpen_ = false;
}

Packet HostRelay::BuildJoinLast() const {
    JoinLastBody b;
    for (int s = 0; s < kSeats; ++s) b.seats[s] = g_.seatTable[s];
    for (int k = 0; k < kPieceCount; ++k) {
        const PieceRec& pc = g_.pieces[k];
        b.x[k] = static_cast<int8_t>(pc.x);
        b.y[k] = static_cast<int8_t>(pc.y);
        b.code[k] = static_cast<int8_t>(pc.code);
        b.alive[k] = static_cast<int8_t>(pc.alive);
    }
    const int n = std::clamp(g_.stepCount, 0, kMaxSteps);
    b.steps.assign(g_.stepRecords, g_.stepRecords + n);
    b.curSeat = g_.curSeat;
    b.turnDirection = g_.turnDirection == -1 ? -1 : 1;
    b.netState = g_.netState;
    const OptionsRec& o = g_.optionsRecord;
    b.moveTime = o.netMoveTimeOption;
    b.deployTime = o.netDeployTimeOption;
    b.disconnectTime = o.netDisconnectTimeOption;
    return EncodeJoinLast(b);
}

}  // namespace jq::net
