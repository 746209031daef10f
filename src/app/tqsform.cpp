#include "app/tqsform.h"

TqsForm::TqsForm(QWidget* parent) : QMainWindow(parent), game_(std::make_unique<jq::GameState>()) {
    resize(644, 547);
}

TqsForm::~TqsForm() = default;
