// What a LAN battle shows in the main window besides the board: chat lines
// and notices in the bulletin, and the draw question as a box that does not
// hold the battle up (its answer goes out when the player gives it).
#pragma once

#include <QPointer>
#include <QWidget>

#include "net/lan.h"

class QComboBox;
class QMessageBox;
class QTextEdit;

namespace jq::net {

class BulletinLanUi : public LanUi {
public:
    // `input` (the chat line) gets the focus back after each chat line.
    BulletinLanUi(GameState& g, QTextEdit* bulletin, QComboBox* input, QWidget* parent);
    ~BulletinLanUi() override;

    void ChatLine(int seat, const std::string& gbLine) override;
    void AskPeace(int seat, const std::string& gbQuestion) override;
    void Notice(const std::string& gbText) override;

    // The open draw question, if any (tests answer it).
    QMessageBox* PeaceBox() const { return peaceBox_; }

private:
    GameState& g_;
    QPointer<QTextEdit> bulletin_;
    QPointer<QComboBox> input_;
    QPointer<QWidget> parent_;
    QPointer<QMessageBox> peaceBox_;
};

}  // namespace jq::net
