// Acts on a modal dialog from inside its own modal wait.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

// Runs `act` on the first visible top-level `Dialog` once it is up.
template <class Dialog>
void WhenShown(std::function<void(Dialog&)> act) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, poll] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<Dialog*>(w); d != nullptr && d->isVisible()) {
                act(*d);
                return;
            }
        }
        QTimer::singleShot(5, *poll);
    };
    QTimer::singleShot(0, *poll);
}
