#pragma once
// The racer dialog "Данные участника": the racer's fields on the left, the racer
// database on the right. A double click on a database row (or choosing a name offered
// while typing in the name field) copies its name, car model, city and team; the row's
// pop-up item "Удалить" deletes the entry and saves at once. Cities and teams typed are
// offered again in their lists for the rest of the run.
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QAbstractTableModel>
#include <QComboBox>
#include <QCompleter>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringListModel>
#include <QTableView>

#include "core/registration/registration_edits.h"

namespace velmaro::ui {

// The racer database as a table: name, car, city, team.
class RacerDbModel : public QAbstractTableModel {
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setRegistry(const TRegistry* registry);
    void refresh();
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const TRegistry* registry_ = nullptr;
};

class TEditPersonalDataForm : public QDialog {
    Q_OBJECT
public:
    // Questions go to `op` (not owned; outlives the dialog).
    explicit TEditPersonalDataForm(Operator& op, QWidget* parent = nullptr);

    // The registry whose database the dialog shows and edits (not owned).
    void setRegistry(TRegistry* registry);
    // Fills the class check list with every class, ticked as `ticked` says (none when short).
    void fillClasses(const TRegistry& registry, const std::vector<bool>& ticked);
    RacerFields fields() const;
    // Sets the number, tag, name, car model, city and team fields.
    void setFields(const RacerFields& fields);

    void FormShow();
    void lvRacersDBDblClick();
    void N1Click();
    // Gathers the city and team typed into their lists; runs whenever the dialog closes.
    void FormClose();

    QLineEdit* RacerNumEdit = nullptr;
    QLineEdit* RfidIdEdit = nullptr;
    QLineEdit* RacerNameEdit = nullptr;
    QLineEdit* RacerAutoEdit = nullptr;
    QListWidget* lClassesList = nullptr;
    QComboBox* ECity = nullptr;
    QComboBox* ETeam = nullptr;
    QPushButton* Button1 = nullptr; // "Сохранить"
    QPushButton* Button2 = nullptr; // "Закрыть"
    QTableView* lvRacersDB = nullptr;
    QAction* N1 = nullptr; // "Удалить"

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    Operator& op_;
    void copyDbEntry(const TRacerItem& entry);
    void nameChosen(const QString& name);

    TRegistry* registry_ = nullptr;
    RacerDbModel* dbModel_ = nullptr;
    QStringListModel* names_ = nullptr;
    int selectedDbIndex_ = -1;
};

extern TEditPersonalDataForm* EditPersonalDataForm;

} // namespace velmaro::ui
