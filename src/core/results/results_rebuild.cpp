// One whole rebuild of the drag results from a heat list (DragResultsModel made anew).
#include "core/results/drag_results.h"
#include "core/results/results_model.h"

namespace velmaro {

std::shared_ptr<TDragResultsView> TDragResultsCntr::buildResults(std::vector<TDragRaceItem>& runs,
                                                                 const TDragResultsOptions& options,
                                                                 BracketPages& brackets) {
    std::vector<const TDragRaceItem*> list;
    list.reserve(runs.size());
    for (const TDragRaceItem& run : runs) list.push_back(&run);
    DragResultsModel model(brackets);
    auto view = model.build(list, options, nullptr);
    for (std::size_t i = 0; i < runs.size(); ++i)
        if (runs[i].runMode == RUN_MODE_QUALIFICATION) runs[i].breakout = model.laneBreakout(i);
    return view;
}

} // namespace velmaro
