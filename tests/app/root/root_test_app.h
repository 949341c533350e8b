#pragma once
// The one application object of the root tests (offscreen, Russian buttons), and a wait
// that keeps the event loop turning.
#include <QTest>

#include <chrono>
#include <cstdlib>

#include "app/root/velmaro_app.h"
#include "ui/app/console_application.h"

namespace velmaro::test {

inline ui::ConsoleApplication& app() {
    static int argc = 1;
    static char name[] = "test_app_root";
    static char* argv[] = {name, nullptr};
    static auto* instance = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        auto* a = new ui::ConsoleApplication(argc, argv);
        installRussianTranslation(*a);
        return a;
    }();
    return *instance;
}

// Runs the event loop until `pred` holds or `limit` passes.
template <class Pred>
bool eventually(Pred pred, std::chrono::milliseconds limit = std::chrono::milliseconds(8000)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        QTest::qWait(5);
    }
    return pred();
}

} // namespace velmaro::test
