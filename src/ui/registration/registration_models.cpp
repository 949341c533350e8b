#include "ui/registration/registration_models.h"

#include <QStringList>

#include "core/registration/registration_edits.h"
#include "ui/controls/editable_list_view.h"

namespace velmaro::ui {

RegistryListModel::RegistryListModel(const TRegistry& registry, Kind kind, QObject* parent)
    : QAbstractTableModel(parent), registry_(registry), kind_(kind) {}

void RegistryListModel::refresh() {
    beginResetModel();
    endResetModel();
}

int RegistryListModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(kind_ == Kind::Classes ? registry_.classes.size() : registry_.racers.size());
}

int RegistryListModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return kind_ == Kind::Classes ? int(kClassColumnCount) : int(kRacerColumnCount);
}

QVariant RegistryListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const int row = index.row();
    if (role == Qt::DisplayRole) {
        const std::vector<std::string> texts = kind_ == Kind::Classes
                                                   ? classRowTexts(*registry_.classes[row], row)
                                                   : racerRowTexts(registry_, *registry_.racers[row]);
        return QString::fromStdString(texts[index.column()]);
    }
    if (role == TEditableListView::DropDownItemsRole && kind_ == Kind::Racers && index.column() == kRacerColClasses) {
        QStringList names{QString()};
        for (const auto& c : registry_.classes) names << QString::fromStdString(c->name);
        return names;
    }
    return {};
}

QVariant RegistryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    const auto& captions = kind_ == Kind::Classes ? classColumnCaptions() : racerColumnCaptions();
    if (section < 0 || section >= static_cast<int>(captions.size())) return {};
    return QString::fromStdString(captions[section]);
}

Qt::ItemFlags RegistryListModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (!index.isValid() || index.row() >= rowCount()) return f;
    bool editable = false;
    if (kind_ == Kind::Classes)
        editable = index.column() == kClassColName;
    else if (index.column() == kRacerColClasses)
        editable = !registry_.classes.empty() && registry_.racers[index.row()]->classIds.size() <= 1;
    else
        editable = true;
    return editable ? f | Qt::ItemIsEditable : f;
}

} // namespace velmaro::ui
