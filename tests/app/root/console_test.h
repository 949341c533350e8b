#pragma once
// What the end-to-end tests of the console share: the one application object and a wait
// that runs the event loop; and for the whole-event rehearsals a simulated timing network
// in a namespace of its own, the closed libraries' log, modal dialogs answered the way an
// official answers them, the registration steps, and pictures of the windows for the
// walkthrough (VELMARO_SHOTS=<folder> saves them as PNG).
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/root/console_root.h"
#include "app/root/velmaro_app.h"
#include "core/app/console.h"
#include "core/link/node_link.h"
#include "core/platform/program_folder.h"
#include "fakes/scripted_operator.h"
#include "fakes/sim_network.h"
#include "fakes/temp_folder.h"
#include "nodesim/node_simulator.h"
#include "root_test_app.h"
#include "ui/app/console_application.h"
#include "ui/app/main_form.h"
#include "ui/registration/edit_class_form.h"
#include "ui/registration/edit_personal_data_form.h"
#include "ui/registration/reg_form.h"
#include "ui/results/rally_results.h"

namespace velmaro::test {

using namespace std::chrono_literals;

// The rows of one block of the results window (class, or "Абсолютный зачет"): racer
// number and time cell, in the window's order.
inline std::vector<std::pair<int, std::string>> resultsBlock(const std::string& title) {
    std::vector<std::pair<int, std::string>> rows;
    const ResultsTable& table = ui::RallyResults->table();
    bool in = false;
    for (std::size_t row = 1; row < table.cells.size(); ++row) {
        const auto& cells = table.cells[row];
        if (cells[0].empty()) {
            in = cells[2] == title;
            continue;
        }
        if (in && !cells[1].empty()) rows.emplace_back(std::atoi(cells[1].c_str()), cells[6]);
    }
    return rows;
}

inline std::vector<std::string> keysOf(const std::map<std::string, std::string>& map) {
    std::vector<std::string> keys;
    for (const auto& entry : map) keys.push_back(entry.first);
    return keys;
}

// Lines of the closed libraries' log (VELMARO_FAKE_LIBS_LOG) that begin with `prefix`.
inline std::vector<std::string> libraryCalls(const std::filesystem::path& log, const std::string& prefix) {
    std::vector<std::string> lines;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

// Runs `act`, which opens `dialog` modally; once the dialog shows, `answer` fills and
// closes it as the official would.
inline void whileModal(QWidget* dialog, std::function<void()> answer, const std::function<void()>& act) {
    auto poll = std::make_shared<std::function<void()>>();
    auto tries = std::make_shared<int>(0);
    *poll = [dialog, answer, poll, tries] {
        if (dialog->isVisible() && QApplication::activeModalWidget() == dialog) {
            answer();
            *poll = nullptr; // breaks the cycle
        } else if (++*tries > 1000) {
            // Some other window holds the official: close it, and the step fails.
            QWidget* other = QApplication::activeModalWidget();
            ADD_FAILURE() << "expected dialog " << dialog->metaObject()->className()
                          << " did not open; open: " << (other ? other->metaObject()->className() : "none");
            if (auto* d = qobject_cast<QDialog*>(other)) d->reject();
            *poll = nullptr;
        } else {
            QTimer::singleShot(5, [poll] {
                if (*poll) (*poll)();
            });
        }
    };
    QTimer::singleShot(0, [poll] {
        if (*poll) (*poll)();
    });
    act();
}

// The window as a PNG named `name` in VELMARO_SHOTS, when that is set.
inline void shot(QWidget& window, const std::string& name) {
    const char* folder = std::getenv("VELMARO_SHOTS");
    if (!folder) return;
    QApplication::processEvents();
    std::filesystem::create_directories(folder);
    const QPixmap picture = window.grab();
    picture.save(QString::fromStdString((std::filesystem::path(folder) / (name + ".png")).string()), "PNG");
}

// A program folder with the closed-library test doubles, a node port of its own and the
// simulated network, the start unit, finish, speed trap and 60 ft nodes online.
class RehearsalFixture : public ::testing::Test {
protected:
    RehearsalFixture(std::uint16_t port, int network) : port_(port), network_(network) {
        app();
        setProgramFolder(home.path());
        // The desktop's opener: an xdg-open that notes the file and reports it opened.
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        home.write("desktop/xdg-open", "#!/bin/sh\necho \"$1\" >> \"" + (home / "opened.log").string() + "\"\n");
        std::filesystem::permissions(home / "desktop" / "xdg-open", std::filesystem::perms::owner_all);
        ::setenv("PATH", ((home / "desktop").string() + ":" + savedPath_).c_str(), 1);
        ::setenv("VELMARO_FAKE_LIBS_LOG", (home / "calls.log").c_str(), 1);
        ::setenv("VELMARO_NODE_PORT", std::to_string(port_).c_str(), 1);
        for (const char* file : {"scoreboardcontroller.so", "wsadapter.so"})
            std::filesystem::copy_file(std::filesystem::path(VELMARO_FAKE_LIBS_DIR) / "full" / file, home / file);
    }
    ~RehearsalFixture() override {
        ::setenv("PATH", savedPath_.c_str(), 1);
        ::unsetenv("VELMARO_FAKE_LIBS_LOG");
        ::unsetenv("VELMARO_NODE_PORT");
        ::unsetenv("VELMARO_LINK_INTERFACES");
    }

    // False (with the test skipped or failed) when no private namespace is at hand.
    bool startNetwork() {
        if (!std::getenv("VELMARO_NETNS")) return false;
        net = std::make_unique<SimNetwork>(network_);
        if (!net->ok()) return false;
        ::setenv("VELMARO_LINK_INTERFACES", net->consoleInterface().c_str(), 1);
        nodesim::SimOptions o;
        o.networkNamespace = net->path();
        o.bindAddress = net->simAddress();
        o.port = port_;
        o.greetingAddress = net->broadcast();
        o.onlineNodes = {1, 2, 4, 5};
        o.statusPeriodMs = 100;
        sim = std::make_unique<nodesim::NodeSimulator>(o);
        return sim->start();
    }

    // Launches `root`, waits for the simulated gateway, chooses `mode` in the menu and
    // creates the event `name` with "Новое мероприятие".
    void launchNewEvent(ConsoleRoot& root, unsigned mode, const std::string& name) {
        root.launch();
        ui::TMainForm& form = *root.mainForm();
        ASSERT_TRUE(eventually([&] { return root.nodeLink().gateway().ip == net->simIp(); }));
        form.modeItems[mode]->trigger();
        ASSERT_EQ(root.console().raceMode, mode);
        op.inputs = {name};
        form.mNewEvent->trigger();
        ASSERT_EQ(root.console().eventName, name);
        ASSERT_TRUE(std::filesystem::exists(home / "CHALLENGES" / name));
    }

    // The registration window ("Регистрация..."), with `fill` run inside it; closing it
    // reloads the event.
    static void inRegistration(ui::TMainForm& form, const std::function<void(ui::TRegForm&)>& fill) {
        whileModal(
            ui::RegForm,
            [fill] {
                fill(*ui::RegForm);
                ui::RegForm->accept();
            },
            [&] { form.mRegister->trigger(); });
    }
    // "Добавить" on the class page, the class dialog filled and confirmed.
    static void addClass(ui::TRegForm& reg, const ClassFields& fields) {
        reg.pRegPages->setCurrentIndex(0);
        whileModal(
            ui::EditClassForm,
            [fields] {
                ui::EditClassForm->setFields(fields);
                ui::EditClassForm->sButton1->click();
            },
            [&] { reg.bAdd->click(); });
    }
    // "Добавить" on the racer page, the racer dialog filled with one class ticked.
    static void addRacer(ui::TRegForm& reg, const RacerFields& fields, int classIndex) {
        reg.pRegPages->setCurrentIndex(1);
        whileModal(
            ui::EditPersonalDataForm,
            [fields, classIndex] {
                ui::TEditPersonalDataForm& d = *ui::EditPersonalDataForm;
                d.setFields(fields);
                d.lClassesList->item(classIndex)->setCheckState(Qt::Checked);
                d.Button1->click();
            },
            [&] { reg.bAdd->click(); });
    }

    std::vector<std::string> calls(const std::string& prefix) const { return libraryCalls(home / "calls.log", prefix); }

    // The names of the files the desktop was asked to open, in order.
    std::vector<std::string> openedFiles() const {
        std::vector<std::string> names;
        std::ifstream in(home / "opened.log");
        for (std::string line; std::getline(in, line);)
            names.push_back(std::filesystem::path(line).filename().string());
        return names;
    }

    // The texts of `files` in the event folder `event`, by file name.
    std::map<std::string, std::string> eventFiles(const std::string& event,
                                                  const std::vector<std::string>& files) const {
        std::map<std::string, std::string> texts;
        for (const std::string& file : files) texts[file] = home.read("CHALLENGES/" + event + "/" + file);
        return texts;
    }

    TempFolder home;
    ScriptedOperator op;
    std::unique_ptr<SimNetwork> net;
    std::unique_ptr<nodesim::NodeSimulator> sim;

private:
    std::uint16_t port_;
    int network_;
    std::string savedPath_;
};

// Trap speed over 20 m as the console cuts it: km/h to one decimal, cut, not rounded.
inline double trapSpeed(int ms) { return std::floor(20.0 * 3600.0 / ms * 10.0) / 10.0; }

// "%02d.%03d" of a time under a minute, as the grids and results show it.
inline std::string secondsText(int ms) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%03d", ms / 1000, ms % 1000);
    return text;
}

} // namespace velmaro::test
