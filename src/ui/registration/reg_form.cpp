#include "ui/registration/reg_form.h"

#include <filesystem>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

#include "core/drag/footer_cipher.h"
#include "core/platform/operator.h"
#include "core/platform/program_folder.h"
#include "core/registration/racer_export.h"
#include "core/registration/registration_edits.h"
#include "core/registration/start_list.h"
#include "ui/controls/editable_list_view.h"
#include "ui/platform/printing.h"
#include "ui/platform/receipt_logo.h"
#include "ui/registration/edit_class_form.h"
#include "ui/registration/edit_personal_data_form.h"
#include "ui/registration/registration_models.h"

namespace velmaro::ui {

TRegForm* RegForm = nullptr;

namespace {

QString u(const char* text) { return QString::fromUtf8(text); }

TEditableListView* makeList(QWidget* parent, const char* name, QAbstractItemModel* model,
                            const std::vector<int>& widths) {
    auto* list = new TEditableListView(parent);
    list->setObjectName(name);
    list->setModel(model);
    list->setEditOnDoubleClick(false); // a double click opens the dialog
    for (std::size_t i = 0; i < widths.size(); ++i)
        if (widths[i] > 0) list->setColumnWidth(static_cast<int>(i), widths[i]);
    list->horizontalHeader()->setStretchLastSection(true);
    return list;
}

} // namespace

TRegForm::TRegForm(TRegistry& registry, Operator& op, QWidget* parent) : QDialog(parent), registry(registry), op_(op) {
    setObjectName("RegForm");
    setWindowTitle(u("Регистрация"));
    resize(916, 462);

    classModel_ = new RegistryListModel(registry, RegistryListModel::Kind::Classes, this);
    racerModel_ = new RegistryListModel(registry, RegistryListModel::Kind::Racers, this);
    pRegPages = new QTabWidget(this);
    pRegPages->setObjectName("pRegPages");
    lvClasses = makeList(pRegPages, "lvClasses", classModel_, {30, 200, 300});
    lvClasses->setColumnEditor(kClassColName, TEditableListView::ColumnEditor::Text);
    lvRacers = makeList(pRegPages, "lvRacers", racerModel_, {40, 50, 180, 180, 120, 80, 70});
    for (int c : {kRacerColNumber, kRacerColTag, kRacerColName, kRacerColCarModel, kRacerColCity, kRacerColTeam})
        lvRacers->setColumnEditor(c, TEditableListView::ColumnEditor::Text);
    lvRacers->setColumnEditor(kRacerColClasses, TEditableListView::ColumnEditor::DropDown);
    pRegPages->addTab(lvClasses, u("Классы"));
    pRegPages->addTab(lvRacers, u("Участники"));

    bAdd = new QPushButton(u("Добавить"), this);
    bEdit = new QPushButton(u("Изменить"), this);
    bRemove = new QPushButton(u("Удалить"), this);
    Label1 = new QLabel(u("Всего участников:"), this);
    lTotalRacers = new QLabel("0", this);
    lTotalRacers->setObjectName("lTotalRacers");
    classPanel = new QWidget(this);
    classPanel->setObjectName("classPanel");
    new QGridLayout(classPanel);
    bExcel = new QPushButton("Excel", this);
    bPrintPos = new QPushButton(u("Печать POS"), this);
    bPrintPos->hide();

    auto* right = new QVBoxLayout;
    right->addWidget(bAdd);
    right->addWidget(bEdit);
    right->addWidget(bRemove);
    auto* total = new QHBoxLayout;
    total->addWidget(Label1);
    total->addWidget(lTotalRacers);
    total->addStretch();
    right->addLayout(total);
    right->addWidget(classPanel);
    right->addStretch();
    right->addWidget(bExcel);
    right->addWidget(bPrintPos);
    auto* main = new QHBoxLayout(this);
    main->addWidget(pRegPages, 1);
    main->addLayout(right);

    connect(pRegPages, &QTabWidget::currentChanged, this, &TRegForm::pRegPagesChange);
    connect(lvRacers->horizontalHeader(), &QHeaderView::sectionClicked, this, &TRegForm::lvRacersColumnClick);
    connect(lvClasses, &QAbstractItemView::doubleClicked, this, &TRegForm::bEditClick);
    connect(lvRacers, &QAbstractItemView::doubleClicked, this, &TRegForm::bEditClick);
    connect(lvClasses, &TEditableListView::cellEdited, this,
            [this](int row, int column, const QString& text) { cellEdited(true, row, column, text); });
    connect(lvRacers, &TEditableListView::cellEdited, this,
            [this](int row, int column, const QString& text) { cellEdited(false, row, column, text); });
    connect(bAdd, &QPushButton::clicked, this, &TRegForm::bAddClick);
    connect(bEdit, &QPushButton::clicked, this, &TRegForm::bEditClick);
    connect(bRemove, &QPushButton::clicked, this, &TRegForm::bRemoveClick);
    connect(bExcel, &QPushButton::clicked, this, &TRegForm::bExcelClick);
    connect(bPrintPos, &QPushButton::clicked, this, &TRegForm::bPrintPosClick);

    // The racer database is read when the window is made; no file yet is a first start.
    const Status st = registry.loadRacerDb();
    if (!st.ok() && std::filesystem::exists(registry.databaseFile())) op_.log(st.message());
}

TRegForm::~TRegForm() = default;

void TRegForm::openModal(RegistrationHost& host) {
    host_ = &host;
    exec();
    host_ = nullptr;
    host.reloadEvent();
}

void TRegForm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TRegForm::FormShow() {
    bPrintPos->setVisible(!findPosPrinterName().isEmpty());
    refreshAll();
}

void TRegForm::pRegPagesChange(int page) {
    if (page == 0) classModel_->refresh();
}

void TRegForm::refreshAll() {
    classModel_->refresh();
    racerModel_->refresh();
    lTotalRacers->setText(QString::fromStdString(registry.numberedRacerCount()));
    rebuildClassPanel();
}

void TRegForm::rebuildClassPanel() {
    auto* grid = static_cast<QGridLayout*>(classPanel->layout());
    while (QLayoutItem* item = grid->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    int row = 0;
    for (const auto& c : registry.classes) {
        auto* name = new QLabel(QString::fromStdString(c->name), classPanel);
        name->setObjectName("classNameLabel");
        auto* count = new QLabel(QString::number(c->racerCount), classPanel);
        count->setObjectName("classCountLabel");
        grid->addWidget(name, row, 0);
        grid->addWidget(count, row++, 1, Qt::AlignRight);
    }
}

std::vector<std::pair<QString, QString>> TRegForm::classPanelTexts() const {
    std::vector<std::pair<QString, QString>> texts;
    auto* grid = static_cast<QGridLayout*>(classPanel->layout());
    for (int r = 0; r < grid->rowCount(); ++r) {
        QLayoutItem* name = grid->itemAtPosition(r, 0);
        QLayoutItem* count = grid->itemAtPosition(r, 1);
        if (!name || !count) continue;
        texts.emplace_back(static_cast<QLabel*>(name->widget())->text(), static_cast<QLabel*>(count->widget())->text());
    }
    return texts;
}

int TRegForm::selectedRow(const TEditableListView& list) {
    if (list.countSelected() != 1) return -1;
    return list.selectedItem();
}

void TRegForm::lvRacersColumnClick(int column) {
    if (sortRacersByColumn(registry, column)) refreshAll();
}

void TRegForm::bAddClick() {
    Operator& op = op_;
    if (pRegPages->currentIndex() == 0) {
        TEditClassForm* dialog = EditClassForm;
        if (!dialog) return;
        dialog->setFields({}); // a new class takes every field, the breakout limit too
        if (dialog->exec() != QDialog::Accepted) return;
        if (addClassFromFields(registry, dialog->fields(), op)) {
            refreshAll();
            lvClasses->selectItem(static_cast<int>(registry.classes.size()) - 1, 0);
        }
        return;
    }
    TEditPersonalDataForm* dialog = EditPersonalDataForm;
    if (!dialog) return;
    dialog->setRegistry(&registry);
    dialog->fillClasses(registry, {});
    dialog->RfidIdEdit->clear();
    if (dialog->exec() != QDialog::Accepted) return;
    if (addRacerFromFields(registry, dialog->fields(), op)) {
        refreshAll();
        lvRacers->selectItem(static_cast<int>(registry.racers.size()) - 1, 0);
    }
}

void TRegForm::bEditClick() {
    Operator& op = op_;
    if (pRegPages->currentIndex() == 0) {
        const int row = selectedRow(*lvClasses);
        TEditClassForm* dialog = EditClassForm;
        if (row < 0 || row >= static_cast<int>(registry.classes.size()) || !dialog) return;
        TClassItem& cls = *registry.classes[row];
        dialog->setFields(classFieldsOf(cls));
        if (dialog->exec() != QDialog::Accepted) return;
        if (changeClassFromFields(registry, cls, dialog->fields(), op)) refreshAll();
        return;
    }
    const int row = selectedRow(*lvRacers);
    TEditPersonalDataForm* dialog = EditPersonalDataForm;
    if (row < 0 || row >= static_cast<int>(registry.racers.size()) || !dialog) return;
    const RacerFields fields = racerFieldsOf(registry, *registry.racers[row]);
    dialog->setRegistry(&registry);
    dialog->setFields(fields);
    dialog->fillClasses(registry, fields.ticked);
    if (dialog->exec() != QDialog::Accepted) return;
    if (changeRacerFromFields(registry, row, dialog->fields(), op)) refreshAll();
}

void TRegForm::bRemoveClick() {
    Operator& op = op_;
    const bool classes = pRegPages->currentIndex() == 0;
    const int row = selectedRow(classes ? *lvClasses : *lvRacers);
    if (row < 0) return;
    if (classes ? removeClassAt(registry, row, op) : removeRacerAt(registry, row, op)) refreshAll();
}

void TRegForm::cellEdited(bool classes, int row, int column, const QString& text) {
    Operator& op = op_;
    const std::string value = text.toStdString();
    // The list is refreshed whatever happened, so a refused edit shows the old text again.
    if (classes)
        editClassCell(registry, row, column, value, op);
    else
        editRacerCell(registry, row, column, value, op);
    refreshAll();
}

void TRegForm::bExcelClick() {
    if (!host_) return;
    (void)exportRacerList(registry, registry.eventFolder(), host_->eventName(), host_->documentOpener(), op_);
}

void TRegForm::bPrintPosClick() {
    if (registry.racers.empty()) return;
    auto device = openPosPrinter(registry.eventFolder(), "start_list");
    StartListPage page;
    page.logo = receiptLogo();
    page.footerFile = readPrintFooter(programFolder() / "printfooter.txt");
    page.footer = footerLines();
    const Status st = printStartList(*device, registry, page);
    if (!st.ok()) {
        op_.message(st.message(), u("Печать POS").toStdString(), Operator::Icon::Error);
        return;
    }
    tellWherePrinted(*device, op_);
}

} // namespace velmaro::ui
