#include "ui/app/velmaro_app.h"

#include <QApplication>
#include <QMainWindow>

namespace velmaro {
int runConsole(QApplication& app) {
    QMainWindow w;
    w.setWindowTitle("Velmaro v3.6 - ");
    w.show();
    return app.exec();
}
}
