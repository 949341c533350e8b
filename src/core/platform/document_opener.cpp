#include "core/platform/document_opener.h"

#include "core/platform/operator.h"

namespace velmaro {

void showExportedFile(DocumentOpener& opener, Operator& op, const std::filesystem::path& file) {
    if (opener.open(file)) return;
    op.message("Файл сохранен: " + file.string(), "Экспорт", Operator::Icon::Information);
}

} // namespace velmaro
