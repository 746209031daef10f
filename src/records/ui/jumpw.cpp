#include "records/ui/jumpw.h"

#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

namespace {

QFont DialogFont(int pixelSize) {
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(pixelSize);
    return font;
}

}  // namespace

TJumpPara::TJumpPara(QWidget* owner, int* stepResult, int maxSteps, int current)
    : QDialog(owner), stepResult_(stepResult) {
    setWindowTitle(QStringLiteral("跳转点参数设置"));
    setFont(DialogFont(12));
    setFixedSize(328, 208);
    QPalette cream = palette();
    cream.setColor(QPalette::Window, QColor(255, 251, 240));
    setPalette(cream);
    setAutoFillBackground(true);

    GroupBox1 = new QGroupBox(QStringLiteral("请选择跳转的位置（步数）"), this);
    GroupBox1->setGeometry(18, 12, 293, 143);
    TrackBar1 = new QSlider(Qt::Horizontal, GroupBox1);
    TrackBar1->setGeometry(10, 24, 269, 21);
    TrackBar1->setTickPosition(QSlider::NoTicks);
    TrackBar1->setSingleStep(1);
    Label1 = new QLabel(QStringLiteral("当前选择跳转的位置："), GroupBox1);
    Label1->move(18, 58);
    lbCurSelePosition = new QLabel(QStringLiteral("0"), GroupBox1);
    lbCurSelePosition->setGeometry(136, 56, 60, 16);
    SpeedButton2 = new QToolButton(GroupBox1);
    SpeedButton2->setText(QStringLiteral("目前已复盘步数："));
    SpeedButton2->setAutoRaise(true);
    SpeedButton2->setGeometry(16, 80, 97, 22);
    lbCurPosition = new QLabel(QStringLiteral("0"), GroupBox1);
    lbCurPosition->setGeometry(116, 82, 22, 16);
    SpeedButton1 = new QToolButton(GroupBox1);
    SpeedButton1->setText(QStringLiteral("当前战役总步数："));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setGeometry(138, 80, 97, 22);
    lbMaxBu = new QLabel(QStringLiteral("0"), GroupBox1);
    lbMaxBu->setGeometry(236, 82, 40, 16);
    // Each step count stands between two captions 22 pixels apart: a pixel
    // less for the captions centres them in their buttons with room on both
    // sides, so no count runs into the caption after it.
    for (QToolButton* b : {SpeedButton2, SpeedButton1}) b->setFont(DialogFont(11));
    Label6 = new QLabel(QStringLiteral("Ctrl  + MouseClick"), this);
    Label6->move(20, 168);
    BitBtn1 = new QPushButton(QStringLiteral("确定"), this);
    BitBtn1->setGeometry(126, 168, 85, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("取消"), this);
    BitBtn2->setGeometry(216, 168, 85, 25);

    TrackBar1->setMinimum(0);
    TrackBar1->setMaximum(maxSteps);
    TrackBar1->setPageStep(maxSteps / 10);
    TrackBar1->setValue(current);
    lbCurSelePosition->setText(QString::number(current));
    lbCurPosition->setText(QString::number(current));
    lbMaxBu->setText(QString::number(maxSteps));

    connect(TrackBar1, &QSlider::valueChanged, this, [this] { TrackBar1Change(); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
    connect(SpeedButton2, &QToolButton::clicked, this, [this] { SpeedButton2Click(); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
}

void TJumpPara::TrackBar1Change() { lbCurSelePosition->setText(QString::number(TrackBar1->value())); }

void TJumpPara::SpeedButton1Click() { TrackBar1->setValue(lbMaxBu->text().toInt()); }

void TJumpPara::SpeedButton2Click() { TrackBar1->setValue(lbCurPosition->text().toInt()); }

void TJumpPara::BitBtn1Click() {
    if (stepResult_ != nullptr) *stepResult_ = TrackBar1->value();
    accept();
}

void TJumpPara::BitBtn2Click() {
    if (stepResult_ != nullptr) *stepResult_ = -1;
    QDialog::reject();
}

// Esc is the Cancel button.
void TJumpPara::reject() { BitBtn2Click(); }
