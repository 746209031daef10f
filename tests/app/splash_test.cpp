#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "app/about.h"
#include "app/splash.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"
#include "platform/imagecontrol.h"

namespace {

TEST(Splash, ClosesOnAClickOrWhenItsTimeIsUp) {
    TSplashForm clicked;
    clicked.show();
    jq::test::WaitFor([] { return false; }, 100);
    EXPECT_TRUE(clicked.isVisible());  // its timer is not running
    jq::test::LeftClick(clicked.Image1);
    EXPECT_FALSE(clicked.isVisible());

    TSplashForm timed;
    timed.Timer1->setInterval(60);
    timed.Timer1->start();
    timed.show();
    EXPECT_TRUE(jq::test::WaitFor([&] { return !timed.isVisible(); }, 3000));
    EXPECT_FALSE(timed.Timer1->isActive());
}

TEST(About, StaysUntilClickedThenGoes) {
    bool timerOff = false;
    int found = 0;
    WhenShown<TSplashForm>([&](TSplashForm& about) {
        QTimer::singleShot(100, &about, [&] {
            ++found;
            timerOff = !about.Timer1->isActive();
            jq::test::LeftClick(about.Image1);
        });
    });
    ShowAboutWindow(nullptr);
    EXPECT_EQ(found, 1);
    EXPECT_TRUE(timerOff);
}

}  // namespace
