#include "net/host/door.h"

#include <algorithm>

#include "net/wire/framer.h"

namespace jq::net {

AcceptDoor::AcceptDoor() : slots_(kDoorWaiting) {
    free_.reserve(kDoorWaiting);
    for (size_t i = kDoorWaiting; i-- > 0;) free_.push_back(static_cast<uint32_t>(i));
    where_.reserve(kDoorWaiting);
    addresses_.reserve(kDoorWaiting);
    buckets_.reserve(kDoorAddresses);
}

bool AcceptDoor::Speaks(const uint8_t* data, size_t size) {
    if (size >= kPeekBytes) return true;
    PacketFramer f;
    f.Feed(data, size);
    return f.Next().has_value() || f.Broken();
}

std::optional<AcceptDoor::Id> AcceptDoor::Come(Id id, uint32_t address, int64_t nowMs) {
    if (where_.count(id) != 0) return id;
    auto known = addresses_.find(address);
    const int waiting = known == addresses_.end() ? 0 : known->second.waiting;
    if (waiting >= kDoorWaitingPerAddress) return id;
    std::optional<Id> gone;
    if (free_.empty()) {
        gone = MakeRoom();
        if (!gone && waiting < Standing(address)) {
            // A last holder's join back: the newest of those who stand by nothing gives way.
            uint32_t s = last_;
            while (s != kNone && Standing(slots_[s].address) > 0) s = slots_[s].prev;
            if (s != kNone) {
                gone = slots_[s].id;
                Remove(s);
            }
        }
        if (!gone) return id;
    }
    const uint32_t s = free_.back();
    free_.pop_back();
    slots_[s] = Entry{id, address, nowMs, false, last_, kNone};
    if (last_ != kNone) slots_[last_].next = s;
    else first_ = s;
    last_ = s;
    where_.emplace(id, s);
    ++addresses_[address].waiting;
    return gone;
}

std::optional<AcceptDoor::Id> AcceptDoor::MakeRoom() {
    uint32_t s = first_;
    while (s != kNone && slots_[s].spoken) s = slots_[s].next;
    if (s == kNone) return std::nullopt;
    const Id gone = slots_[s].id;
    Remove(s);
    return gone;
}

void AcceptDoor::Remove(uint32_t s) {
    Entry& e = slots_[s];
    if (e.prev != kNone) slots_[e.prev].next = e.next;
    else first_ = e.next;
    if (e.next != kNone) slots_[e.next].prev = e.prev;
    else last_ = e.prev;
    where_.erase(e.id);
    auto known = addresses_.find(e.address);
    if (known != addresses_.end()) {
        Address& a = known->second;
        if (e.spoken) {
            // At most kDoorWaitingPerAddress to walk.
            uint32_t before = kNone;
            for (uint32_t at = a.firstSpoken; at != kNone && at != s; at = slots_[at].nextSpoken) before = at;
            if (before == kNone) a.firstSpoken = e.nextSpoken;
            else slots_[before].nextSpoken = e.nextSpoken;
            if (a.lastSpoken == s) a.lastSpoken = before;
            if (a.firstSpoken == kNone) turns_.erase(a.turn);
        }
        if (--a.waiting <= 0) addresses_.erase(known);
    }
    e = Entry{};
    free_.push_back(s);
}

void AcceptDoor::Spoke(Id id) {
    auto it = where_.find(id);
    if (it == where_.end() || slots_[it->second].spoken) return;
    const uint32_t s = it->second;
    slots_[s].spoken = true;
    Address& a = addresses_[slots_[s].address];
    if (a.firstSpoken == kNone) {
        a.firstSpoken = s;
        a.turn = turns_.insert(turns_.end(), slots_[s].address);
    } else {
        slots_[a.lastSpoken].nextSpoken = s;
    }
    a.lastSpoken = s;
}

void AcceptDoor::Gone(Id id) {
    auto it = where_.find(id);
    if (it != where_.end()) Remove(it->second);
}

void AcceptDoor::SetStanding(std::vector<uint32_t> lastHolders) { standing_ = std::move(lastHolders); }

int AcceptDoor::Standing(uint32_t address) const {
    return static_cast<int>(std::count(standing_.begin(), standing_.end(), address));
}

void AcceptDoor::Forget(int64_t nowMs) {
    if (nowMs - forgotAt_ < 1000 && nowMs >= forgotAt_) return;
    forgotAt_ = nowMs;
    std::erase_if(buckets_, [nowMs](const auto& b) { return b.second.Full(kDoorRate, nowMs); });
}

bool AcceptDoor::LetInOne(uint32_t address, Address& a, int64_t nowMs, std::vector<Id>& in) {
    if (a.firstSpoken == kNone || !in_.Ready(kDoorIn, nowMs)) return false;
    auto b = buckets_.find(address);
    if (b == buckets_.end() && buckets_.size() < kDoorAddresses)
        b = buckets_.emplace(address, RateBucket(kDoorRate, nowMs)).first;
    if (b == buckets_.end() || !b->second.Take(kDoorRate, nowMs)) return false;
    in_.Take(kDoorIn, nowMs);
    in.push_back(slots_[a.firstSpoken].id);
    Remove(a.firstSpoken);
    return true;
}

std::vector<AcceptDoor::Id> AcceptDoor::LetIn(int64_t nowMs) {
    std::vector<Id> in;
    Forget(nowMs);
    for (const uint32_t address : standing_) {
        auto known = addresses_.find(address);
        if (known != addresses_.end()) LetInOne(address, known->second, nowMs, in);
    }
    // One turn each; an address its rate holds back keeps its place in the
    // turns. Stops when the total is spent or a whole turn let nobody in.
    size_t refused = 0;
    while (!turns_.empty() && refused < turns_.size() && in_.Ready(kDoorIn, nowMs)) {
        const uint32_t address = turns_.front();
        Address& a = addresses_.find(address)->second;
        turns_.splice(turns_.end(), turns_, turns_.begin());
        if (LetInOne(address, a, nowMs, in)) refused = 0;
        else ++refused;
    }
    return in;
}

std::vector<AcceptDoor::Id> AcceptDoor::Expired(int64_t nowMs) {
    std::vector<Id> out;
    for (uint32_t s = first_; s != kNone;) {
        const uint32_t next = slots_[s].next;
        if (!slots_[s].spoken) {
            // Those after it came later.
            if (nowMs - slots_[s].cameMs < kDoorSilentMs) break;
            out.push_back(slots_[s].id);
            Remove(s);
        }
        s = next;
    }
    return out;
}

std::vector<AcceptDoor::Id> AcceptDoor::Clear() {
    std::vector<Id> all;
    while (first_ != kNone) {
        all.push_back(slots_[first_].id);
        Remove(first_);
    }
    return all;
}

}  // namespace jq::net
