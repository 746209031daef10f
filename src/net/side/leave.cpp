// Leaving a LAN battle: back to a battle against the computer.
#include <string>

#include "core/text.h"
#include "formations/newbattle.h"
#include "net/netbattle.h"

namespace jq::net {

std::string AbortReasonText(int reason) {
    switch (reason) {
        case kLeaveTooManyTimeouts: return Gb("超时次数太多！自动退出网战。");
        case kLeaveRefused: return Gb("服务器拒绝联接！自动退出网战。");
        case kLeaveHostSilent: return Gb("服务器停止响应！退出网战。");
        case kLeaveJoinFailed: return Gb("加入新服务器失败！退出原网战。");
        case kLeaveServerFailed: return Gb("服务器SOCKET无法启动！退出原网战。");
        case kLeaveClientFailed: return Gb("客户端SOCKET无法启动！退出原网战。");
        case kLeaveFromWaitingRoom: return Gb("等待所有玩家开始时退出。。。");
        case kLeaveDeployTimeout: return Gb("布阵超时！自动退出网战。");
        case kLeaveSilentTurn: return Gb("走棋时太久没有响应！自动退出网战。");
        case kLeaveHandedOver: return Gb("位置已由计算机接管！退出网战。");
        default: return Gb("不明原因的故障！自动退出网战。");
    }
}

int HandOverReason(const GameState& g) {
    if (NetDeploying(g)) return kLeaveDeployTimeout;
    if (g.battleRunning != 0 || g.netState == kNetAllDeployed || g.netState == kNetBattle)
        return g.netTimeoutCount >= kTimeoutsPassed ? kLeaveTooManyTimeouts : kLeaveSilentTurn;
    return kLeaveHandedOver;
}

std::string HandOverText(int reason) {
    const std::string seatGone = Gb("\n您的位置已由计算机接管。");
    switch (reason) {
        case kLeaveDeployTimeout: return Gb("布阵时间已到，您还没有布阵完毕！") + std::string(11, ' ') + seatGone;
        case kLeaveSilentTurn: return Gb("轮到您走棋时太久没有动静！") + std::string(11, ' ') + seatGone;
        case kLeaveTooManyTimeouts: return Gb("超时次数太多！") + std::string(11, ' ') + seatGone;
        default: return Gb("庄家已让计算机接管您的位置！") + std::string(11, ' ');
    }
}

std::string JoinRefusedText(bool seatHandedOver) {
    const std::string head = Gb("服务器拒绝联接申请！") + std::string(20, ' ');
    if (seatHandedOver)
        return head + Gb("\n该位置已有玩家使用；或是您被计算机接管的位置，\n在接管的这一局里不能再进，下一局可以。\n其他空位现在就可以申请。\n");
    return head + Gb("\n该位置已有玩家使用。\n");
}

void TellHostSeatTakenOver(GameState& g) {
    const int reason = HandOverReason(g);
    g.ui->SetStatusText(3, Gb("您的位置已由计算机接管。"));
    if (g.lan != nullptr) g.lan->ui()->SeatTakenOver(HandOverText(reason));
}

void AbortNetBattle(GameState& g, int reason) {
    // The listening socket stays: the new battle below asks whether to stop
    // hosting.
    if (NetClientActive(g)) CloseNetSockets(g, true, false);
    const std::string text = AbortReasonText(reason);
    g.ui->SetStatusText(3, text);
    g.battleRunning = 0;
    g.netConnected = 0;
    if (g.lan != nullptr) g.lan->ui()->LeftBattle(reason, text);
    if (NewBattleAgainstComputer(g))
        g.ui->SetStatusText(2, Gb("当前已走：") + std::to_string(g.stepCount) + Gb(" 步"));
}

void SendChatLine(GameState& g, const std::string& gbText) {
    // The line is cut to what a packet carries, even inside a character.
    g.chatText = gbText.substr(0, std::min(gbText.size(), static_cast<size_t>(kChatMaxTextBytes)));
    const size_t nul = g.chatText.find('\0');
    if (nul != std::string::npos) g.chatText.resize(nul);
    SendNetMessage(g, "ChatMessage", g.myNetSeat);
}

}  // namespace jq::net
