// The help file, 棋战帮助文件.html: the rules, the deployment, the controls,
// the levels, replay and the LAN battle, in one page.
#pragma once

#include <QByteArray>

namespace assetgen {

inline QByteArray HelpHtml() {
    static const char kHtml[] = R"HTML(<!DOCTYPE html>
<html lang="zh-CN">
<head>
<meta charset="utf-8">
<title>云岭棋战 帮助</title>
<style>
body { font-family: "WenQuanYi Zen Hei", "Noto Sans CJK SC", sans-serif; background: #fffbf0;
       color: #222; margin: 0 auto; max-width: 760px; padding: 16px 24px; line-height: 1.65; }
h1 { color: #8a1c12; border-bottom: 3px double #8a1c12; padding-bottom: 4px; }
h2 { color: #14532d; border-left: 6px solid #14532d; padding-left: 8px; margin-top: 32px; }
h3 { color: #6b3b0f; margin-bottom: 4px; }
table { border-collapse: collapse; margin: 8px 0; }
th, td { border: 1px solid #b9a27a; padding: 3px 10px; text-align: left; }
th { background: #f3e6c4; }
.key { font-weight: bold; color: #8a1c12; }
.note { background: #f4f0e0; border: 1px dashed #b9a27a; padding: 6px 10px; }
ul.toc { columns: 2; }
</style>
</head>
<body>
<h1>云岭棋战 · 四国军棋 帮助</h1>

<p>云岭棋战是一款四人军棋游戏。棋盘呈十字形，四方各占一块阵地，中间是九宫。
<b>位置1</b>（下方，您自己）与<b>位置3</b>（上方）是盟友，对抗<b>位置2</b>（右方）与<b>位置4</b>（左方）。
您可以与电脑对弈，也可以在局域网里与朋友对战；每一盘棋都会被记录下来，可以保存、调出并复盘。</p>

<ul class="toc">
<li><a href="#pieces">棋子与军衔</a></li>
<li><a href="#combat">碰子规则</a></li>
<li><a href="#board">棋盘：公路、铁路、行营、大本营</a></li>
<li><a href="#flag">夺旗与胜负</a></li>
<li><a href="#deploy">布阵</a></li>
<li><a href="#controls">操作说明</a></li>
<li><a href="#levels">级别与棋风</a></li>
<li><a href="#replay">复盘</a></li>
<li><a href="#lan">局域网对战</a></li>
<li><a href="#options">游戏设置</a></li>
<li><a href="#files">文件</a></li>
</ul>

<h2 id="pieces">棋子与军衔</h2>
<p>每一方各有 25 枚棋子，开局时全部背面朝上，只有自己能看到自己的棋子。</p>
<table>
<tr><th>棋子</th><th>数量</th><th>说明</th></tr>
<tr><td>司令</td><td>1</td><td>军衔最高。司令阵亡后，本方的军旗要亮出来让大家看到。</td></tr>
<tr><td>军长</td><td>1</td><td rowspan="8">军衔从高到低依次为：司令、军长、师长、旅长、团长、营长、连长、排长、工兵。</td></tr>
<tr><td>师长</td><td>2</td></tr>
<tr><td>旅长</td><td>2</td></tr>
<tr><td>团长</td><td>2</td></tr>
<tr><td>营长</td><td>2</td></tr>
<tr><td>连长</td><td>3</td></tr>
<tr><td>排长</td><td>3</td></tr>
<tr><td>工兵</td><td>3</td></tr>
<tr><td>炸弹</td><td>2</td><td>与所碰到的棋子同归于尽。</td></tr>
<tr><td>地雷</td><td>3</td><td>不能移动。只有工兵能挖掉地雷。</td></tr>
<tr><td>军旗</td><td>1</td><td>不能移动。军旗被夺，这一方就全军覆没。</td></tr>
</table>

<h2 id="combat">碰子规则</h2>
<p>把棋子走到敌方棋子所在的位置就是“碰子”，结果只由两枚棋子决定：</p>
<ul>
<li>两枚军官相碰，军衔高的吃掉军衔低的；军衔相同则同归于尽。</li>
<li>炸弹碰到任何棋子，或任何棋子碰到炸弹，双方同归于尽（炸弹碰地雷、炸弹碰炸弹也一样）。</li>
<li>工兵碰地雷，挖掉地雷；其他棋子碰地雷，自己阵亡，地雷仍留在原处。</li>
<li>任何能走动的棋子碰到军旗，都能夺得军旗；炸弹也不例外。</li>
<li>军旗和地雷不能走动，也不能主动碰子。</li>
<li>自己和盟友的棋子不能碰。</li>
</ul>
<p class="note">碰子之后只知道结果，不知道对方的棋子是什么。要从每一次碰子的结果里推断敌人的布阵，这正是军棋的乐趣所在。</p>

<h2 id="board">棋盘：公路、铁路、行营、大本营</h2>
<h3>公路</h3>
<p>细线是公路。走公路每次只能走一步，走到相邻的位置；斜线只通向行营。</p>
<h3>铁路</h3>
<p>黑白相间的粗线是铁路。在铁路上，棋子可以沿直线走任意远，只要途中没有棋子阻挡；
沿着两方阵地相邻的拐角铁路也能一直走过去。<b>工兵</b>在铁路上可以随意拐弯，只要路线畅通，就能到达铁路网上的任何位置。</p>
<h3>行营</h3>
<p>圆圈是行营。行营里的棋子不会受到攻击；棋子只能一步一步走进行营，而且只能进空的行营。
行营与四周的位置之间都有斜线相连。</p>
<h3>大本营</h3>
<p>每方底线上有两个红框的大本营。军旗必须放在大本营里。进入大本营的棋子不能再走动。</p>
<h3>九宫</h3>
<p>棋盘中央的九个位置由铁路相连，是四方交战的要地。</p>

<h2 id="flag">夺旗与胜负</h2>
<ul>
<li>一方的军旗被夺，这一方的棋子全部撤出棋盘，但它的盟友仍可继续作战。</li>
<li>一方司令阵亡后，它的军旗会被亮出。</li>
<li>某一方缴械投降，或者已经没有可以走动的棋子，这一方的棋子全部撤出棋盘。</li>
<li>一个同盟的两方都失去了所有棋子，这个同盟就输了，另一同盟获胜。</li>
<li>双方同意和棋，或者全盘走满 510 步，判为和棋。</li>
</ul>
<p>一盘棋结束后会弹出战役结果，并按级别记入“棋战成绩”。</p>

<h2 id="deploy">布阵</h2>
<p>开始一盘新棋时，电脑先为每一方摆好一个阵法，您可以再调整自己的阵法：
先单击自己的一枚棋子（它会闪烁），再单击自己的另一枚棋子，两枚棋子就互换位置。</p>
<p>布阵规则：</p>
<ul>
<li>军旗要放在大本营里；</li>
<li>地雷要放在最后两排；</li>
<li>炸弹不能放在第一排。</li>
</ul>
<p>布阵时棋盘中间有一组按钮：</p>
<table>
<tr><th>按钮</th><th>作用</th></tr>
<tr><td>调出阵法</td><td>从阵法文件（.kjq，或其他格式的 .jqs）调入自己的阵法。文件中的棋子必须正好是一方的全部25个棋子，否则不予调入。</td></tr>
<tr><td>保存阵法</td><td>把自己当前的阵法保存为 .kjq 文件。</td></tr>
<tr><td>其它阵法</td><td>从阵法库里换一个阵法。</td></tr>
<tr><td>完毕</td><td>布阵完成，开始下棋。违反布阵规则时会提示错误，请调整后再按。</td></tr>
</table>

<h2 id="controls">操作说明</h2>
<h3>鼠标</h3>
<ul>
<li>轮到您走棋时，单击自己的一枚棋子选中它，被选中的棋子会闪烁；再单击目标位置或敌方棋子，棋子就会沿路线走过去，路线用箭头标出。</li>
<li>鼠标指针变成手形时，表示这一步可以走。</li>
<li>选中后单击自己的另一枚棋子，就改为选中那一枚。</li>
<li>在棋盘上单击右键，弹出菜单。</li>
</ul>
<h3>右侧按钮</h3>
<table>
<tr><th>按钮</th><th>作用</th></tr>
<tr><td>人机对奕</td><td>开始一盘与电脑的对局，您坐位置1，电脑执其余三方。</td></tr>
<tr><td>调出战役</td><td>打开一个战役记录进行复盘。右键单击弹出演播菜单。</td></tr>
<tr><td>保存战役</td><td>把当前这盘棋保存为战役记录（.kbt）。</td></tr>
<tr><td>游戏设置</td><td>修改棋手姓名、音效、棋盘背景、级别、棋风、演播和网战参数。</td></tr>
<tr><td>棋战成绩</td><td>查看各级别的累计、胜利、失败、和棋盘数，可以重新计分。</td></tr>
<tr><td>帮  助</td><td>打开本帮助。</td></tr>
<tr><td>关  于</td><td>显示关于画面，单击画面关闭。</td></tr>
<tr><td>退  出</td><td>退出游戏。</td></tr>
<tr><td>联网对战</td><td>开始或加入局域网对战。</td></tr>
</table>
<h3>棋盘上的按钮</h3>
<table>
<tr><th>按钮</th><th>作用</th></tr>
<tr><td>看别人棋</td><td>把其他各方的棋子翻开或盖上（复盘时使用；联网对战时不能看敌方的棋子）。</td></tr>
<tr><td>旋转视角</td><td>把棋盘转动一方，从另一方的角度观看。</td></tr>
<tr><td>上一步 / 下一步</td><td>复盘时后退或前进，见“复盘”。</td></tr>
<tr><td>缴械投降</td><td>轮到您走棋时认输，您这一方撤出棋盘。</td></tr>
<tr><td>祈求和平</td><td>提出和棋。对电脑：只有您这一同盟的棋子比对方至少多两枚时，电脑才会同意。</td></tr>
</table>
<h3>右键菜单</h3>
<table>
<tr><th>菜单项</th><th>作用</th></tr>
<tr><td>调出战役</td><td>打开战役记录。</td></tr>
<tr><td>最近复盘战役</td><td>最近打开过的十个战役记录。</td></tr>
<tr><td>自动演播 / 停止演播</td><td>开始或停止自动复盘。</td></tr>
<tr><td>回到起点</td><td>复盘回到第 0 步。</td></tr>
<tr><td>跳转到指定步数</td><td>复盘直接跳到某一步。</td></tr>
<tr><td>游戏设置</td><td>同右侧的“游戏设置”按钮。</td></tr>
<tr><td>保存阵法(东)</td><td>保存自己的阵法。</td></tr>
<tr><td>保存战役</td><td>保存当前这盘棋。</td></tr>
<tr><td>退出</td><td>立即退出游戏。</td></tr>
</table>

<h2 id="levels">级别与棋风</h2>
<p>电脑有三个级别：<span class="key">初级</span>、<span class="key">中级</span>、<span class="key">高级</span>，在“游戏设置”的“级别”页里选择。
级别越高，电脑想得越深，走棋也越慢；如果您经常输，不妨把级别调低一级。
“记录最新的阵法”选中时，每盘棋结束后电脑会根据胜负给所用的阵法打分，好的阵法以后用得更多。</p>
<p>“棋风”页有三个滑杆：强攻系数、小心程度、防守重要，分别调整电脑进攻的积极性、对未知棋子的谨慎程度和对防守的重视程度；中间位置为均衡。</p>
<p>每个级别的胜负都单独记在“棋战成绩”里。</p>

<h2 id="replay">复盘</h2>
<p>用“调出战役”打开一个战役记录（本程序的 .kbt 文件，也能打开 .jqh 格式的战役记录），棋盘摆回开局的样子，就可以一步一步地复盘。</p>
<table>
<tr><th>操作</th><th>作用</th></tr>
<tr><td>下一步</td><td>前进一步，带箭头和音效。</td></tr>
<tr><td>Ctrl + 下一步</td><td>一次前进 10 步。</td></tr>
<tr><td>Shift + 下一步</td><td>一次前进 20 步。</td></tr>
<tr><td>Ctrl + Shift + 下一步</td><td>一次前进 100 步。</td></tr>
<tr><td>Alt + 下一步</td><td>开始自动演播。</td></tr>
<tr><td>上一步</td><td>后退一步。</td></tr>
<tr><td>Ctrl（或 Shift）+ 上一步</td><td>回到起点。</td></tr>
<tr><td>单击棋盘</td><td>开始或停止自动演播。</td></tr>
<tr><td>按住 Ctrl、Shift 或 Alt 单击棋盘</td><td>打开“跳转到指定步数”。</td></tr>
</table>
<p>自动演播时两步之间的间隔在“游戏设置”的“演播”页里调整（最长 6 秒）。
按住 Ctrl、Shift 或 Alt 单击“调出战役”，会把棋盘上刚下完的这盘棋保存为 default.kbt 并从头复盘。</p>

<h2 id="lan">局域网对战</h2>
<p>局域网对战最多四人参加，其中一人坐庄（主机），其余的人加入。没有人坐的位置由电脑代下。</p>
<ol>
<li>坐庄的人单击“联网对战”，选择“我坐庄（位置1）”。对话框里会显示本机的 IP 地址，请告诉其他玩家。</li>
<li>其他人单击“联网对战”，选择“加入别人坐庄的战役”，输入庄家计算机的 IP 地址、自己的名称，并选择一个座位（位置2、位置3 或 位置4）。</li>
<li>人到齐后开始布阵。每个人只调整自己的阵法，布阵完毕后按“完毕”；所有人都布好后，战役开始。</li>
<li>轮到自己时走棋。每步棋有思考时限，超时会被记下；多次超时，系统会把您的位置交给电脑代下。</li>
<li>棋盘左下方是聊天区：在输入框里输入文字（或从下拉列表里选一句），按回车发送。在聊天记录里按“.”或 Esc 可以清空记录。</li>
<li>“祈求和平”会请所有玩家表决，每盘棋最多提出三次。</li>
</ol>
<p>对战使用 TCP 端口 3457，请确认防火墙允许这个端口。联网对战时不能复盘、不能旋转视角，也看不到敌方的棋子。
行棋方向、两步棋最短间隔、每步棋思考时长、允许布阵时长和判定断线时长在“游戏设置”的“网战”页里调整。</p>

<h2 id="options">游戏设置</h2>
<table>
<tr><th>页</th><th>内容</th></tr>
<tr><td>棋手</td><td>四个位置的棋手姓名（限 10 字）。</td></tr>
<tr><td>音效</td><td>“打开音效”：下棋时发出各种声音。</td></tr>
<tr><td>棋盘</td><td>十种棋盘背景贴图，单击选择。</td></tr>
<tr><td>级别</td><td>初级、中级、高级；记录最新的阵法。</td></tr>
<tr><td>棋风</td><td>强攻系数、小心程度、防守重要。</td></tr>
<tr><td>演播</td><td>自动演播每两步之间的间隔。</td></tr>
<tr><td>网战</td><td>行棋方向（逆时针或顺时针）、两步棋最短间隔、每步棋思考时长、允许布阵时长、判定断线时长。</td></tr>
</table>

<h2 id="files">文件</h2>
<p>游戏在启动时的当前文件夹里读写以下文件：</p>
<table>
<tr><th>文件</th><th>内容</th></tr>
<tr><td>oprec</td><td>游戏设置、棋战成绩和最近复盘的战役列表。</td></tr>
<tr><td>zffile</td><td>阵法库，电脑从中挑选阵法。</td></tr>
<tr><td>statfile</td><td>棋子分布统计，帮助电脑推断敌方棋子。</td></tr>
<tr><td>kbtfiles/</td><td>战役记录（.kbt）的默认文件夹。</td></tr>
<tr><td>*.wav</td><td>各种音效。</td></tr>
</table>
<p style="margin-top:32px;color:#777;">云岭棋战 —— 阵法随心而换，招法随机而动。</p>
</body>
</html>
)HTML";
    return QByteArray(kHtml, sizeof kHtml - 1);
}

}  // namespace assetgen
