// The bracket file reader with the event's own look-ups: runs from the given list, classes
// from the registry. Main thread.
#include "core/bracket/final_bracket_file.h"
#include "core/drag/drag_run.h"
#include "core/registration/registry.h"

namespace velmaro {

void loadFinalBracketFile(BracketPages& pages, const std::filesystem::path& eventFolder, TRegistry& registry,
                          const std::vector<TDragRaceItem>& runs) {
    loadFinalBracketFile(
        pages, eventFolder,
        [&runs](std::int32_t runId) {
            if (runId != 0)
                for (const auto& run : runs)
                    if (run.runId == runId) return run;
            return TDragRaceItem{};
        },
        [&registry](std::int32_t classId) { return registry.findClass(classId); });
}

} // namespace velmaro
