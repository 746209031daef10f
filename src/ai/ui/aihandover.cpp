#include "ai/ui/aihandover.h"

#include <QMetaObject>
#include <QObject>

#include "ai/aithread.h"

namespace jq {

std::unique_ptr<AIDominate> CreateWindowComputerPlayer(QObject* receiver, GameState& game) {
    GameState* g = &game;
    return std::make_unique<AIDominate>(game, [receiver, g](MoveCand move, uint64_t token) {
        // The worker only posts; the move is carried out on the receiver's
        // thread when the call comes up there. The receiver outlives the
        // worker, which is joined before it goes.
        QMetaObject::invokeMethod(
            receiver, [g, move, token] { ExecuteComputerMove(*g, move, token); }, Qt::QueuedConnection);
    });
}

}  // namespace jq
