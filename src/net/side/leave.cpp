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

std::string JoinRefusedText() {
    return Gb("服务器拒绝联接申请！\n该位置现在进不去：可能已有玩家，或本局已由计算机从您手中接管（下一局可再申请）。");
}

std::string LanBoxText(LanBox box) {
    switch (box) {
        case LanBox::kAskLeaveForNewBattle:
            return Gb("加入新的网战将复位正在进行的网络战役！") + std::string(13, ' ') + Gb("\n是否继续？");
        case LanBox::kNoNetwork: return Gb("本机没有联网，无法进行网络大战！");
        case LanBox::kServerFailed: return Gb("服务器无法启动！") + std::string(25, ' ') + Gb("\n请检查网络设置是否正常。");
        case LanBox::kNoHost:
            return Gb("庄家计算机不存在。。。。。。。。。。") + std::string(17, ' ') + Gb("\n请先启动庄家计算机！");
        case LanBox::kConnectTimedOut:
            return Gb("网络阻塞,联接庄家计算机超时。。。。。。。。。。") + std::string(15, ' ') + Gb("\n请稍后再试！");
        case LanBox::kHostSilent: return Gb("服务器太长时间没有响应！") + std::string(11, ' ') + Gb("\n断开网络联接.");
        case LanBox::kResultNotSent: return Gb("消息尚未发送完成！\n请检查网络超时情况。") + std::string(11, ' ');
        case LanBox::kUnknownWord: return Gb("上传数据没有定义错误！") + std::string(5, ' ');
    }
    return std::string();
}

std::string PeaceQuestionText(const std::string& gbName) { return gbName + Gb("  请求和棋,是否同意?"); }

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
