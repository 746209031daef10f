// Handlers of the main window whose commands are written elsewhere. Each
// does nothing until its command exists; whoever writes a command defines
// its handler in the command's own file and deletes the empty one here.
#include <QAction>

#include "app/tqsform.h"

void TqsForm::btnnetbattleClick() {}
void TqsForm::edInputKeyPress(int) {}
