#include "core/records/results_table.h"

#include "core/platform/text_codec.h"

namespace velmaro {

std::string gridCellText(std::string_view text) {
    std::string cell = withoutControls(text);
    for (std::size_t bar = cell.find('|'); bar != std::string::npos; bar = cell.find('|', bar))
        cell.replace(bar, 1, "¦");
    return cell;
}

} // namespace velmaro
