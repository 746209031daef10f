#include <gtest/gtest.h>

#include <QTimer>

#include "app/about.h"
#include "app/splash.h"
#include "platform/imagecontrol.h"
#include "support/qt_helpers.h"
#include "support/when_shown.h"

namespace {

// The splash closes on a click or when its time is up; the about window,
// the same form, stays (its timer off) until clicked.
TEST(Splash, ClosesOnAClickOrWhenItsTimeIsUpAndAboutWaitsForTheClick) {
    TSplashForm timed;
    timed.Timer1->setInterval(60);
    timed.Timer1->start();
    timed.show();
    EXPECT_TRUE(jq::test::WaitFor([&] { return !timed.isVisible(); }, 3000));
    EXPECT_FALSE(timed.Timer1->isActive());

    bool timerOff = false;
    WhenShown<TSplashForm>([&](TSplashForm& about) {
        QTimer::singleShot(100, &about, [&] {
            timerOff = !about.Timer1->isActive() && about.isVisible();
            jq::test::LeftClick(about.Image1);
        });
    });
    ShowAboutWindow(nullptr);
    EXPECT_TRUE(timerOff);
}

}  // namespace
