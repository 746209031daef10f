#include <QApplication>

#include "app/tqsform.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TqsForm form;
    form.show();
    return app.exec();
}
