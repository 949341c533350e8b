#include <gtest/gtest.h>

#include <thread>

#include "console_fixture.h"
#include "core/app/scoreboard_controller.h"
#include "core/app/web_exchange.h"

namespace velmaro::test {
namespace {

class LibrariesTest : public ConsoleTest {
protected:
    LibrariesTest() { recordLibraryCalls(); }
    std::filesystem::path variant(const std::string& v, const std::string& file) const {
        return std::filesystem::path(VELMARO_FAKE_LIBS_DIR) / v / file;
    }
    vlm_window hook{};
    std::string hookText() const { return std::to_string(reinterpret_cast<long long>(&hook)); }
};

TEST_F(LibrariesTest, ScoreboardPresenceMatrix) {
    {
        SCOPED_TRACE("no library");
        ScoreboardLibrary lib;
        EXPECT_EQ(lib.load(home / "scoreboardcontroller.so", &hook), nullptr);
        EXPECT_FALSE(lib.loaded());
        lib.destroyController();
    }
    {
        SCOPED_TRACE("library without the factory");
        ScoreboardLibrary lib;
        EXPECT_EQ(lib.load(variant("no_create", "scoreboardcontroller.so"), &hook), nullptr);
        EXPECT_TRUE(lib.loaded());
        lib.destroyController();
        EXPECT_TRUE(libraryCalls().empty());
    }
    {
        SCOPED_TRACE("library without the delete function");
        ScoreboardLibrary lib;
        auto* sb = lib.load(variant("no_delete", "scoreboardcontroller.so"), &hook);
        ASSERT_NE(sb, nullptr);
        sb->reset(1);
        lib.destroyController();
        EXPECT_EQ(lib.controller(), nullptr);
        EXPECT_EQ(libraryCalls(),
                  (std::vector<std::string>{"scoreboard create window=" + hookText(), "scoreboard reset 1"}));
    }
    std::filesystem::remove(home / "calls.log");
    {
        SCOPED_TRACE("full library");
        ::setenv("VELMARO_FAKE_SCOREBOARD_TYPE", "153", 1);
        ScoreboardLibrary lib;
        auto* sb = lib.load(variant("full", "scoreboardcontroller.so"), &hook);
        ASSERT_NE(sb, nullptr);
        EXPECT_EQ(lib.load(variant("full", "scoreboardcontroller.so"), &hook), sb); // one object only
        EXPECT_EQ(sb->getType(), 153);
        sb->showClock("12:34:56", 81, 0, 0);
        sb->showLane(1, 2, 77, 10500, 1234, 1800, 0, 250, 1, "Иван", "Тверь");
        sockaddr_in from{};
        from.sin_port = htons(5000);
        sb->handleLine("SCOREBOARD:1", from);
        lib.destroyController();
        lib.destroyController(); // a second call does nothing
        EXPECT_EQ(libraryCalls(),
                  (std::vector<std::string>{"scoreboard create window=" + hookText(), "scoreboard getType",
                                            "scoreboard showClock 12:34:56 81 0 0",
                                            "scoreboard showLane 1 2 77 10500 1234 1800 0 250 1 Иван Тверь",
                                            "scoreboard handleLine SCOREBOARD:1 5000", "scoreboard delete"}));
    }
}

// The double itself must see overlaps, or the next test proves nothing.
TEST_F(LibrariesTest, ScoreboardDoubleDetectsOverlappingCalls) {
    ::setenv("VELMARO_FAKE_SCOREBOARD_DELAY_US", "100000", 1);
    SharedLibrary raw;
    ASSERT_TRUE(raw.load(variant("full", "scoreboardcontroller.so")));
    auto create = reinterpret_cast<vlm_create_scoreboard_controller_fn>(raw.symbol(VLM_CREATE_SCOREBOARD_CONTROLLER));
    auto destroy = reinterpret_cast<vlm_delete_scoreboard_controller_fn>(raw.symbol(VLM_DELETE_SCOREBOARD_CONTROLLER));
    vlm_scoreboard* object = nullptr;
    create(&object, &hook);
    ::unsetenv("VELMARO_FAKE_SCOREBOARD_DELAY_US");
    ASSERT_NE(object, nullptr);
    std::thread other([&] { object->ops->reset(object, 1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // the other call sits inside for 100 ms
    object->ops->showLogo(object);
    other.join();
    destroy(&object);
    auto calls = libraryCalls();
    EXPECT_NE(std::find_if(calls.begin(), calls.end(),
                           [](const std::string& l) { return l.rfind("scoreboard OVERLAP", 0) == 0; }),
              calls.end());
}

TEST_F(LibrariesTest, ControllerCallsFromTwoThreadsNeverOverlap) {
    ::setenv("VELMARO_FAKE_SCOREBOARD_DELAY_US", "200", 1);
    ScoreboardLibrary lib;
    auto* sb = lib.load(variant("full", "scoreboardcontroller.so"), &hook);
    ::unsetenv("VELMARO_FAKE_SCOREBOARD_DELAY_US");
    ASSERT_NE(sb, nullptr);
    std::thread link([sb] {
        sockaddr_in from{};
        for (int i = 0; i < 40; ++i) sb->handleLine("SCOREBOARD", from);
    });
    for (int i = 0; i < 40; ++i) sb->setBrightness(16);
    link.join();
    lib.destroyController();
    auto calls = libraryCalls();
    EXPECT_EQ(calls.size(), 82u);
    for (const auto& line : calls) EXPECT_EQ(line.find("OVERLAP"), std::string::npos) << line;
}

TEST_F(LibrariesTest, ExchangePresenceMatrix) {
    {
        SCOPED_TRACE("no library");
        WebExchange ex;
        EXPECT_FALSE(ex.open(home / "wsadapter.so", &hook));
        EXPECT_EQ(ex.sendData, nullptr);
        EXPECT_EQ(ex.getData, nullptr);
        EXPECT_FALSE(ex.send("x", "online"));
        ex.close();
        EXPECT_TRUE(libraryCalls().empty());
    }
    {
        SCOPED_TRACE("library without sendData");
        WebExchange ex;
        EXPECT_TRUE(ex.open(variant("no_send", "wsadapter.so"), &hook));
        EXPECT_EQ(ex.sendData, nullptr);
        EXPECT_NE(ex.getData, nullptr);
        EXPECT_FALSE(ex.send("x", "online"));
        ex.close();
        EXPECT_EQ(ex.getData, nullptr);
        EXPECT_TRUE(libraryCalls().empty()); // neither INIT nor DEINIT
    }
    {
        SCOPED_TRACE("library without getData");
        WebExchange ex;
        EXPECT_TRUE(ex.open(variant("no_get", "wsadapter.so"), &hook));
        EXPECT_EQ(ex.getData, nullptr);
        ex.close();
        EXPECT_EQ(libraryCalls(), (std::vector<std::string>{"exchange sendData INIT " + hookText() + " ",
                                                            "exchange sendData DEINIT 0 "}));
    }
    std::filesystem::remove(home / "calls.log");
    {
        SCOPED_TRACE("full library");
        WebExchange ex;
        EXPECT_TRUE(ex.open(variant("full", "wsadapter.so"), &hook));
        EXPECT_TRUE(ex.open(variant("full", "wsadapter.so"), &hook)); // INIT still once
        EXPECT_TRUE(ex.send("RESET", "online"));
        ex.close();
        EXPECT_EQ(ex.sendData, nullptr);
        EXPECT_EQ(ex.getData, nullptr);
        EXPECT_FALSE(ex.loaded());
        ex.close();
        EXPECT_EQ(libraryCalls(),
                  (std::vector<std::string>{"exchange sendData INIT " + hookText() + " ",
                                            "exchange sendData RESET 0 online", "exchange sendData DEINIT 0 "}));
    }
}

TEST_F(LibrariesTest, ExchangeReadsEveryWaitingMessageAndPostsToTheWindowItWasGiven) {
    home.write("inbox.txt", "{\"event\":\"init\"}\n{\"event\":\"data\"}\n");
    ::setenv("VELMARO_FAKE_EXCHANGE_INBOX", (home / "inbox.txt").c_str(), 1);
    MainWindowHandle window;
    std::vector<unsigned> posted;
    window.attach([&](unsigned m, std::uintptr_t, std::intptr_t) { posted.push_back(m); });

    WebExchange ex;
    ASSERT_TRUE(ex.open(variant("full", "wsadapter.so"), window.window()));
    ex.send("POST", "");
    EXPECT_EQ(posted, std::vector<unsigned>{WM_EXCHANGE_DATA});

    static char buffer[4194304];
    std::vector<std::string> got;
    while (const char* text = ex.getData(buffer, sizeof buffer)) got.emplace_back(text);
    EXPECT_EQ(got, (std::vector<std::string>{"{\"event\":\"init\"}", "{\"event\":\"data\"}"}));

    window.detach();
    ex.send("POST", "");
    EXPECT_EQ(posted.size(), 1u); // dropped once the window is closing
    ex.close();
    ::unsetenv("VELMARO_FAKE_EXCHANGE_INBOX");
}

} // namespace
} // namespace velmaro::test
