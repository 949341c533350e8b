#include "ui/registration/registration_models.h"

#include <QStringList>

#include "core/registration/registration_edits.h"
#include "ui/controls/editable_list_view.h"

namespace velmaro::ui {

RegistryListModel::RegistryListModel(const TRegistry& registry, Kind kind, QObject* parent)
    : QAbstractTableModel(parent), m_registry(registry), m_kind(kind) {}

void RegistryListModel::refresh() {
    beginResetModel();
    endResetModel();
}

int RegistryListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(m_kind == Kind::Classes ? m_registry.classes.size() : m_registry.racers.size());
}

int RegistryListModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return m_kind == Kind::Classes ? int(kClassColumnCount) : int(kRacerColumnCount);
}

QVariant RegistryListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const int row = index.row();
    if (role == Qt::DisplayRole) {
        const std::vector<std::string> texts = m_kind == Kind::Classes
                                                   ? classRowTexts(*m_registry.classes[row], row)
                                                   : racerRowTexts(m_registry, *m_registry.racers[row]);
        return QString::fromStdString(texts[index.column()]);
    }
    if (role == TEditableListView::DropDownItemsRole && m_kind == Kind::Racers && index.column() == kRacerColClasses) {
        QStringList names{QString()};
        for (const auto& c : m_registry.classes) names << QString::fromStdString(c->name);
        return names;
    }
    return {};
}

QVariant RegistryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    const auto& captions = m_kind == Kind::Classes ? classColumnCaptions() : racerColumnCaptions();
    if (section < 0 || section >= static_cast<int>(captions.size())) return {};
    return QString::fromStdString(captions[section]);
}

Qt::ItemFlags RegistryListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!index.isValid() || index.row() >= rowCount()) return f;
    bool editable = false;
    if (m_kind == Kind::Classes) editable = index.column() == kClassColName;
    else if (index.column() == kRacerColClasses)
        editable = !m_registry.classes.empty() && m_registry.racers[index.row()]->classIds.size() <= 1;
    else editable = true;
    return editable ? f | Qt::ItemIsEditable : f;
}

} // namespace velmaro::ui
