#include "net/ui/netdialogs.h"

#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "core/options.h"
#include "core/text.h"
#include "net/netbattle.h"
#include "platform/artwork.h"
#include "platform/toolkit.h"

namespace {

const QColor kCream(255, 251, 240);
const QColor kRed(255, 0, 0);
// Seat colours of the names: blue, purple, fuchsia, green.
const QColor kSeatColours[4] = {QColor(0, 0, 255), QColor(128, 0, 128), QColor(255, 0, 255), QColor(0, 128, 0)};
constexpr int kBlinkRedTicks = 50;
constexpr int kBlinkLastTick = 60;
constexpr int kWaitTimerMs = 20;
constexpr int kNameMaxChars = 21;
constexpr int kAddressMaxBytes = 255;

void Dress(QDialog& d, const QString& caption, int w, int h) {
    d.setWindowTitle(caption);
    d.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    d.setFixedSize(w, h);
    QPalette p = d.palette();
    p.setColor(QPalette::Window, kCream);
    d.setPalette(p);
    d.setAutoFillBackground(true);
}

QLabel* Label(QWidget* parent, const QString& text, int x, int y, int w = 120, int h = 18) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, h);
    return l;
}

QLabel* Picture(QWidget* parent, const QString& name, int x, int y, int w, int h) {
    auto* l = new QLabel(parent);
    l->setGeometry(x, y, w, h);
    l->setPixmap(QPixmap::fromImage(jq::LoadArtwork(name)).scaled(w, h, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return l;
}

QPushButton* Button(QWidget* parent, const QString& text, int x, int y, int w = 80, int h = 28) {
    auto* b = new QPushButton(text, parent);
    b->setGeometry(x, y, w, h);
    return b;
}

void AddressLabel(QLabel* l) {
    jq::SetFontColor(*l, kRed);
    jq::SetFontBold(*l, true);
}

}  // namespace

// ---- Host or join ----

TfmSelectNetType::TfmSelectNetType(const QString& localAddress, QWidget* parent) : QDialog(parent) {
    Dress(*this, QStringLiteral("您想以怎样的身份参予网战"), 341, 210);
    Image1 = Picture(this, QStringLiteral("net_host.png"), 10, 8, 44, 44);
    Image2 = Picture(this, QStringLiteral("net_join.png"), 287, 8, 44, 44);
    Label1 = Label(this, QStringLiteral("本机的IP地址："), 70, 22, 100);
    Label2 = Label(this, QString(), 170, 22, 110);
    AddressLabel(Label2);
    GroupBox1 = new QGroupBox(QStringLiteral("身份类型"), this);
    GroupBox1->setGeometry(10, 60, 321, 90);
    RadioButton1 = new QRadioButton(QStringLiteral("我坐庄（位置1）"), GroupBox1);
    RadioButton1->setGeometry(20, 24, 280, 22);
    rbtJoinOthersBattle = new QRadioButton(QStringLiteral("加入别人坐庄的战役 "), GroupBox1);
    rbtJoinOthersBattle->setGeometry(20, 54, 280, 22);
    rbtJoinOthersBattle->setChecked(true);
    BitBtn1 = Button(this, QStringLiteral("确定"), 130, 166);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    FormCreate(localAddress);
}

void TfmSelectNetType::FormCreate(const QString& localAddress) { Label2->setText(localAddress); }

// ---- The host's address, a seat and a name ----

TfmSelectTheHost::TfmSelectTheHost(jq::GameState& g, QWidget* parent) : QDialog(parent), g_(g) {
    Dress(*this, QStringLiteral("请输入详细的登录信息..."), 422, 266);
    GroupBox3 = new QGroupBox(QStringLiteral("请输入庄家计算机的IP地址"), this);
    GroupBox3->setGeometry(10, 8, 200, 56);
    Edit1 = new QLineEdit(GroupBox3);
    Edit1->setGeometry(10, 24, 180, 24);
    GroupBox2 = new QGroupBox(QStringLiteral("您的名称（限10字）"), this);
    GroupBox2->setGeometry(10, 72, 200, 56);
    Edit2 = new QLineEdit(GroupBox2);
    Edit2->setGeometry(10, 24, 180, 24);
    Edit2->setMaxLength(kNameMaxChars);
    GroupBox1 = new QGroupBox(QStringLiteral("请选择座位"), this);
    GroupBox1->setGeometry(220, 8, 192, 190);
    // Placed like the seats on the board: bottom, right, top, left.
    RadioButton1 = new QRadioButton(QStringLiteral("位置1(庄家)"), GroupBox1);
    RadioButton1->setGeometry(56, 156, 100, 22);
    RadioButton1->setEnabled(false);
    RadioButton2 = new QRadioButton(QStringLiteral("位置2"), GroupBox1);
    RadioButton2->setGeometry(120, 92, 66, 22);
    RadioButton3 = new QRadioButton(QStringLiteral("位置3"), GroupBox1);
    RadioButton3->setGeometry(66, 28, 66, 22);
    RadioButton3->setChecked(true);
    RadioButton4 = new QRadioButton(QStringLiteral("位置4"), GroupBox1);
    RadioButton4->setGeometry(8, 92, 66, 22);
    Image1 = Picture(this, QStringLiteral("net_join.png"), 14, 140, 44, 44);
    Label3 = Label(this, QString(), 64, 156, 150);  // beside the picture, no caption of its own
    BitBtn1 = Button(this, QStringLiteral("确定"), 232, 222);
    BitBtn1->setDefault(true);
    BitBtn2 = Button(this, QStringLiteral("取消"), 322, 222);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        BitBtn1Click();
        accept();
    });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

void TfmSelectTheHost::FormCreate() {
    Edit1->setText(jq::QtFromGb(jq::LastHostAddress(g_.optionsRecord)));
    Edit2->setText(jq::QtFromGb(jq::LastNetName(g_.optionsRecord)));
}

void TfmSelectTheHost::BitBtn1Click() {
    jq::OptionsRec& o = g_.optionsRecord;
    jq::PutBoundedText(o.lastHostAddress, kAddressMaxBytes + 1, jq::GbFromQt(Edit1->text()));
    jq::PutBoundedText(o.lastNetName, sizeof o.lastNetName, jq::GbFromQt(Edit2->text()));
    jq::SaveOptions(g_);
}

int TfmSelectTheHost::Seat() const {
    if (RadioButton1->isChecked()) return 0;
    if (RadioButton2->isChecked()) return 1;
    if (RadioButton4->isChecked()) return 3;
    return 2;
}

// ---- The waiting room ----

TfmWaitBattleStart::TfmWaitBattleStart(jq::GameState& g, const QString& localAddress, QWidget* parent)
    : QDialog(parent), g_(g) {
    Dress(*this, QStringLiteral("等待庄家开始"), 350, 221);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setAttribute(Qt::WA_DeleteOnClose);
    GroupBox1 = new QGroupBox(QStringLiteral("目前已加入的玩家"), this);
    GroupBox1->setGeometry(8, 6, 334, 140);
    // Seat 0 at the bottom, 1 right, 2 top, 3 left.
    const QPoint at[4] = {{110, 108}, {196, 66}, {110, 24}, {10, 66}};
    for (int s = 0; s < 4; ++s) {
        lbUser[s] = Label(GroupBox1, QStringLiteral("位置%1：").arg(s + 1), at[s].x(), at[s].y(), 50);
        CheckBox[s] = Label(GroupBox1, QString(), at[s].x() + 50, at[s].y(), 80);
        jq::SetFontColor(*CheckBox[s], kSeatColours[s]);
    }
    Image1 = Picture(this, QStringLiteral("net_host.png"), 10, 152, 30, 30);
    Image2 = Picture(this, QStringLiteral("net_join.png"), 44, 152, 30, 30);
    Label2 = Label(this, QStringLiteral("本机的IP地址："), 10, 192, 100);
    Label4 = Label(this, QString(), 110, 192, 110);
    AddressLabel(Label4);
    BitBtn2 = Button(this, QStringLiteral("开始战役"), 240, 170, 96, 30);
    BitBtn1 = Button(this, QStringLiteral("退出网战"), 240, 170, 96, 30);
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    Timer1 = new QTimer(this);
    Timer1->setInterval(kWaitTimerMs);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    FormCreate(localAddress);
    Timer1Timer();
    Timer1->start();
}

void TfmWaitBattleStart::FormCreate(const QString& localAddress) { Label4->setText(localAddress); }

void TfmWaitBattleStart::Timer1Timer() {
    for (int s = 0; s < 4; ++s) {
        const std::string name = jq::ShownText(jq::BoundedText(g_.seatTable[s].name, sizeof g_.seatTable[s].name));
        const bool computer = name.compare(0, 6, jq::Gb("计算机")) == 0;
        CheckBox[s]->setText(computer ? QString() : jq::QtFromGb(name));
    }
    const bool host = g_.isNetHost == 1;
    BitBtn2->setVisible(host);
    BitBtn1->setVisible(!host);
    setWindowTitle(host ? QStringLiteral("由您决定是否开始联网战役...") : QStringLiteral("等待庄家决定战役开始..."));
    ++timer1Tag;
    if (timer1Tag > kBlinkLastTick || timer1Tag < 0) timer1Tag = 0;
    for (int s = 0; s < 4; ++s)
        jq::SetFontColor(*lbUser[s], s == g_.myNetSeat && timer1Tag < kBlinkRedTicks ? kRed : QColor(Qt::black));
    // Closes once the battle starts, and when the side has left (the host
    // may have gone).
    if (g_.netState > jq::net::kNetWaiting || g_.netConnected == 0) Finish();
}

void TfmWaitBattleStart::Finish() {
    Timer1->stop();
    finishing_ = true;
    close();
}

void TfmWaitBattleStart::BitBtn2Click() {
    jq::net::HostStartsBattle(g_);
    Finish();
}

void TfmWaitBattleStart::BitBtn1Click() {
    jq::net::LeaveWaitingRoom(g_);
    Finish();
}

void TfmWaitBattleStart::reject() {
    // Closing goes through here. Esc: a joining player leaves as with
    // "退出网战"; the host's room stays until the battle starts.
    if (finishing_)
        QDialog::reject();
    else if (g_.isNetHost != 1)
        BitBtn1Click();
}
