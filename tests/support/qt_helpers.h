// Pointer events sent to real widgets, waiting with the event loop running, and a scratch folder made the
// current directory (the window's working folder).
#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <string>

#include "support/files_support.h"

namespace jq::test {

// A scratch folder that is the current directory while the object lives.
class ScratchWorkFolder {
public:
    ScratchWorkFolder() : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder_.Plain());
    }
    ~ScratchWorkFolder() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
    }
    ScratchWorkFolder(const ScratchWorkFolder&) = delete;
    ScratchWorkFolder& operator=(const ScratchWorkFolder&) = delete;

    const std::string& path() const { return folder_.Plain(); }

private:
    ScratchFolder folder_;
    std::filesystem::path previous_;
};

// A mouse event at `at` (the middle of `w` when left out).
inline void SendMouse(QWidget* w, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons,
                      QPoint at = QPoint(-1, -1), Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (at.x() < 0) at = QPoint(w->width() / 2, w->height() / 2);
    QMouseEvent event(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, buttons, modifiers);
    QApplication::sendEvent(w, &event);
}

inline void MoveOver(QWidget* w, QPoint at = QPoint(-1, -1)) {
    SendMouse(w, QEvent::MouseMove, Qt::NoButton, Qt::NoButton, at);
}

inline void LeftClick(QWidget* w, QPoint at = QPoint(-1, -1)) {
    SendMouse(w, QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, at);
    SendMouse(w, QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, at);
}

// Handles events until `done` holds or `limitMs` has passed; returns `done`.
inline bool WaitFor(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs) QApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

}  // namespace jq::test
