#include "net/host/seattable.h"

#include <cstring>

#include "core/text.h"
#include "net/netbattle.h"

namespace jq::net {

namespace {

// What a side makes of a seat record: a person's record as it stands, the
// computer's seat as such (the host's side keeps its own seat's record);
// and, for the host's side while the seats deploy, whether the deployment
// stands (its side deploys the computer's seats that have none).
SeatRec Meaning(const SeatRec& r, int s, bool hostSide, bool deploying) {
    SeatRec m = r;
    if (r.state != 1 && !(s == 0 && hostSide)) {
        FreeSeatRecord(m);
        m.deployed = r.deployed;
    }
    if (!deploying || !hostSide) m.deployed = 0;
    return m;
}

bool SameMeaning(const SeatRec& a, const SeatRec& b, int s, bool hostSide, bool deploying) {
    const SeatRec x = Meaning(a, s, hostSide, deploying), y = Meaning(b, s, hostSide, deploying);
    return std::memcmp(x.name, y.name, sizeof x.name) == 0 && std::memcmp(x.address, y.address, sizeof x.address) == 0 &&
           x.port == y.port && x.seat == y.seat && x.state == y.state && x.deployed == y.deployed;
}

// The notice that tells a side how seat `s` stands.
Packet NoticeOf(const SeatRec& truth, int s) {
    return truth.state == 1 ? EncodeJoin(truth) : EncodeSeatWord(Word::kJoinCancel, s);
}

// What a side that holds `known` for seat `s` holds after a "Join" or a
// "JoinCancel" (the host's side keeps its own seat, the computer's from
// now on).
SeatRec AfterNotice(const SeatRec& known, const Packet& notice, int s, bool hostSide) {
    if (PacketWord(notice) == Word::kJoin) return *DecodeJoin(notice);
    SeatRec r = known;
    if (s == 0 && hostSide) {
        PutBoundedText(r.name, sizeof r.name, Gb("计算机"));
        r.state = 2;
    } else {
        FreeSeatRecord(r);
    }
    return r;
}

}  // namespace

SeatTable::SeatTable() {
    for (Holding& h : holds_) FreeSeatRecord(h.rec);
}

int SeatTable::SeatOf(ConnId id) const {
    for (int s = 0; s < kSeats; ++s)
        if (holds_[s].conn == id && id >= 0) return s;
    return -1;
}

uint64_t SeatTable::Changed(int s) { return holds_[s].changed = ++changes_; }

std::vector<Packet> SeatTable::SyncPoint(const Told& told, uint64_t stamp, bool hostSide, bool deploying) const {
    std::vector<Packet> said;
    for (int s = 0; s < kSeats; ++s) {
        if (holds_[s].changed > stamp) continue;
        // Told only what it does not know yet, and only what the notice can
        // tell it. A deployment taken reaches every side by its own
        // "SwitchEnd", relayed behind what was queued before it: a notice
        // tells only of one that no longer stands.
        SeatRec truth = holds_[s].rec;
        if (told[s].deployed != 2) truth.deployed = 0;
        if (SameMeaning(told[s], truth, s, hostSide, deploying)) continue;
        Packet notice = NoticeOf(holds_[s].rec, s);
        if (!SameMeaning(AfterNotice(told[s], notice, s, hostSide), told[s], s, hostSide, deploying))
            said.push_back(std::move(notice));
    }
    return said;
}

void SeatTable::Sent(Told& told, const Packet& p, bool hostSide) {
    switch (*PacketWord(p)) {
        case Word::kJoin:
        case Word::kJoinCancel: {
            const int s = *SeatNamed(p);
            told[s] = AfterNotice(told[s], p, s, hostSide);
            break;
        }
        case Word::kSwitchEnd: told[DecodeSwitchEnd(p)->seat].deployed = 2; break;
        case Word::kJoinLast: {
            const JoinLastBody b = *DecodeJoinLast(p);
            for (int s = 0; s < kSeats; ++s) told[s] = b.seats[s];
            break;
        }
        default: break;
    }
}

void SeatTable::FormationSent(Told& told, int s) {
    // The host's side deploys only the seats it holds as the computer's.
    if (told[s].state == 0) told[s].deployed = 2;
}

bool SeatTable::Knows(const SeatRec (&table)[kSeats], const SeatRec (&truth)[kSeats], bool hostSide, bool deploying) {
    for (int s = 0; s < kSeats; ++s)
        if (!SameMeaning(table[s], truth[s], s, hostSide, deploying)) return false;
    return true;
}

}  // namespace jq::net
