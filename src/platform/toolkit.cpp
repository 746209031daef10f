#include "platform/toolkit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QCursor>
#include <QEvent>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "core/text.h"

namespace jq {

namespace {

int openModalBoxes = 0;  // main thread only

// Set on a dialog that stays on top only while it is open.
constexpr char kRaisedOnTop[] = "jqRaisedOnTop";

bool StaysOnTop(const QWidget& w) { return w.windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

bool OwnTopWindowUp(const QWidget& except) {
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w != &except && w->isVisible() && StaysOnTop(*w)) return true;
    return false;
}

// Changes the flag on the widget and on its system window without making the
// window anew (which would hide it). The show event comes before the window
// is mapped, and the hide event after it is unmapped, so the system takes
// the change as the window's state when it maps.
void SetStaysOnTop(QWidget& w, bool on) {
    w.overrideWindowFlags(w.windowFlags().setFlag(Qt::WindowStaysOnTopHint, on));
    if (QWindow* handle = w.windowHandle()) handle->setFlags(handle->flags().setFlag(Qt::WindowStaysOnTopHint, on));
    w.setProperty(kRaisedOnTop, on ? QVariant(true) : QVariant());
}

class DialogsAboveOwnTopWindows : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type != QEvent::Show && type != QEvent::Hide) || !watched->isWidgetType()) return false;
        auto& w = static_cast<QWidget&>(*watched);
        if (!w.isWindow() || w.windowType() != Qt::Dialog) return false;
        if (type == QEvent::Show && !StaysOnTop(w) && OwnTopWindowUp(w))
            SetStaysOnTop(w, true);
        else if (type == QEvent::Hide && w.property(kRaisedOnTop).isValid())
            SetStaysOnTop(w, false);  // a dialog kept for later opens as it was made
        return false;
    }
};

// Whether `popup` was opened for `window`: it lies inside it (a combo box's
// list), or it is the list of a completer of one of its edits.
bool OpenedFor(const QWidget& popup, const QWidget& window) {
    for (const QWidget* w = popup.parentWidget(); w != nullptr; w = w->parentWidget())
        if (w == &window) return true;
    const QList<QCompleter*> completers = window.findChildren<QCompleter*>();
    return std::any_of(completers.begin(), completers.end(), [&](const QCompleter* c) {
        return c->widget() != nullptr && window.isAncestorOf(c->widget()) && c->popup() == &popup;
    });
}

class PopupsGoWithTheirWindows : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Hide || !watched->isWidgetType()) return false;
        const auto& window = static_cast<const QWidget&>(*watched);
        if (!window.isWindow() || window.windowType() == Qt::Popup || QApplication::activePopupWidget() == nullptr)
            return false;
        for (QWidget* popup : QApplication::topLevelWidgets())
            if (popup->windowType() == Qt::Popup && popup->isVisible() && OpenedFor(*popup, window)) popup->hide();
        return false;
    }
};

}  // namespace

QString QtFromGb(std::string_view gb) {
    return QString::fromStdString(Utf8FromGb(gb));
}

std::string GbFromQt(const QString& text) {
    return Gb(text.toStdString());
}

int OpenModalBoxes() {
    return openModalBoxes;
}

ModalBoxScope::ModalBoxScope() {
    ++openModalBoxes;
}

ModalBoxScope::~ModalBoxScope() {
    --openModalBoxes;
}

void KeepDialogsAboveOwnTopWindows() {
    static QPointer<QObject> installed;  // goes with its application
    QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || installed) return;
    installed = new DialogsAboveOwnTopWindows(app);
    app->installEventFilter(installed);
}

void ClosePopupsWithTheirWindows() {
    static QPointer<QObject> installed;  // goes with its application
    QApplication* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr || installed) return;
    installed = new PopupsGoWithTheirWindows(app);
    app->installEventFilter(installed);
}

bool OnMainThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

void PostToMainThread(std::function<void()> work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

int StandardBox(const std::string& gbText, const std::string& gbCaption, BoxButtons buttons) {
    const int refusal = buttons == BoxButtons::Ok ? kBoxOk : kBoxCancel;
    if (!OnMainThread()) {
        PostToMainThread([gbText, gbCaption, buttons] { StandardBox(gbText, gbCaption, buttons); });
        return refusal;
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return refusal;  // no windows in this process
    }

    QMessageBox box(QApplication::activeWindow());
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(QtFromGb(gbCaption));
    box.setTextFormat(Qt::PlainText);
    box.setText(QtFromGb(gbText));
    QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    QPushButton* cancel = nullptr;
    if (buttons == BoxButtons::OkCancel) {
        cancel = box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        box.setEscapeButton(cancel);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);

    if (standardBoxShownHook) {
        QTimer::singleShot(0, &box, [&box] {
            if (standardBoxShownHook) {
                standardBoxShownHook(box);
            }
        });
    }
    ModalBoxScope scope;
    box.exec();
    if (box.clickedButton() == ok) {
        return kBoxOk;
    }
    return cancel != nullptr ? kBoxCancel : kBoxOk;
}

void SetPointerShape(QWidget& control, PointerShape shape) {
    if (shape == PointerShape::HandPoint) {
        control.setCursor(Qt::PointingHandCursor);
    } else {
        control.unsetCursor();
    }
}

void SetOkGlyph(QAbstractButton& button) {
    button.setIcon(button.style()->standardIcon(QStyle::SP_DialogOkButton, nullptr, &button));
}

void SetFontColor(QWidget& control, const QColor& color) {
    QPalette palette = control.palette();
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, color);
        palette.setColor(group, QPalette::ButtonText, color);
        palette.setColor(group, QPalette::Text, color);
    }
    control.setPalette(palette);
}

void SetFontBold(QWidget& control, bool bold) {
    QFont font = control.font();
    font.setBold(bold);
    control.setFont(font);
}

void ProcessMessages() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents();
    }
}

}  // namespace jq
