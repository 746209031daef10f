#include "app/about.h"

#include <QWidget>

#include "app/splash.h"

void ShowAboutWindow(QWidget* owner) {
    TSplashForm about(owner);
    about.setWindowModality(Qt::ApplicationModal);
    about.exec();  // its timer stays off: only a click closes it
}
