// The desktop opener with stand-ins for xdg-open on PATH: the file goes to it, and its
// failure (no application for the file, or no xdg-open at all) comes back once.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fakes/temp_folder.h"
#include "ui/platform/desktop_opener.h"

namespace velmaro {
namespace {

class DesktopOpenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* path = std::getenv("PATH");
        savedPath_ = path ? path : "";
        std::filesystem::create_directories(bin.path());
    }
    void TearDown() override { ::setenv("PATH", savedPath_.c_str(), 1); }

    // xdg-open on an otherwise empty PATH: records its argument, exits with `code`.
    void fakeXdgOpen(int code) {
        bin.write("xdg-open", "#!/bin/sh\nprintf '%s' \"$1\" > \"" + (bin / "opened").string() + "\"\nexit " +
                                  std::to_string(code) + "\n");
        std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
        ::setenv("PATH", bin.path().c_str(), 1);
    }
    // Opens the file and lets the events run until a failure came, or until xdg-open ran
    // and half a second more passed (5 s at most).
    int failures(const std::filesystem::path& file) {
        int failed = 0;
        DesktopOpener opener;
        opener.open(file, [&failed] { ++failed; });
        const QDeadlineTimer deadline(5000);
        QDeadlineTimer settled(QDeadlineTimer::Forever);
        while (!deadline.hasExpired() && !settled.hasExpired() && failed == 0) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
            if (settled.isForever() && std::filesystem::exists(bin / "opened")) settled.setRemainingTime(500);
        }
        // Whatever is still queued comes now: a second failure report would show.
        for (int i = 0; i < 10; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return failed;
    }

    test::TempFolder bin;
    std::string savedPath_;
};

TEST_F(DesktopOpenerTest, AnApplicationTookTheFile) {
    fakeXdgOpen(0);
    EXPECT_EQ(failures("/event/Кубок.xlsx"), 0);
    EXPECT_EQ(bin.read("opened"), "/event/Кубок.xlsx");
}

TEST_F(DesktopOpenerTest, NoApplicationForTheFile) {
    fakeXdgOpen(4); // xdg-open: "the action failed"
    EXPECT_EQ(failures("/event/Кубок.xlsx"), 1);
}

TEST_F(DesktopOpenerTest, NoXdgOpenAtAll) {
    ::setenv("PATH", bin.path().c_str(), 1);
    EXPECT_EQ(failures("/event/Кубок.xlsx"), 1);
}

} // namespace
} // namespace velmaro
