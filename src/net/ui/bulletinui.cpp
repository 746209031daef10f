#include "net/ui/bulletinui.h"

#include <QComboBox>
#include <QMessageBox>
#include <QTextEdit>

#include "platform/toolkit.h"

namespace jq::net {

namespace {

// Chat colours by absolute seat.
const QColor kSeatColours[kSeats] = {QColor(0, 0, 255), QColor(128, 0, 128), QColor(255, 0, 255), QColor(0, 128, 0)};

void Append(QTextEdit* bulletin, const QColor& colour, const std::string& gbLine) {
    if (bulletin == nullptr) return;
    bulletin->setTextColor(colour);
    bulletin->append(QtFromGb(gbLine));
}

}  // namespace

BulletinLanUi::BulletinLanUi(GameState& g, QTextEdit* bulletin, QComboBox* input, QWidget* parent)
    : g_(g), bulletin_(bulletin), input_(input), parent_(parent) {}

BulletinLanUi::~BulletinLanUi() {
    if (peaceBox_) peaceBox_->deleteLater();
}

void BulletinLanUi::ChatLine(int seat, const std::string& gbLine) {
    if (bulletin_) bulletin_->setFocus();
    Append(bulletin_, kSeatColours[IsValidSeat(seat) ? seat : 0], gbLine);
    if (input_) input_->setFocus();
}

void BulletinLanUi::AskPeace(int, const std::string& gbQuestion) {
    // A newer question replaces one not answered yet.
    if (peaceBox_) peaceBox_->deleteLater();
    auto* box = new QMessageBox(QMessageBox::Question, QString(), QtFromGb(gbQuestion),
                                QMessageBox::Ok | QMessageBox::Cancel, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    GameState* g = &g_;
    QObject::connect(box, &QMessageBox::finished, box,
                     [g, box](int) { AnswerPeace(*g, box->clickedButton() == box->button(QMessageBox::Ok)); });
    peaceBox_ = box;
    box->open();
}

void BulletinLanUi::Notice(const std::string& gbText) { Append(bulletin_, QColor(0, 0, 0), gbText); }

}  // namespace jq::net
