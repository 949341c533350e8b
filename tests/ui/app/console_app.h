#pragma once
// One QApplication for every test of this program, never destroyed: tearing it down among
// the exit handlers would outlive parts of Qt it needs. On the offscreen platform its
// screen is the official's 1280x800 laptop screen (the platform's own is 800x800).
#include <QApplication>
#include <QByteArray>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace velmaro::test {

inline QApplication& consoleApp() {
    static int argc = 1;
    static char name[] = "test_ui_app";
    static char* argv[] = {name, nullptr};
    if (auto* app = qobject_cast<QApplication*>(QApplication::instance())) return *app;
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    std::filesystem::path config;
    if (platform.isEmpty() || platform == "offscreen") {
        config = std::filesystem::temp_directory_path() / ("velmaro_screen_" + std::to_string(::getpid()) + ".json");
        std::ofstream(config) << R"({"screens": [{"name": "laptop", "x": 0, "y": 0, "width": 1280, "height": 800,)"
                                 R"( "logicalDpi": 96}]})";
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.string().c_str());
    }
    auto* app = new QApplication(argc, argv);
    if (!config.empty()) std::filesystem::remove(config);
    return *app;
}

} // namespace velmaro::test
