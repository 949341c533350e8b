#include "ui/bracket/form_final.h"

#include <algorithm>
#include <functional>

#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "core/bracket/bracket_pair_commands.h"
#include "core/bracket/final_bracket_file.h"
#include "core/drag/drag_run.h"
#include "core/drag/drag_runs.h"
#include "core/platform/operator.h"
#include "core/platform/save_report.h"
#include "core/platform/timing_mode.h"
#include "core/registration/registry.h"
#include "ui/platform/printing.h"
#include "ui/platform/qt_paint_canvas.h"

namespace velmaro {

namespace {

std::vector<TformFinal*>& windowList() {
    static std::vector<TformFinal*> list;
    return list;
}

} // namespace

TFinalPaintBox::TFinalPaintBox(TformFinal& form, QWidget* parent) : QWidget(parent), form_(form) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

void TFinalPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, form_.bitmap);
}

void TFinalPaintBox::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    form_.pbFinalBracketMouseDown(event->button(), p.x(), p.y());
}

void TFinalPaintBox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    form_.pbFinalBracketMouseMove(event->buttons(), p.x(), p.y());
}

void TFinalPaintBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) form_.pbFinalBracketDblClick();
}

// The right press has selected the pair under the cursor before the menu opens.
void TFinalPaintBox::contextMenuEvent(QContextMenuEvent* event) {
    if (form_.hasPairCommands()) form_.PopupMenu1->popup(event->globalPos());
}

// ---------------------------------------------------------------------------------

TformFinal::TformFinal(BracketPages& pages, TRegistry& registry, QWidget* owner)
    : QWidget(owner), pages_(pages), registry_(registry) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    topPanel = new QWidget(this);
    topPanel->setFixedHeight(41);
    auto* top = new QHBoxLayout(topPanel);
    sLabel1 = new QLabel(QStringLiteral("Количество участников в сетке"), topPanel);
    cbFinalCount = new QComboBox(topPanel);
    cbFinalCount->addItems({"4", "8", "16", "32", "64"});
    cbFinalCount->setCurrentIndex(1);
    top->addWidget(sLabel1);
    top->addWidget(cbFinalCount);
    top->addStretch(1);
    layout->addWidget(topPanel);

    pBracket = new QWidget(this);
    pBracket->setAutoFillBackground(true);
    QPalette pal = pBracket->palette();
    pal.setColor(QPalette::Window, Qt::white);
    pBracket->setPalette(pal);
    layout->addWidget(pBracket, 1);
    pbFinalBracket = new TFinalPaintBox(*this, pBracket);

    {
        auto lock = pages_.lockBrackets();
        page_ = pages_.addBracketPage(nullptr);
    }
    windowList().push_back(this);
    connect(cbFinalCount, &QComboBox::currentIndexChanged, this, &TformFinal::cbFinalCountChange);
    buildPopupMenu();
}

TformFinal::TformFinal(BracketPages& pages, TRegistry& registry, TBracketWindowPort& port, QuestionDesk& desk,
                       QWidget* owner)
    : TformFinal(pages, registry, owner) {
    port_ = &port;
    desk_ = &desk;
}

void TformFinal::buildPopupMenu() {
    PopupMenu1 = new QMenu(this);
    auto item = [this](QAction*& action, const char* caption, void (TformFinal::*handler)()) {
        action = PopupMenu1->addAction(QString::fromUtf8(caption));
        connect(action, &QAction::triggered, this, handler);
    };
    item(N1, "Найти в логе", &TformFinal::N1Click);
    PopupMenu1->addSeparator();
    item(N2, "Техническая победа", &TformFinal::N2Click);
    item(N7, "Техническое поражение", &TformFinal::N7Click);
    PopupMenu1->addSeparator();
    item(N10, "Комментарии", &TformFinal::N10Click);
    PopupMenu1->addSeparator();
    item(N6, "Подготовить", &TformFinal::N6Click);
    PopupMenu1->addSeparator();
    item(N3, "Удалить заезд", &TformFinal::N3Click);
}

TformFinal::~TformFinal() {
    auto& list = windowList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    std::shared_ptr<TFinalBracket> released;
    {
        auto lock = pages_.lockBrackets();
        released = std::move(page_->bracket);
        pages_.removeBracketPage(page_.get());
    }
    // `released` goes here, outside the lock; a worker holding a copy keeps it alive.
}

const std::vector<TformFinal*>& TformFinal::windows() { return windowList(); }

void TformFinal::syncAllFromPages() {
    for (TformFinal* w : windowList()) w->syncFromPage();
}

void TformFinal::repaintAll() {
    for (TformFinal* w : windowList()) w->pbFinalBracketPaint();
}

TClassItem* TformFinal::classItem() const {
    auto lock = pages_.lockBrackets();
    return page_->classItem;
}

void TformFinal::setClassItem(TClassItem* cls) {
    auto lock = pages_.lockBrackets();
    setPageClass(*page_, cls);
}

std::shared_ptr<TFinalBracket> TformFinal::bracket() const {
    auto lock = pages_.lockBrackets();
    return page_->bracket;
}

void TformFinal::setBracket(std::shared_ptr<TFinalBracket> b) {
    std::shared_ptr<TFinalBracket> old;
    {
        auto lock = pages_.lockBrackets();
        old = setPageBracket(*page_, std::move(b));
    }
    FormResize();
}

void TformFinal::syncFromPage() {
    int choice;
    {
        auto lock = pages_.lockBrackets();
        choice = page_->sizeChoice;
    }
    const QSignalBlocker block(cbFinalCount);
    if (choice >= 0 && choice < cbFinalCount->count()) cbFinalCount->setCurrentIndex(choice);
    FormResize();
}

void TformFinal::cbFinalCountChange(int index) {
    // The list is read at the next generation; the page keeps it for the bracket file.
    auto lock = pages_.lockBrackets();
    page_->sizeChoice = index;
}

void TformFinal::FormResize() {
    int w = pBracket->width();
    int h = pBracket->height();
    {
        auto lock = pages_.lockBrackets();
        if (const auto& b = page_->bracket) {
            h = b->upperHeight + b->lowerHeight;
            w = b->totalWidth;
        }
    }
    QRect geo(pbFinalBracket->pos(), QSize(w, h));
    if (pBracket->width() > w) {
        geo.setWidth(pBracket->width());
        geo.moveLeft(0);
    }
    if (pBracket->height() > h) {
        geo.setHeight(pBracket->height());
        geo.moveTop(0);
    }
    pbFinalBracket->setGeometry(geo);
    if (bitmap.size() != geo.size()) bitmap = QImage(geo.size(), QImage::Format_RGB32);
    pbFinalBracketPaint();
}

void TformFinal::pbFinalBracketPaint() {
    if (bitmap.isNull()) return;
    {
        QPainter painter(&bitmap);
        QtPaintCanvas canvas(painter);
        canvas.setPen(kBlack, 1);
        canvas.setBrush(kWhite);
        canvas.rectangle(PaintRect{0, 0, bitmap.width(), bitmap.height()});
        auto lock = pages_.lockBrackets();
        if (const auto& b = page_->bracket) b->draw(&canvas, racerNamesOf(registry_), 1.0);
    }
    pbFinalBracket->update();
}

void TformFinal::pbFinalBracketMouseDown(Qt::MouseButton button, int x, int y) {
    pFinalPanelMouseDown(button, x + pbFinalBracket->x(), y + pbFinalBracket->y());
    std::optional<std::int32_t> run;
    {
        auto lock = pages_.lockBrackets();
        if (const auto& b = page_->bracket) run = b->selectAt(x, y);
    }
    if (run) emit runSelected(*run);
    pbFinalBracketPaint();
}

void TformFinal::pbFinalBracketMouseMove(Qt::MouseButtons buttons, int x, int y) {
    pFinalPanelMouseMove(buttons, x + pbFinalBracket->x(), y + pbFinalBracket->y());
}

void TformFinal::pFinalPanelMouseDown(Qt::MouseButton button, int x, int y) {
    if (button == Qt::LeftButton) dragPoint_ = QPoint(x, y);
}

void TformFinal::pFinalPanelMouseMove(Qt::MouseButtons buttons, int x, int y) {
    if (!(buttons & Qt::LeftButton)) return;
    QPoint pos = pbFinalBracket->pos();
    pos.rx() += x - dragPoint_.x();
    dragPoint_.setX(x);
    pos.ry() += y - dragPoint_.y();
    dragPoint_.setY(y);
    if (pos.x() > 0) pos.setX(0);
    if (pos.y() > 0) pos.setY(0);
    if (pos.x() + pbFinalBracket->width() < pBracket->width()) pos.setX(pBracket->width() - pbFinalBracket->width());
    if (pos.y() + pbFinalBracket->height() < pBracket->height())
        pos.setY(pBracket->height() - pbFinalBracket->height());
    pbFinalBracket->move(pos);
}

TformFinal::Selection TformFinal::selection() const {
    auto lock = pages_.lockBrackets();
    Selection sel;
    sel.bracket = page_->bracket;
    if (sel.bracket) sel.pair = sel.bracket->selectedPair;
    return sel;
}

void TformFinal::commitPairChange() {
    if (!port_) return;
    const std::filesystem::path folder = port_->eventFolder();
    if (!folder.empty()) {
        const Status st = saveFinalBracketFile(pages_, folder);
        if (!st.ok()) desk_->log(st.message());
    }
    port_->requestRebuild();
    pbFinalBracketPaint();
}

void TformFinal::N1Click() {
    if (!port_) return;
    const Selection sel = selection();
    if (!sel.pair) return;
    std::int32_t runId;
    {
        auto lock = pages_.lockBrackets();
        if (!sel.bracket->ownsPair(sel.pair)) return;
        runId = sel.pair->run.runId;
    }
    // The run is found by its id in the run list now; the pair's copy may be stale.
    const auto rows = selectRunForPair(port_->dragRuns(), runId);
    if (!rows) return;
    const std::int32_t row = rows->last > port_->lastVisibleGridRow() ? rows->last : rows->first;
    port_->showRunGridRow(row);
}

void TformFinal::N2Click() { technicalResult(true); }
void TformFinal::N7Click() { technicalResult(false); }

// The pair commands keep their pair by its place across each question (pairTarget) and
// find it again after the answer; a pair gone meanwhile is told and nothing changes.
std::optional<TPairTarget> TformFinal::selectedTarget() const {
    const Selection sel = selection();
    if (!sel.pair) return std::nullopt;
    auto lock = pages_.lockBrackets();
    return pairTarget(sel.bracket, sel.pair);
}

namespace {
// Applies `change` to the target's pair under the bracket lock; a pair gone meanwhile is
// told to the official (after the lock is released) and false returned.
bool changePair(BracketPages& pages, Operator& op, const TPairTarget& target, const std::string& caption,
                const std::function<void(TFinalPair&)>& change) {
    {
        auto lock = pages.lockBrackets();
        if (TFinalPair* pair = findPairTarget(pages, target)) {
            change(*pair);
            return true;
        }
    }
    op.message(kPairGoneText, caption, Operator::Icon::Warning);
    return false;
}
} // namespace

void TformFinal::technicalResult(bool win) {
    if (!port_) return;
    const std::string caption = win ? "Техническая победа" : "Техническое поражение";
    const std::string group = win ? "Присвоить победу" : "Присвоить поражение";
    // The dialog takes its captions before anything is checked.
    port_->setWinnerCaptions(caption, group);
    const std::optional<TPairTarget> target = selectedTarget();
    if (!target) return;
    bool hasResult, bothSet;
    std::array<std::string, 2> items;
    {
        auto lock = pages_.lockBrackets();
        const TFinalPair* pair = findPairTarget(pages_, *target);
        if (!pair) return;
        hasResult = pairHasResult(*pair);
        bothSet = pair->racers[0] && pair->racers[1];
        for (int k = 0; k < 2; ++k) items[std::size_t(k)] = pairSlotText(*pair, k, registry_);
    }
    if (hasResult && !desk_->askYesNo(kOverwriteBracketText, "Подтверждение")) return;
    if (!bothSet) return;
    std::string comment;
    int chosen;
    {
        const QuestionScope open(*desk_, caption);
        chosen = port_->chooseWinner(items, comment);
    }
    if (chosen != 0 && chosen != 1) return;
    if (!changePair(pages_, *desk_, *target, caption,
                    [&](TFinalPair& pair) { applyTechnicalResult(pair, chosen, win, comment); }))
        return;
    commitPairChange();
}

void TformFinal::N10Click() {
    if (!port_) return;
    const std::optional<TPairTarget> target = selectedTarget();
    if (!target) return;
    std::array<std::string, 2> labels, comments;
    {
        auto lock = pages_.lockBrackets();
        const TFinalPair* pair = findPairTarget(pages_, *target);
        if (!pair) return;
        for (int k = 0; k < 2; ++k) {
            labels[std::size_t(k)] = pairSlotText(*pair, k, registry_);
            comments[std::size_t(k)] = pair->comments[k];
        }
    }
    {
        const QuestionScope open(*desk_, "Комментарии");
        if (!port_->editComments(labels, comments)) return;
    }
    if (!changePair(pages_, *desk_, *target, "Комментарии", [&](TFinalPair& pair) {
            pair.comments[0] = comments[0];
            pair.comments[1] = comments[1];
        }))
        return;
    commitPairChange();
}

void TformFinal::N6Click() {
    if (!port_) return;
    const std::optional<TPairTarget> target = selectedTarget();
    if (!target) return;
    bool hasResult;
    {
        auto lock = pages_.lockBrackets();
        const TFinalPair* pair = findPairTarget(pages_, *target);
        if (!pair) return;
        hasResult = pairHasResult(*pair);
    }
    if (hasResult) {
        if (!desk_->askYesNo(kOverwriteBracketText, "", Operator::Icon::Error)) return;
        if (!changePair(pages_, *desk_, *target, "Подготовить", [](TFinalPair& pair) { clearPairForPrepare(&pair); }))
            return;
        // The file follows the cleared pairs also when the lane choice is then cancelled.
        const std::filesystem::path folder = port_->eventFolder();
        if (!folder.empty()) (void)reportSave(folder / "final_bracket.txt", saveFinalBracketFile(pages_, folder));
        pbFinalBracketPaint();
    }
    TFinalPair* pair;
    {
        auto lock = pages_.lockBrackets();
        pair = findPairTarget(pages_, *target);
    }
    if (!pair) return;
    if (timingModeFrom(port_->raceMode()) == TimingMode::RollerSlalom) {
        port_->startRollersBracketPairRun(target->bracket, pair);
        return;
    }
    const bool pro = port_->proStartSignal();
    port_->armCommand37();
    port_->pressBlockSt();
    port_->sendStartSignalMode(pro ? 1 : 0);
    port_->startBracketPairRun(target->bracket, pair);
    if (port_->startArmed() && port_->autoStartOn()) {
        const TDragRaceItem* run = port_->dragRuns().currentRun();
        const TDragRaceItem current = run ? *run : TDragRaceItem{};
        port_->armAutoStart(current.racer[0], current.racer[1], 24, pro ? 1 : 0, 1);
    }
}

void TformFinal::N3Click() {
    if (!port_) return;
    const std::optional<TPairTarget> target = selectedTarget();
    if (!target) return;
    if (!desk_->askYesNo(kDeleteRunDataText, "Подтверждение")) return;
    if (!changePair(pages_, *desk_, *target, "Удалить заезд", [](TFinalPair& pair) { clearPairRunData(&pair); }))
        return;
    commitPairChange();
}

void TformFinal::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TformFinal::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormResize();
}

Status printFinalBracket(BracketPages& pages, const std::shared_ptr<TFinalBracket>& bracket, const TRegistry& registry,
                         const std::filesystem::path& eventFolder, Operator& op) {
    if (!bracket) return Status::Error("Нет сетки");
    auto device = openDefaultPrinter(eventFolder, "final_bracket");
    Status st = Status::Ok();
    {
        auto lock = pages.lockBrackets();
        if (!bracket->racerList) bracket->racerList = racerNamesOf(registry);
        st = bracket->print(*device);
    }
    if (st.ok()) tellWherePrinted(*device, op);
    return st;
}

} // namespace velmaro
