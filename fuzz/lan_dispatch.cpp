// The client dispatcher and the pump: any bytes received from the host,
// applied to a side in a running battle or in its deployment, leave a game
// whose pieces stand on board points with their codes, whose seat to move,
// turn direction and step count are in range and whose seat records keep
// their names terminated.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/board.h"
#include "formations/zffile.h"
#include "net/netbattle.h"
#include "records/layout.h"

namespace {

using namespace jq;

class Link : public net::ClientLink {
public:
    bool Connected() const override { return true; }
    size_t Write(const uint8_t*, size_t size) override { return size; }
    void Close() override {}
    std::string LocalAddress() const override { return "127.0.0.1"; }
    int LocalPort() const override { return 5000; }
};

void Check(bool ok) {
    if (!ok) std::abort();
}

void CheckGame(const GameState& g) {
    for (int i = 0; i < kPieceCount; ++i) {
        const PieceRec& p = g.pieces[i];
        if (p.alive == 0) continue;
        Check(p.alive == 1 && IsValidCode(p.code) && PointIndexAt(Board(), p.x, p.y) >= 0);
    }
    Check(IsValidSeat(g.curSeat));
    Check(g.turnDirection == 1 || g.turnDirection == -1);
    Check(g.stepCount >= 0 && g.stepCount <= kMaxSteps);
    for (const SeatRec& r : g.seatTable) Check(std::memchr(r.name, 0, sizeof r.name) != nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    auto g = std::make_unique<GameState>();
    g->appFolder = "/nonexistent-jq-fuzz/";
    g->myNetSeat = data[0] % kSeats;
    g->isNetHost = 0;
    g->netConnected = 1;
    g->turnDirection = 1;
    // Laid out as the deployment leaves it; the first byte's high bits say
    // whether the battle already runs.
    CodeTable codes;
    PickZfFormations(*g, codes);
    NameTable names;
    LayoutBattle(*g, g->myNetSeat, codes, names);
    const bool running = (data[0] & 0x80) != 0;
    g->battleRunning = running ? 1 : 0;
    g->deployPhase = running ? 0 : 1;
    g->netState = running ? net::kNetBattle : net::kNetDeploying;
    g->curSeat = data[1] % kSeats;

    net::LanSession lan(*g);
    Link link;
    lan.AttachClient(&link);
    g->lan = &lan;
    const uint8_t* bytes = data + 2;
    const size_t n = size - 2;
    const size_t chunk = data[1] % 97 + 1;
    for (size_t at = 0; at < n; at += chunk) {
        lan.ClientReceived(bytes + at, std::min(chunk, n - at));
        while (net::ProcessClientMessage(*g) != 0) CheckGame(*g);
    }
    // A few ticks of the pump on what is left.
    for (int tick = 0; tick < 4; ++tick) {
        net::HandleNetBattle(*g);
        CheckGame(*g);
    }
    return 0;
}
