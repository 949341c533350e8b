#pragma once
// The registration window's two lists as item models over the registry: one row per
// class or racer, the cell texts of core/registration/registration_edits.h. The models
// own no data: an edit comes back through TEditableListView::cellEdited, and refresh()
// is called after every change of the registry.
#include <QAbstractTableModel>

#include "core/registration/registry.h"

namespace velmaro::ui {

class RegistryListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Kind { Classes, Racers };
    RegistryListModel(const TRegistry& registry, Kind kind, QObject* parent = nullptr);

    void refresh();
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Class names and racer texts are editable in place; limits are edited in the
    // dialog, and the class column only for a racer in at most one class.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const TRegistry& registry_;
    Kind kind_;
};

} // namespace velmaro::ui
