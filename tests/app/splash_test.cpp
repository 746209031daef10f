#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QTimer>

#include "app/about.h"
#include "app/splash.h"
#include "form_support.h"
#include "platform/imagecontrol.h"

namespace {

TEST(Splash, WindowIsExactlyItsPictureWithoutBorder) {
    TSplashForm splash;
    EXPECT_EQ(splash.size(), QSize(402, 252));
    EXPECT_EQ(splash.Image1->geometry(), QRect(0, 0, 402, 252));
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(splash.Timer1->isActive());
    EXPECT_EQ(splash.Timer1->interval(), 4000);
    for (QLabel* label : splash.labels) EXPECT_FALSE(label->isVisibleTo(&splash));
    // Centred on the screen.
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QPoint offset = splash.frameGeometry().center() - screen->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2);
}

TEST(Splash, ClickOnThePictureClosesIt) {
    TSplashForm splash;
    splash.Timer1->start();
    splash.show();
    ASSERT_TRUE(splash.isVisible());
    apptest::LeftClick(splash.Image1);
    EXPECT_FALSE(splash.isVisible());
}

TEST(Splash, ClosesWhenItsTimeIsUp) {
    TSplashForm splash;
    splash.Timer1->setInterval(60);
    splash.Timer1->start();
    splash.show();
    QApplication::processEvents();
    EXPECT_TRUE(splash.isVisible());
    EXPECT_TRUE(apptest::WaitFor([&] { return !splash.isVisible(); }, 3000));
    EXPECT_FALSE(splash.Timer1->isActive());
}

TEST(Splash, StaysUpWithoutItsTimer) {
    TSplashForm splash;
    splash.show();
    apptest::WaitFor([] { return false; }, 150);
    EXPECT_TRUE(splash.isVisible());
}

TEST(About, StaysUntilClickedThenGoes) {
    bool stillUpWithoutClick = false;
    bool timerOff = false;
    int found = 0;
    QTimer::singleShot(200, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* about = qobject_cast<TSplashForm*>(w);
            if (about == nullptr || !about->isVisible()) continue;
            ++found;
            stillUpWithoutClick = true;
            timerOff = !about->Timer1->isActive();
            apptest::LeftClick(about->Image1);
        }
    });
    // Safety net: never leave a modal window open.
    QTimer::singleShot(5000, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* about = qobject_cast<TSplashForm*>(w); about != nullptr && about->isVisible()) about->close();
    });
    ShowAboutWindow(nullptr);
    EXPECT_EQ(found, 1);
    EXPECT_TRUE(stillUpWithoutClick);
    EXPECT_TRUE(timerOff);
}

}  // namespace
