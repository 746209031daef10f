#include "core/ui/myshowmessage.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "platform/artwork.h"
#include "platform/imagecontrol.h"
#include "platform/toolkit.h"

namespace {

const QColor kCream(255, 251, 240);

QFont BoxFont() {
    QFont font;
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Zen Hei")});
    font.setPixelSize(13);
    return font;
}

// A sheet of paper with a folded corner and a few lines of writing.
QImage PlainDocumentIcon() {
    QImage icon(32, 32, QImage::Format_RGB32);
    icon.fill(kCream);
    QPainter painter(&icon);
    const QPolygon page({QPoint(6, 2), QPoint(20, 2), QPoint(26, 8), QPoint(26, 29), QPoint(6, 29)});
    painter.setPen(QColor(90, 90, 90));
    painter.setBrush(Qt::white);
    painter.drawPolygon(page);
    painter.drawPolyline(QPolygon({QPoint(20, 2), QPoint(20, 8), QPoint(26, 8)}));
    painter.setPen(QColor(70, 110, 170));
    for (int y = 12; y <= 24; y += 4) {
        painter.drawLine(10, y, 22, y);
    }
    return icon;
}

// The product name on the box's background; that background is the key
// colour, so only the letters show.
QImage PlainTitle() {
    QImage title(93, 31, QImage::Format_RGB32);
    title.fill(kCream);
    QPainter painter(&title);
    QFont font = BoxFont();
    font.setPixelSize(18);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(150, 30, 20));
    painter.drawText(title.rect(), Qt::AlignCenter, QStringLiteral("云岭棋战"));
    return title;
}

}  // namespace

TfmwMyShowMessage::TfmwMyShowMessage(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    setWindowTitle(QStringLiteral("云岭棋战消息提示..."));
    setFixedSize(344, 152);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, kCream);
    setPalette(palette);
    setAutoFillBackground(true);

    // Created bottom to top: frames, pictures, text, buttons.
    Bevel1 = new QFrame(this);
    Bevel1->setGeometry(0, 0, 344, 152);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);

    Bevel2 = new QFrame(this);
    Bevel2->setGeometry(8, 6, 329, 101);
    Bevel2->setFrameStyle(QFrame::Box | QFrame::Sunken);

    Image1 = new jq::ImageControl(this);
    Image1->setGeometry(12, 48, 32, 32);
    const QImage icon = jq::LoadArtwork(QStringLiteral("msg_icon.png"));
    Image1->SetPicture(icon.isNull() ? PlainDocumentIcon() : icon);

    Image2 = new jq::ImageControl(this);
    Image2->setGeometry(124, 12, 93, 31);
    const QImage title = jq::LoadArtwork(QStringLiteral("msg_title.png"));
    Image2->SetPicture(title.isNull() ? PlainTitle() : title);
    Image2->SetTransparent(true);

    StaticText1 = new QLabel(this);
    StaticText1->setGeometry(48, 48, 281, 53);
    StaticText1->setFont(BoxFont());
    StaticText1->setTextFormat(Qt::PlainText);
    StaticText1->setWordWrap(true);
    StaticText1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    BitBtn1 = new QPushButton(QStringLiteral("确定"), this);
    BitBtn1->setGeometry(114, 114, 127, 25);
    BitBtn1->setFont(BoxFont());
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(kOk); });

    BitBtn2 = new QPushButton(QStringLiteral("取消"), this);
    BitBtn2->setGeometry(246, 114, 86, 25);
    BitBtn2->setFont(BoxFont());
    BitBtn2->hide();
    connect(BitBtn2, &QPushButton::clicked, this, [this] { done(kCancel); });

    setTabOrder(BitBtn1, BitBtn2);
    BitBtn1->setFocus();
}

TfmwMyShowMessage::~TfmwMyShowMessage() = default;

void TfmwMyShowMessage::keyPressEvent(QKeyEvent* event) {
    // Esc answers "取消" while that button is shown and does nothing else.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (!BitBtn2->isHidden()) {
            done(kCancel);
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfmwMyShowMessage::reject() {
    // Closing the window some other way counts as "取消" when there is one;
    // a notice stays until "确定" is pressed.
    if (!BitBtn2->isHidden()) {
        done(kCancel);
    }
}

namespace jq {

int MyShowMessage(const std::string& gbText, int withCancel) {
    const int refusal = withCancel != 0 ? TfmwMyShowMessage::kCancel : TfmwMyShowMessage::kOk;
    if (!OnMainThread()) {
        PostToMainThread([gbText, withCancel] { MyShowMessage(gbText, withCancel); });
        return refusal;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return refusal;  // no windows in this process
    }

    TfmwMyShowMessage box;
    box.StaticText1->setText(QtFromGb(gbText));
    if (withCancel != 0) {
        box.BitBtn2->show();
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        box.move(screen->availableGeometry().center() - box.rect().center());
    }
    if (TfmwMyShowMessage::shownHook) {
        QTimer::singleShot(0, &box, [&box] {
            if (TfmwMyShowMessage::shownHook) {
                TfmwMyShowMessage::shownHook(box);
            }
        });
    }
    ModalBoxScope scope;
    const int result = box.exec();
    if (result == TfmwMyShowMessage::kOk || result == TfmwMyShowMessage::kCancel) {
        return result;
    }
    return refusal;  // the loop was ended from outside, e.g. at quit
}

}  // namespace jq
