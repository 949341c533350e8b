#pragma once
// One QApplication for every test of this program (offscreen platform).
#include <QApplication>

namespace velmaro::test {

inline void ensureQtApplication() {
    if (qApp) return;
    static int argc = 1;
    static char name[] = "test_ui_bracket";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(argc, argv);
}

} // namespace velmaro::test
