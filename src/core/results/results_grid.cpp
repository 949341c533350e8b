// The two-lane results grid and the cell grammar.
#include "core/results/results_grid.h"

#include <charconv>
#include <unordered_map>

#include "core/drag/drag_run.h"
#include "core/platform/timing_mode.h"
#include "core/registration/registry.h"

namespace velmaro {

std::string dragAttemptText(const TDragAttempt& a, bool clearTime) {
    const int code = a.runMode >= 0 && a.runMode <= 9 ? a.runMode : 0;
    const std::int32_t time =
        clearTime ? a.et
                  : static_cast<std::int32_t>(static_cast<std::uint32_t>(a.et) + static_cast<std::uint32_t>(a.rt));
    std::string text = std::to_string(code) + ":" + formatLaneTime(time);
    if (a.foul != 0) text += "(F)";
    text += "  ";
    text += formatSpeedKmh(a.spd);
    return text;
}

namespace {

// Racers and classes by number and id, the first of each in list order.
template <class Registry>
class NameIndex {
public:
    explicit NameIndex(const Registry& registry) {
        for (const auto& r : registry.racers) {
            const TRacerItem& racer = deref(r);
            if (racer.number != 0) racers_.emplace(static_cast<std::int32_t>(racer.number), &racer);
        }
        for (const auto& c : registry.classes) {
            const TClassItem& cls = deref(c);
            classes_.emplace(cls.id, &cls);
        }
    }
    const TRacerItem* racer(std::int32_t number) const {
        auto it = racers_.find(number);
        return it == racers_.end() ? nullptr : it->second;
    }
    const TClassItem* cls(std::int32_t id) const {
        auto it = classes_.find(id);
        return it == classes_.end() ? nullptr : it->second;
    }

private:
    template <class T>
    static const T& deref(const T& v) {
        return v;
    }
    template <class T>
    static const T& deref(const std::unique_ptr<T>& p) {
        return *p;
    }
    std::unordered_map<std::int32_t, const TRacerItem*> racers_;
    std::unordered_map<std::int32_t, const TClassItem*> classes_;
};

template <class Registry>
ResultsTable buildTable(const TDragResultsView& view, const Registry& registry) {
    const NameIndex<Registry> names(registry);
    const bool clean = view.rank.clearTime;
    ResultsTable t = resultsTableFrame(view.rank.sumTime);
    const int attempts = view.maxAttempts > 0 ? view.maxAttempts : 0;
    for (int i = 0; i < attempts; ++i) {
        t.cells[0].push_back("Заезд " + std::to_string(i + 1));
        t.columnWidths.push_back(kAttemptColumnWidth);
    }
    const std::size_t columns = t.cells[0].size();
    std::size_t rows = 1;
    for (const auto& [id, list] : view.resultsByClass) rows += 1 + list.size();
    if (!view.resultsByClass.count(-1)) ++rows;
    t.cells.reserve(rows);

    const auto titleRow = [&](std::string title) {
        auto& row = t.cells.emplace_back(columns);
        row[2] = std::move(title);
    };
    const auto block = [&](const std::vector<TDragResult>& list) {
        int place = 1;
        for (const TDragResult& r : list) {
            auto& row = t.cells.emplace_back(columns);
            row[0] = std::to_string(place++);
            row[1] = std::to_string(r.num);
            if (const TRacerItem* racer = names.racer(r.num)) {
                row[2] = gridCellText(racer->name);
                row[3] = gridCellText(racer->city);
                row[4] = gridCellText(racer->team);
                row[5] = gridCellText(racer->carModel);
            }
            if (r.bestLegalStart.et != 0) row[6] = dragAttemptText(r.bestLegalStart, clean);
            row[7] = formatLaneTime(r.bestRt);
            row[8] = formatSpeedKmh(r.bestSpeed);
            for (std::size_t i = 0; i < r.attempts.size() && kResultsFixedColumns + i < columns; ++i)
                row[kResultsFixedColumns + i] = dragAttemptText(r.attempts[i], clean);
        }
    };

    for (const auto& [id, list] : view.resultsByClass) {
        if (id == -1) continue;
        const TClassItem* cls = names.cls(id);
        titleRow(cls ? gridCellText(cls->name) : kUnknownClassTitle);
        block(list);
    }
    titleRow("Абсолютный зачет");
    auto overall = view.resultsByClass.find(-1);
    if (overall != view.resultsByClass.end()) block(overall->second);
    return t;
}

} // namespace

ResultsTable dragResultsTable(const TDragResultsView& view, const TRegistry& registry) {
    return buildTable(view, registry);
}
ResultsTable dragResultsTable(const TDragResultsView& view, const TRegistrySnapshot& registry) {
    return buildTable(view, registry);
}

ShownCell shownCell(std::string_view cell, bool twoLaneMode) {
    ShownCell out;
    if (twoLaneMode && cell.size() >= 2 && cell[1] == ':') {
        if (cell[0] >= '0' && cell[0] <= '9') out.code = cell[0] - '0';
        cell.remove_prefix(2);
    }
    out.text = std::string(cell.substr(0, cell.find('|')));
    return out;
}

bool isTitleRow(const std::vector<std::string>& row) { return row.empty() || row[0].empty(); }

std::optional<int> lapEventIndexOfCell(std::string_view cell) {
    const std::size_t bar = cell.find('|');
    if (bar == std::string_view::npos) return std::nullopt;
    const char* first = cell.data() + bar + 1;
    const char* last = cell.data() + cell.size();
    int index = 0;
    auto [end, ec] = std::from_chars(first, last, index);
    if (ec != std::errc() || end == first || index < 0) return std::nullopt;
    return index;
}

std::optional<int> lapEventIndexAt(const ResultsTable& table, int row, int column, int mode) {
    if (!isSingleLaneMode(mode)) return std::nullopt;
    if (row < 1 || row >= table.rowCount() || column < kResultsFixedColumns) return std::nullopt;
    const auto& cells = table.cells[static_cast<std::size_t>(row)];
    if (column >= static_cast<int>(cells.size())) return std::nullopt;
    return lapEventIndexOfCell(cells[static_cast<std::size_t>(column)]);
}

} // namespace velmaro
