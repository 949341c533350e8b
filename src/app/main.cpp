#include <QApplication>

#include "ui/app/velmaro_app.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return velmaro::runConsole(app);
}
