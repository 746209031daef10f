#include "app/splash.h"

#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include "platform/artwork.h"
#include "platform/imagecontrol.h"

namespace {

constexpr const char* kLabelTexts[4] = {"阵法随心而换", "招法随机而动", "直达棋战的彼岸",
                                        "要让这创意从此无限"};

QImage DrawnSplash() {
    QImage picture(TSplashForm::kPictureWidth, TSplashForm::kPictureHeight, QImage::Format_RGB32);
    QPainter painter(&picture);
    QLinearGradient sky(0, 0, 0, picture.height());
    sky.setColorAt(0.0, QColor(0, 64, 96));
    sky.setColorAt(1.0, QColor(0, 128, 128));
    painter.fillRect(picture.rect(), sky);
    painter.setPen(QColor(255, 251, 240));
    QFont title(QStringLiteral("WenQuanYi Zen Hei"));
    title.setPixelSize(48);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(picture.rect().adjusted(0, 0, 0, -60), Qt::AlignCenter, QStringLiteral("云岭棋战"));
    QFont sub(QStringLiteral("WenQuanYi Zen Hei"));
    sub.setPixelSize(18);
    painter.setFont(sub);
    painter.drawText(picture.rect().adjusted(0, 90, 0, 0), Qt::AlignCenter, QStringLiteral("四国军棋"));
    return picture;
}

}  // namespace

QImage SplashPicture() {
    QImage picture = jq::LoadArtwork(QStringLiteral("splash.png"));
    return picture.isNull() ? DrawnSplash() : picture;
}

TSplashForm::TSplashForm(QWidget* owner) : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint) {
    setWindowTitle(QStringLiteral("云岭棋战"));

    Image1 = new jq::ImageControl(this);
    const QImage picture = SplashPicture();
    Image1->setGeometry(0, 0, picture.width(), picture.height());
    Image1->SetPicture(picture);
    Image1->onClick = [this](jq::ImageControl&) { Image1Click(); };

    for (int i = 0; i < 4; ++i) {
        labels[i] = new QLabel(QString::fromUtf8(kLabelTexts[i]), this);
        QFont font(QStringLiteral("WenQuanYi Zen Hei"));
        font.setPixelSize(16);
        labels[i]->setFont(font);
        QPalette palette = labels[i]->palette();
        palette.setColor(QPalette::WindowText, QColor(0, 128, 128));
        labels[i]->setPalette(palette);
        labels[i]->move(20, 150 + 22 * i);
        labels[i]->hide();
    }

    Timer1 = new QTimer(this);
    Timer1->setInterval(kStartupShowMs);
    connect(Timer1, &QTimer::timeout, this, &TSplashForm::Timer1Timer);

    FormCreate();
}

void TSplashForm::FormCreate() {
    setFixedSize(Image1->width(), Image1->height());
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TSplashForm::Image1Click() {
    close();
}

void TSplashForm::Timer1Timer() {
    Timer1->stop();
    close();
}
