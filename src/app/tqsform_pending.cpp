// Handlers of the main window whose commands are written elsewhere. Each
// does nothing until its command exists; whoever writes a command defines
// its handler in the command's own file and deletes the empty one here.
#include <QAction>

#include "app/tqsform.h"

void TqsForm::btnNewBattleClick() {}
void TqsForm::btnLoadFileClick() {}
void TqsForm::btnLoadFileMouseDown(Qt::MouseButton, Qt::KeyboardModifiers) {}
void TqsForm::btnsavefileClick() {}
void TqsForm::btnShowResultClick() {}
void TqsForm::btnnetbattleClick() {}
void TqsForm::Button5Click() {}
void TqsForm::Button7Click() {}
void TqsForm::btnNextStepClick() {}
void TqsForm::btnNextStepMouseDown(Qt::MouseButton, Qt::KeyboardModifiers) {}
void TqsForm::btnProvStepClick() {}
void TqsForm::btnProvStepMouseDown(Qt::MouseButton, Qt::KeyboardModifiers) {}
void TqsForm::btnLoadZfClick() {}
void TqsForm::btnSaveZfClick() {}
void TqsForm::btnOtherKbtClick() {}
void TqsForm::bgiveupClick() {}
void TqsForm::bpeaceClick() {}
void TqsForm::mpopAutoPlayClick() {}
void TqsForm::mpopPlayStopClick() {}
void TqsForm::mpopGotoStartClick() {}
void TqsForm::mpopGotoLineClick() {}
void TqsForm::PopupMenu1Popup() {}
void TqsForm::mnFna1Click(QAction*) {}
void TqsForm::qipanClick() {}
void TqsForm::edInputKeyPress(int) {}
void TqsForm::reBulltinKeyPress(int) {}
void TqsForm::FormKeyDown(int, Qt::KeyboardModifiers) {}

// Until the LAN battle has its own exit, leaving is: stop the computer
// player, then close.
void TqsForm::btnExitClick() {
    StopAIThread();
    close();
}
