#include "play/standins.h"

#include "core/text.h"
#include "net/lan.h"

namespace jq::standin {

void AbortNetBattle(GameState& g, int reason) {
    if (net::NetClientActive(g)) net::CloseNetSockets(g, true, false);
    const char* text = "不明原因的故障！自动退出网战。";
    switch (reason) {
        case 0: text = "超时次数太多！自动退出网战。"; break;
        case 1: text = "服务器拒绝联接！自动退出网战。"; break;
        case 2: text = "服务器停止响应！退出网战。"; break;
        case 3: text = "加入新服务器失败！退出原网战。"; break;
        case 4: text = "服务器SOCKET无法启动！退出原网战。"; break;
        case 5: text = "客户端SOCKET无法启动！退出原网战。"; break;
        case 6: text = "等待所有玩家开始时退出。。。"; break;
        default: break;
    }
    g.ui->SetStatusText(3, Gb(text));
    g.battleRunning = 0;
    g.netConnected = 0;
}

}  // namespace jq::standin
