#pragma once
// The registration window "Регистрация": the classes and racers of the open event on
// two pages, buttons to add, change and remove the entry of the active page, the total
// of numbered racers and a panel with every class's racer count, and the racer list's
// export ("Excel") and start list ("Печать POS", shown while a "POS" printer is
// installed). Classes and racers are also edited in place: Enter or F2 on a cell.
//
// It shows and edits the registry the composition root owns and hands it (the one every
// area reads). Every change is saved at once; nothing else of the console is told while
// the window is open, and closing it reloads the event (RegistrationHost::reloadEvent).
// The window uses the class and racer dialogs EditClassForm and EditPersonalDataForm.
//
// Entry point: openModal(host), from the main window's menu item "Регистрация...".
// Created once at start-up in the fixed window order; lives until the program ends.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include "core/registration/registry.h"
#include "ui/registration/registration_host.h"

namespace velmaro::ui {

class TEditableListView;
class RegistryListModel;

class TRegForm : public QDialog {
    Q_OBJECT
public:
    // Shows `registry`; questions and messages go to `op` (neither owned; both outlive
    // the window).
    TRegForm(TRegistry& registry, Operator& op, QWidget* parent = nullptr);
    ~TRegForm() override;

    // The racers, classes and racer database of the open event (the root's).
    TRegistry& registry;

    // Shows the window modally with `host` serving it, then has the event reloaded.
    void openModal(RegistrationHost& host);

    // Handlers. Page 0 holds the classes, page 1 the racers.
    void FormShow();
    void pRegPagesChange(int page);
    void lvRacersColumnClick(int column);
    void bAddClick();
    void bEditClick();
    void bRemoveClick();
    // Writes racers.csv and racers.xlsx and opens the workbook (needs the host).
    void bExcelClick();
    // Prints the start list on the "POS" printer (a PDF in the event folder without printers).
    void bPrintPosClick();
    // Takes the registry into the lists, the total and the class panel.
    void refreshAll();

    // The class panel: name and racer count of every class, in class order.
    std::vector<std::pair<QString, QString>> classPanelTexts() const;

    QTabWidget* pRegPages = nullptr;
    TEditableListView* lvClasses = nullptr;
    TEditableListView* lvRacers = nullptr;
    QPushButton* bAdd = nullptr;
    QPushButton* bEdit = nullptr;
    QPushButton* bRemove = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lTotalRacers = nullptr;
    QWidget* classPanel = nullptr;
    QPushButton* bExcel = nullptr;
    QPushButton* bPrintPos = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The row of a list's cursor when exactly one row is selected, else -1.
    static int selectedRow(const TEditableListView& list);
    void rebuildClassPanel();
    void cellEdited(bool classes, int row, int column, const QString& text);

    RegistryListModel* classModel_ = nullptr;
    RegistryListModel* racerModel_ = nullptr;
    RegistrationHost* host_ = nullptr; // set while openModal runs
    Operator& op_;
};

extern TRegForm* RegForm;

} // namespace velmaro::ui
