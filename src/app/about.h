// The About window: the splash picture, shown modally until the player
// clicks it.
#pragma once

class QWidget;

void ShowAboutWindow(QWidget* owner);
