#pragma once
// The one application object of the root tests (offscreen, Russian buttons), and a wait
// that keeps the event loop turning.
#include <gtest/gtest.h>

#include <QTest>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/root/velmaro_app.h"
#include "core/drag/drag_file.h"
#include "core/drag/drag_run.h"
#include "core/platform/program_folder.h"
#include "fakes/temp_folder.h"
#include "test_event.h"
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

// Makes `home` the program folder of this test's console: the full test doubles of the
// two closed libraries, recording into calls.log, and a node port of its own from
// `portBase` on (ctest runs the tests side by side). Returns the port.
inline std::uint16_t useTestProgramFolder(const std::filesystem::path& home, int portBase) {
    app();
    setProgramFolder(home);
    ::setenv("VELMARO_FAKE_LIBS_LOG", (home / "calls.log").c_str(), 1);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const auto port = static_cast<std::uint16_t>(portBase + std::hash<std::string>{}(info->name()) % 800);
    ::setenv("VELMARO_NODE_PORT", std::to_string(port).c_str(), 1);
    copyFakeLibraries(home);
    return port;
}

} // namespace velmaro::test
