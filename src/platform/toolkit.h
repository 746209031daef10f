// Small window helpers: the standard message box, pointer shapes, font
// colour and style of a control, pumping pending window messages, and
// GB2312 text for the screen.
#pragma once

#include <QColor>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

class QAbstractButton;
class QMessageBox;
class QWidget;

namespace jq {

// Game texts are GB2312 bytes; the screen takes QString.
QString QtFromGb(std::string_view gb);
std::string GbFromQt(const QString& text);

// The standard modal box: text and caption as GB2312 ("错误", "警告",
// "确认"), no icon, "确定" and, with OkCancel, "取消".
enum class BoxButtons { Ok, OkCancel };
constexpr int kBoxOk = 1;
constexpr int kBoxCancel = 2;
// Returns kBoxOk or kBoxCancel (closing the box counts as "取消" when it
// has one). Called off the main thread the box is handed to the main thread
// and shown there later; the call then returns at once with kBoxOk for an
// OK-only box and kBoxCancel for a question.
int StandardBox(const std::string& gbText, const std::string& gbCaption,
                BoxButtons buttons = BoxButtons::Ok);

// Tests: when set, it runs with every standard box once the box is up,
// inside its modal loop, and may read it and press a button.
inline std::function<void(QMessageBox&)> standardBoxShownHook;

// Number of modal boxes (standard or the game's own) now waiting for an
// answer on the main thread. Timers can use it to hold game logic back.
int OpenModalBoxes();

// Counts a modal box while it is open.
class ModalBoxScope {
public:
    ModalBoxScope();
    ~ModalBoxScope();
    ModalBoxScope(const ModalBoxScope&) = delete;
    ModalBoxScope& operator=(const ModalBoxScope&) = delete;
};

// From now on every dialog or box of this program that opens while a window
// of its own that stays on top is up (the LAN waiting room, say) stays on
// top as well, until it closes: it opens above that window instead of
// underneath it. Once per application; does nothing without one.
void KeepDialogsAboveOwnTopWindows();

// From now on a popup that a window of this program opened goes when the
// window goes. A completer's list (a file dialog's list of names, say) is a
// window of its own, with no parent: when Enter in its edit accepts the
// dialog, the edit takes the key and the completer leaves its list up, over
// the window below, holding the keyboard and the pointer until a click,
// which it swallows. Once per application; does nothing without one.
void ClosePopupsWithTheirWindows();

// True on the thread that runs the windows.
bool OnMainThread();
// Queues `work` to run on the main thread (always queued, also when called
// there). Does nothing without an application.
void PostToMainThread(std::function<void()> work);

enum class PointerShape { Default, HandPoint };
void SetPointerShape(QWidget& control, PointerShape shape);

// The glyph of an OK-kind button beside its caption: the style's standard
// OK icon.
void SetOkGlyph(QAbstractButton& button);

// The control's text colour while it is enabled; disabled, it is drawn as
// the style draws disabled text.
void SetFontColor(QWidget& control, const QColor& color);
void SetFontBold(QWidget& control, bool bold);

// Handles the window messages waiting now, then returns.
void ProcessMessages();

}  // namespace jq
