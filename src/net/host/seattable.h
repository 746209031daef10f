// Who holds each seat, and what each side has been told of the seats.
//
// Seat holding is state, not a stream of events. The table holds every seat
// as it stands (a person's, by his record and whether his deployment
// stands, or the computer's) and, for every side, what that side holds of
// the seats once everything sent to it has arrived: what it was sent, and
// what the host's side writes itself (a computer seat it has sent the
// formation of, it holds as deployed, whatever the relay makes of it). Each
// change of a seat, and each such word of the host's side, queues a sync
// point to the side; when the side's turn on the wire comes, it is sent
// the differences between what it holds and the seats as they stand then,
// as "Join" (a person holds the seat, with his record and whether his
// deployment stands) or "JoinCancel" (the computer holds it; for the host's
// side, not deployed: its computer deploys it again). A change undone
// before it was sent costs nothing and hides nothing; a side holds at most
// one notice per seat, whatever the churn. A "JoinLast" is a picture of
// the seats when it was built.
//
// The one invariant: a side whose queue has emptied holds every seat as it
// stands (Knows), whatever arrived in whatever order or gap.
#pragma once

#include <cstdint>
#include <vector>

#include "core/qipan.h"
#include "net/lan.h"

namespace jq::net {

class SeatTable {
public:
    // Who holds a seat.
    struct Holding {
        // As the sides are told: state 0 the computer's, 1 a person's, 2 the
        // host's computer at seat 0; deployed 2 once its deployment counts.
        SeatRec rec;
        // The connection that holds it (the host's own at seat 0), -1 none.
        ConnId conn = -1;
        // When a packet of its player that changed something was last taken.
        int64_t heardMs = 0;
        // The change count when it last changed.
        uint64_t changed = 0;
    };
    // What a side holds of the seats.
    using Told = SeatRec[kSeats];

    SeatTable();

    Holding& operator[](int s) { return holds_[s]; }
    const Holding& operator[](int s) const { return holds_[s]; }
    Holding* begin() { return holds_; }
    Holding* end() { return holds_ + kSeats; }
    const Holding* begin() const { return holds_; }
    const Holding* end() const { return holds_ + kSeats; }
    // The seat a connection holds, -1 none.
    int SeatOf(ConnId id) const;

    // Seat `s` changed: the stamp of the change, which the sync points
    // queued to every seated side from now on stand for.
    uint64_t Changed(int s);
    // The newest change's stamp.
    uint64_t Changes() const { return changes_; }
    // A sync point standing for the changes up to `stamp` has reached the
    // side's turn on the wire: the notices that tell it what it does not
    // know yet (a seat changed again since is told at its own sync point,
    // after what was relayed before that change).
    std::vector<Packet> SyncPoint(const Told& told, uint64_t stamp, bool hostSide, bool deploying) const;
    // A packet has gone out whole to the side.
    static void Sent(Told& told, const Packet& p, bool hostSide);
    // The host's side has sent the formation of seat `s`: a computer seat it
    // holds as deployed from then on (a sync point queued behind this tells
    // it otherwise, if the seat stands otherwise).
    static void FormationSent(Told& told, int s);
    // Whether a side holding `table` knows the seats as they stand
    // (`truth`, the relay's Seat): who holds each (a person, by his record,
    // or the computer) and, for the host's side while the seats deploy,
    // whose deployment stands.
    static bool Knows(const SeatRec (&table)[kSeats], const SeatRec (&truth)[kSeats], bool hostSide, bool deploying);

private:
    Holding holds_[kSeats];
    // Changes of the seats so far (each seat's `changed` is one of them).
    uint64_t changes_ = 0;
};

}  // namespace jq::net
