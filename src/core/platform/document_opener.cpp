#include "core/platform/document_opener.h"

#include <string>

#include "core/platform/operator.h"

namespace velmaro {

void showExportedFiles(DocumentOpener& opener, Operator& op, const std::vector<std::filesystem::path>& written,
                       const std::filesystem::path& shown) {
    std::string where = written.size() == 1 ? "Файл сохранен: " : "Файлы сохранены:";
    for (const std::filesystem::path& file : written) {
        op.log("Файл сохранен: " + file.string());
        where += (written.size() == 1 ? "" : "\n") + file.string();
    }
    opener.open(shown, [where, &op] { op.message(where, "Экспорт", Operator::Icon::Information); });
}

} // namespace velmaro
