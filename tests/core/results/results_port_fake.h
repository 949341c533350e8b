#pragma once
// A drag results port for tests: the documents sent are recorded, the rank options are
// the test's (or the defaults), and a test may look at each shown view.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/results/drag_results.h"

namespace velmaro::test {

class FakeDragResultsPort : public DragResultsPort {
public:
    std::vector<std::pair<std::string, std::string>> sent; // text, kind
    bool exchangeLoaded = true;                            // false: every send is skipped
    std::optional<TDragRankOptions> rank;                  // nullopt: the defaults
    std::function<void(const TDragResultsView&)> onShow;
    bool proStart = false;              // the console's start signal setting
    std::string event;                  // the open event's name
    TDragResultsCntr* worker = nullptr; // the running worker the results reach, if any

    TDragRankOptions sampleRankOptions() override { return rank.value_or(TDragRankOptions{}); }
    bool proStartSignal() override { return proStart; }
    std::string eventName() override { return event; }
    void showResults(const TDragResultsView& view) override {
        if (onShow) onShow(view);
    }
    void sendData(const std::string& text, const char* kind) override {
        if (exchangeLoaded) sent.emplace_back(text, kind);
    }
    TDragResultsCntr* resultsWorker() override { return worker; }
};

} // namespace velmaro::test
