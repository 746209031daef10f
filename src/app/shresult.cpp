#include "app/shresult.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "core/qipan.h"
#include "platform/artwork.h"
#include "platform/toolkit.h"
#include "play/result_rules.h"

namespace {

const QColor kCream(255, 251, 240);
const QColor kNavy(0, 0, 128);
const QColor kMaroon(128, 0, 0);

QPixmap Picture(const QString& folder, const QString& name) {
    const QImage image = folder.isEmpty() ? jq::LoadArtwork(name) : QImage(QDir(folder).filePath(name));
    return QPixmap::fromImage(image);
}

void PaintCream(QWidget* w) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, kCream);
    w->setPalette(palette);
    w->setAutoFillBackground(true);
}

QLabel* TextLine(QWidget* parent, const QString& text, int pixelSize, bool bold, const QColor& color,
                 const QRect& at) {
    auto* label = new QLabel(text, parent);
    QFont font(QStringLiteral("WenQuanYi Zen Hei"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setGeometry(at);
    return label;
}

struct PanelDesign {
    const char* picture;
    const char* title;
};

PanelDesign DesignOf(jq::ResultPanelKind kind) {
    switch (kind) {
        case jq::ResultPanelKind::Won:
            return {"result_win.png", "result_title_win.png"};
        case jq::ResultPanelKind::Lost:
            return {"result_lose.png", "result_title_lose.png"};
        case jq::ResultPanelKind::Drawn:
            break;
    }
    return {"result_peace.png", "result_title_peace.png"};
}

}  // namespace

ResultPanelFrame::ResultPanelFrame(QWidget* parent) : QFrame(parent) {}

void ResultPanelFrame::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void ResultPanelFrame::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click && onClick) onClick();
}

TfmShowResult::TfmShowResult(QWidget* owner, int kind, int mode, const jq::GameState* game,
                             const QString& imageFolder)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), mode_(mode), game_(game) {
    setObjectName(QStringLiteral("fmShowResult"));
    setWindowTitle(QStringLiteral("战役结果"));
    PaintCream(this);
    resize(kWidth, kHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->setSpacing(0);
    PanelWin = BuildPanel(QStringLiteral("PanelWin"), 0, imageFolder);
    PanelLose = BuildPanel(QStringLiteral("PanelLose"), 1, imageFolder);
    PanelPeace = BuildPanel(QStringLiteral("PanelPeace"), 2, imageFolder);
    for (ResultPanelFrame* panel : {PanelWin, PanelLose, PanelPeace}) layout->addWidget(panel);
    PanelWin->onClick = [this] { PanelWinClick(); };
    PanelLose->onClick = [this] { PanelLoseClick(); };
    PanelPeace->onClick = [this] { PanelPeaceClick(); };

    Timer1 = new QTimer(this);
    connect(Timer1, &QTimer::timeout, this, &TfmShowResult::Timer1Timer);
    timer1Tag = 0;
    Timer1->setInterval(jq::kResultTickMs);
    Timer1->start();

    switch (jq::ResultPanelFor(kind)) {
        case jq::ResultPanelKind::Won:
            PanelWin->show();
            break;
        case jq::ResultPanelKind::Lost:
            PanelLose->show();
            break;
        case jq::ResultPanelKind::Drawn:
            PanelPeace->show();
            break;
    }
}

ResultPanelFrame* TfmShowResult::BuildPanel(const QString& name, int kind, const QString& imageFolder) {
    const jq::ResultPanelKind panelKind = jq::ResultPanelFor(kind);
    const PanelDesign design = DesignOf(panelKind);
    const jq::ResultPanelLines lines = jq::ResultPanelText(panelKind);
    const int width = kWidth - 2 * kMargin;

    auto* panel = new ResultPanelFrame(this);
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    PaintCream(panel);

    auto* title = new QLabel(panel);
    title->setObjectName(name + QStringLiteral("Title"));
    title->setPixmap(Picture(imageFolder, QString::fromLatin1(design.title)));
    title->setGeometry((width - 93) / 2, 8, 93, 31);

    auto* rule = new QFrame(panel);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    rule->setGeometry(12, 44, width - 24, 4);

    auto* picture = new QLabel(panel);
    picture->setObjectName(name + QStringLiteral("Picture"));
    picture->setPixmap(Picture(imageFolder, QString::fromLatin1(design.picture)));
    picture->setGeometry(8, 72, 96, 96);

    QLabel* first = TextLine(panel, jq::QtFromGb(lines.first), 14, true, kMaroon, QRect(110, 80, width - 116, 36));
    first->setObjectName(name + QStringLiteral("Line1"));
    QLabel* second = TextLine(panel, jq::QtFromGb(lines.second), 14, false, kNavy, QRect(110, 122, width - 116, 40));
    second->setObjectName(name + QStringLiteral("Line2"));

    panel->hide();
    return panel;
}

void TfmShowResult::Timer1Timer() {
    if (closed_) return;
    ++timer1Tag;
    const int32_t netState = game_ != nullptr ? game_->netState : 0;
    if (jq::ResultPanelClosesAtTick(mode_, timer1Tag, netState)) ClosePanel();
}

void TfmShowResult::PanelWinClick() { PanelClick(); }
void TfmShowResult::PanelLoseClick() { PanelClick(); }
void TfmShowResult::PanelPeaceClick() { PanelClick(); }

void TfmShowResult::PanelClick() {
    if (!closed_ && jq::ResultPanelClosesOnClick(timer1Tag, Timer1->interval())) ClosePanel();
}

void TfmShowResult::keyPressEvent(QKeyEvent* event) {
    // The panel has no close button; Esc does not end it early either.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfmShowResult::ClosePanel() {
    accept();
}

// Every way of closing ends here; a closed panel's timer stays off.
void TfmShowResult::done(int result) {
    closed_ = true;
    Timer1->stop();
    QDialog::done(result);
}

void ShowResultPanel(QWidget* parent, const jq::GameState& g, int result, bool modeless,
                     const QString& imageFolder) {
    if (modeless) {
        auto* panel = new TfmShowResult(parent, result, jq::kResultPanelModeLanHost, &g, imageFolder);
        QObject::connect(panel, &QDialog::finished, panel, &QObject::deleteLater);
        panel->show();
        return;
    }
    // The owner may go away while the panel waits (the program quits); the
    // guard then knows the panel went with it.
    QPointer<TfmShowResult> panel = new TfmShowResult(parent, result, 0, &g, imageFolder);
    panel->exec();
    delete panel.data();
}
