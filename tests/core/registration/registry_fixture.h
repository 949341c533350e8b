#pragma once
// A registry with its event folder and database file in a fresh temporary folder, a
// recording sink and a scripted operator (for the log lines).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/registration/registry.h"
#include "fakes/scripted_operator.h"
#include "fakes/temp_folder.h"

namespace velmaro::test {

// Records what the registry told the windows, in order.
class RecordingSink : public ClassPageSink {
public:
    std::vector<std::string> calls;
    std::vector<std::string> pages; // captions of the class pages made
    int mode = 0;

    void clearClassPages() override {
        calls.push_back("clearClassPages");
        pages.clear();
    }
    void createClassPage(TClassItem& cls) override {
        calls.push_back("createClassPage");
        pages.push_back("ТОП - " + cls.name);
    }
    void rebuildBracketDrawings() override { calls.push_back("rebuildBracketDrawings"); }
    void repaintBrackets() override { calls.push_back("repaintBrackets"); }
    void racersChanged() override { calls.push_back("racersChanged"); }
    void classCountsChanged() override { calls.push_back("classCountsChanged"); }
    int raceMode() const override { return mode; }
    void notifyResultsThread() override { calls.push_back("notifyResultsThread"); }
    void sendRaceInfo() override { calls.push_back("sendRaceInfo"); }

    bool called(const std::string& name) const {
        for (const auto& c : calls)
            if (c == name) return true;
        return false;
    }
};

class RegistryTest : public ::testing::Test {
protected:
    RegistryTest() : scoped(op) {
        reg.setEventFolder(tmp.path() / "event");
        std::filesystem::create_directories(tmp.path() / "event");
        reg.setDatabaseFile(tmp.path() / "DB" / "racersdb.txt");
        reg.setSink(&sink);
    }

    TRacerItem& racer(std::uint32_t number, const std::string& name = {}, std::vector<std::int32_t> classIds = {},
                      std::int32_t tag = 0) {
        reg.racers.push_back(std::make_unique<TRacerItem>(number));
        TRacerItem& r = *reg.racers.back();
        r.name = name;
        r.classIds = std::move(classIds);
        r.tag = tag;
        return r;
    }
    TClassItem& cls(std::int32_t id, const std::string& name) {
        reg.classes.push_back(std::make_unique<TClassItem>(id, name));
        return *reg.classes.back();
    }
    std::string eventFile(const std::string& name) const { return tmp.read("event/" + name); }
    void writeEventFile(const std::string& name, const std::string& text) const { tmp.write("event/" + name, text); }

    TempFolder tmp;
    ScriptedOperator op;
    ScopedSaveReportLog scoped;
    RecordingSink sink;
    TRegistry reg;
};

} // namespace velmaro::test
