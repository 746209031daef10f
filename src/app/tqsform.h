// The main window: owns one game and the components that show it.
#pragma once

#include <QMainWindow>
#include <memory>

#include "core/qipan.h"

class TqsForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TqsForm(QWidget* parent = nullptr);
    ~TqsForm() override;

    jq::GameState& game() { return *game_; }

private:
    std::unique_ptr<jq::GameState> game_;
};
