#include "ui/bracket/form_final.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

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

TFinalPaintBox::TFinalPaintBox(TformFinal& form, QWidget* parent) : QWidget(parent), m_form(form) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

void TFinalPaintBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, m_form.bitmap);
}

void TFinalPaintBox::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    m_form.pbFinalBracketMouseDown(event->button(), p.x(), p.y());
}

void TFinalPaintBox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    m_form.pbFinalBracketMouseMove(event->buttons(), p.x(), p.y());
}

// ---------------------------------------------------------------------------------

TformFinal::TformFinal(QWidget* owner) : QWidget(owner) {
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
        auto lock = lockBrackets();
        m_page = addBracketPage(nullptr);
    }
    windowList().push_back(this);
    connect(cbFinalCount, &QComboBox::currentIndexChanged, this, &TformFinal::cbFinalCountChange);
}

TformFinal::~TformFinal() {
    auto& list = windowList();
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    std::shared_ptr<TFinalBracket> released;
    {
        auto lock = lockBrackets();
        released = std::move(m_page->bracket);
        removeBracketPage(m_page.get());
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
    auto lock = lockBrackets();
    return m_page->classItem;
}

void TformFinal::setClassItem(TClassItem* cls) {
    auto lock = lockBrackets();
    setPageClass(*m_page, cls);
}

std::shared_ptr<TFinalBracket> TformFinal::bracket() const {
    auto lock = lockBrackets();
    return m_page->bracket;
}

void TformFinal::setBracket(std::shared_ptr<TFinalBracket> b) {
    std::shared_ptr<TFinalBracket> old;
    {
        auto lock = lockBrackets();
        old = setPageBracket(*m_page, std::move(b));
    }
    FormResize();
}

void TformFinal::syncFromPage() {
    int choice;
    {
        auto lock = lockBrackets();
        choice = m_page->sizeChoice;
    }
    const QSignalBlocker block(cbFinalCount);
    if (choice >= 0 && choice < cbFinalCount->count()) cbFinalCount->setCurrentIndex(choice);
    FormResize();
}

void TformFinal::cbFinalCountChange(int index) {
    // The list is read at the next generation; the page keeps it for the bracket file.
    auto lock = lockBrackets();
    m_page->sizeChoice = index;
}

void TformFinal::FormResize() {
    int w = pBracket->width();
    int h = pBracket->height();
    {
        auto lock = lockBrackets();
        if (const auto& b = m_page->bracket) {
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
        auto lock = lockBrackets();
        if (const auto& b = m_page->bracket) b->draw(&canvas, racerNamesOf(theRegistry()), 1.0);
    }
    pbFinalBracket->update();
}

void TformFinal::pbFinalBracketMouseDown(Qt::MouseButton button, int x, int y) {
    pFinalPanelMouseDown(button, x + pbFinalBracket->x(), y + pbFinalBracket->y());
    std::optional<std::int32_t> run;
    {
        auto lock = lockBrackets();
        if (const auto& b = m_page->bracket) run = b->selectAt(x, y);
    }
    if (run) emit runSelected(*run);
    pbFinalBracketPaint();
}

void TformFinal::pbFinalBracketMouseMove(Qt::MouseButtons buttons, int x, int y) {
    pFinalPanelMouseMove(buttons, x + pbFinalBracket->x(), y + pbFinalBracket->y());
}

void TformFinal::pFinalPanelMouseDown(Qt::MouseButton button, int x, int y) {
    if (button == Qt::LeftButton) m_dragPoint = QPoint(x, y);
}

void TformFinal::pFinalPanelMouseMove(Qt::MouseButtons buttons, int x, int y) {
    if (!(buttons & Qt::LeftButton)) return;
    QPoint pos = pbFinalBracket->pos();
    pos.rx() += x - m_dragPoint.x();
    m_dragPoint.setX(x);
    pos.ry() += y - m_dragPoint.y();
    m_dragPoint.setY(y);
    if (pos.x() > 0) pos.setX(0);
    if (pos.y() > 0) pos.setY(0);
    if (pos.x() + pbFinalBracket->width() < pBracket->width()) pos.setX(pBracket->width() - pbFinalBracket->width());
    if (pos.y() + pbFinalBracket->height() < pBracket->height())
        pos.setY(pBracket->height() - pbFinalBracket->height());
    pbFinalBracket->move(pos);
}

void TformFinal::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

void TformFinal::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FormResize();
}

Status printFinalBracket(const std::shared_ptr<TFinalBracket>& bracket, const std::filesystem::path& eventFolder) {
    if (!bracket) return Status::Error("Нет сетки");
    auto device = openDefaultPrinter(eventFolder, "final_bracket");
    Status st = Status::Ok();
    {
        auto lock = lockBrackets();
        if (!bracket->racerList) bracket->racerList = racerNamesOf(theRegistry());
        st = bracket->print(*device);
    }
    if (st.ok()) tellWherePrinted(*device);
    return st;
}

} // namespace velmaro
