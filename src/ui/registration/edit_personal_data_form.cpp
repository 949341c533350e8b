#include "ui/registration/edit_personal_data_form.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

#include "core/platform/operator.h"

namespace velmaro::ui {

TEditPersonalDataForm* EditPersonalDataForm = nullptr;

namespace {
QString u(const std::string& text) { return QString::fromStdString(text); }
QString u(const char* text) { return QString::fromUtf8(text); }
std::string s(const QString& text) { return text.toStdString(); }

// Appends the trimmed text of an editable combo box to its list once.
void gather(QComboBox* box) {
    const QString text = box->currentText().trimmed();
    if (!text.isEmpty() && box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
        const QString typed = box->currentText();
        box->addItem(text);
        box->setCurrentText(typed);
    }
}
} // namespace

void RacerDbModel::setRegistry(const TRegistry* registry) {
    beginResetModel();
    registry_ = registry;
    endResetModel();
}

void RacerDbModel::refresh() {
    beginResetModel();
    endResetModel();
}

int RacerDbModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !registry_ ? 0 : static_cast<int>(registry_->racerDb.size());
}

int RacerDbModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }

QVariant RacerDbModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !registry_ || index.row() >= rowCount()) return {};
    const TRacerItem& e = *registry_->racerDb[index.row()];
    switch (index.column()) {
    case 0: return u(e.name);
    case 1: return u(e.carModel);
    case 2: return u(e.city);
    default: return u(e.team);
    }
}

QVariant RacerDbModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const char* const captions[] = {"ФИО участника", "Автомобиль", "Город", "Команда"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > 3) return {};
    return u(captions[section]);
}

TEditPersonalDataForm::TEditPersonalDataForm(Operator& op, QWidget* parent) : QDialog(parent), op_(op) {
    setObjectName("EditPersonalDataForm");
    setWindowTitle(u("Данные участника"));
    resize(840, 416);
    auto* grid = new QGridLayout;
    int row = 0;
    auto edit = [&](const char* caption, QLineEdit*& field, const char* name) {
        grid->addWidget(new QLabel(u(caption), this), row, 0);
        field = new QLineEdit(this);
        field->setObjectName(name);
        grid->addWidget(field, row++, 1);
    };
    auto combo = [&](const char* caption, QComboBox*& field, const char* name) {
        grid->addWidget(new QLabel(u(caption), this), row, 0);
        field = new QComboBox(this);
        field->setObjectName(name);
        field->setEditable(true);
        field->setInsertPolicy(QComboBox::NoInsert);
        grid->addWidget(field, row++, 1);
    };
    edit("№ участника", RacerNumEdit, "RacerNumEdit");
    edit("№ Метки", RfidIdEdit, "RfidIdEdit");
    edit("ФИО участника", RacerNameEdit, "RacerNameEdit");
    edit("Модель", RacerAutoEdit, "RacerAutoEdit");
    grid->addWidget(new QLabel(u("Класс"), this), row, 0, Qt::AlignTop);
    lClassesList = new QListWidget(this);
    lClassesList->setObjectName("lClassesList");
    grid->addWidget(lClassesList, row++, 1);
    combo("Город", ECity, "ECity");
    combo("Команда", ETeam, "ETeam");
    Button1 = new QPushButton(u("Сохранить"), this);
    Button2 = new QPushButton(u("Закрыть"), this);
    Button1->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    grid->addLayout(buttons, row++, 0, 1, 2);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    dbModel_ = new RacerDbModel(this);
    lvRacersDB = new QTableView(this);
    lvRacersDB->setObjectName("lvRacersDB");
    lvRacersDB->setModel(dbModel_);
    lvRacersDB->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvRacersDB->setSelectionMode(QAbstractItemView::SingleSelection);
    lvRacersDB->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvRacersDB->verticalHeader()->hide();
    lvRacersDB->setColumnWidth(0, 200);
    lvRacersDB->setColumnWidth(1, 150);
    lvRacersDB->setColumnWidth(2, 100);
    lvRacersDB->setColumnWidth(3, 60);
    lvRacersDB->setContextMenuPolicy(Qt::ActionsContextMenu);
    N1 = new QAction(u("Удалить"), lvRacersDB);
    N1->setObjectName("N1");
    lvRacersDB->addAction(N1);
    connect(N1, &QAction::triggered, this, &TEditPersonalDataForm::N1Click);
    connect(lvRacersDB->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) selectedDbIndex_ = current.row();
            });
    connect(lvRacersDB, &QTableView::doubleClicked, this, [this] { lvRacersDBDblClick(); });

    // Names of the database offered while typing; choosing one copies the entry.
    names_ = new QStringListModel(this);
    auto* completer = new QCompleter(names_, this);
    completer->setCaseSensitivity(Qt::CaseInsensitive);
    completer->setFilterMode(Qt::MatchContains);
    RacerNameEdit->setCompleter(completer);
    connect(completer, qOverload<const QString&>(&QCompleter::activated), this, &TEditPersonalDataForm::nameChosen);

    auto* right = new QVBoxLayout;
    right->addWidget(new QLabel(u("База данных участников"), this));
    right->addWidget(lvRacersDB);
    auto* main = new QHBoxLayout(this);
    main->addLayout(grid, 1);
    main->addLayout(right, 1);
}

void TEditPersonalDataForm::setRegistry(TRegistry* registry) {
    registry_ = registry;
    dbModel_->setRegistry(registry);
}

void TEditPersonalDataForm::fillClasses(const TRegistry& registry, const std::vector<bool>& ticked) {
    lClassesList->clear();
    for (std::size_t i = 0; i < registry.classes.size(); ++i) {
        auto* item = new QListWidgetItem(u(registry.classes[i]->name), lClassesList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(i < ticked.size() && ticked[i] ? Qt::Checked : Qt::Unchecked);
    }
}

RacerFields TEditPersonalDataForm::fields() const {
    RacerFields f;
    f.number = s(RacerNumEdit->text());
    f.tag = s(RfidIdEdit->text());
    f.name = s(RacerNameEdit->text());
    f.carModel = s(RacerAutoEdit->text());
    f.city = s(ECity->currentText());
    f.team = s(ETeam->currentText());
    for (int i = 0; i < lClassesList->count(); ++i)
        f.ticked.push_back(lClassesList->item(i)->checkState() == Qt::Checked);
    return f;
}

void TEditPersonalDataForm::setFields(const RacerFields& f) {
    RacerNumEdit->setText(u(f.number));
    RfidIdEdit->setText(u(f.tag));
    RacerNameEdit->setText(u(f.name));
    RacerAutoEdit->setText(u(f.carModel));
    ECity->setCurrentText(u(f.city));
    ETeam->setCurrentText(u(f.team));
}

void TEditPersonalDataForm::FormShow() {
    dbModel_->refresh();
    QStringList names;
    if (registry_)
        for (const auto& e : registry_->racerDb)
            if (!e->name.empty() && !names.contains(u(e->name))) names << u(e->name);
    names_->setStringList(names);
}

void TEditPersonalDataForm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TEditPersonalDataForm::copyDbEntry(const TRacerItem& entry) {
    RacerNameEdit->setText(u(entry.name));
    RacerAutoEdit->setText(u(entry.carModel));
    ECity->setCurrentText(u(entry.city));
    ETeam->setCurrentText(u(entry.team));
}

void TEditPersonalDataForm::lvRacersDBDblClick() {
    if (!registry_ || selectedDbIndex_ < 0 || selectedDbIndex_ >= static_cast<int>(registry_->racerDb.size())) return;
    copyDbEntry(*registry_->racerDb[selectedDbIndex_]);
}

void TEditPersonalDataForm::nameChosen(const QString& name) {
    if (!registry_) return;
    for (const auto& e : registry_->racerDb)
        if (u(e->name) == name) return copyDbEntry(*e);
}

void TEditPersonalDataForm::N1Click() {
    if (!registry_ || selectedDbIndex_ < 0) return;
    if (!op_.askYesNo("Точно удалить?", "")) return;
    if (selectedDbIndex_ >= static_cast<int>(registry_->racerDb.size())) return;
    registry_->racerDb.erase(registry_->racerDb.begin() + selectedDbIndex_);
    FormShow();
    saveRacersOrTell(*registry_, op_);
}

void TEditPersonalDataForm::FormClose() {
    gather(ECity);
    gather(ETeam);
}

void TEditPersonalDataForm::done(int result) {
    FormClose();
    QDialog::done(result);
}

} // namespace velmaro::ui
