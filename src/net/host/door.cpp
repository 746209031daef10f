#include "net/host/door.h"

#include "net/wire/framer.h"

namespace jq::net {

AcceptDoor::AcceptDoor() : slots_(kDoorWaiting) {
    free_.reserve(kDoorWaiting);
    for (size_t i = kDoorWaiting; i-- > 0;) free_.push_back(static_cast<uint32_t>(i));
    where_.reserve(kDoorWaiting);
    waitingOf_.reserve(kDoorWaiting);
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
    auto count = waitingOf_.find(address);
    if (count != waitingOf_.end() && count->second >= kDoorWaitingPerAddress) return id;
    std::optional<Id> gone;
    if (free_.empty()) {
        gone = MakeRoom();
        if (!gone) return id;
    }
    const uint32_t s = free_.back();
    free_.pop_back();
    slots_[s] = Entry{id, address, nowMs, false, last_, kNone};
    if (last_ != kNone) slots_[last_].next = s;
    else first_ = s;
    last_ = s;
    where_.emplace(id, s);
    ++waitingOf_[address];
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
    if (e.spoken) --spoken_;
    auto count = waitingOf_.find(e.address);
    if (count != waitingOf_.end() && --count->second <= 0) waitingOf_.erase(count);
    e = Entry{};
    free_.push_back(s);
}

void AcceptDoor::Spoke(Id id) {
    auto it = where_.find(id);
    if (it == where_.end() || slots_[it->second].spoken) return;
    slots_[it->second].spoken = true;
    ++spoken_;
}

void AcceptDoor::Gone(Id id) {
    auto it = where_.find(id);
    if (it != where_.end()) Remove(it->second);
}

void AcceptDoor::Forget(int64_t nowMs) {
    if (nowMs - forgotAt_ < 1000 && nowMs >= forgotAt_) return;
    forgotAt_ = nowMs;
    std::erase_if(buckets_, [nowMs](const auto& b) { return b.second.Full(kDoorRate, nowMs); });
}

std::vector<AcceptDoor::Id> AcceptDoor::LetIn(int64_t nowMs) {
    std::vector<Id> in;
    Forget(nowMs);
    for (uint32_t s = first_; s != kNone && spoken_ > 0;) {
        const uint32_t next = slots_[s].next;
        Entry& e = slots_[s];
        if (e.spoken) {
            if (!in_.Ready(kDoorIn, nowMs)) break;
            auto b = buckets_.find(e.address);
            if (b == buckets_.end() && buckets_.size() < kDoorAddresses)
                b = buckets_.emplace(e.address, RateBucket(kDoorRate, nowMs)).first;
            if (b != buckets_.end() && b->second.Take(kDoorRate, nowMs)) {
                in_.Take(kDoorIn, nowMs);
                in.push_back(e.id);
                Remove(s);
            }
        }
        s = next;
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
