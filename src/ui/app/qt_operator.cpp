#include "ui/app/qt_operator.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

#include "ui/app/small_dialogs.h"

namespace velmaro::ui {
namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }

QMessageBox::Icon boxIcon(Operator::Icon icon) {
    switch (icon) {
    case Operator::Icon::Information: return QMessageBox::Information;
    case Operator::Icon::Warning: return QMessageBox::Warning;
    case Operator::Icon::Error: return QMessageBox::Critical;
    case Operator::Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::Information;
}
// Brings the window that asked back to the front, active, once its question is answered.
class AskedBy {
public:
    explicit AskedBy(QWidget* window) : window_(window) {}
    ~AskedBy() {
        if (!window_ || !window_->isVisible()) return;
        window_->raise();
        window_->activateWindow();
    }
    AskedBy(const AskedBy&) = delete;
    AskedBy& operator=(const AskedBy&) = delete;
    QWidget* window() const { return window_; }

private:
    QPointer<QWidget> window_;
};
} // namespace

QWidget* QtOperator::askingWindow() const {
    // A modal dialog blocks every other window: whatever asks now asks on its behalf (the
    // class dialog refusing an empty name, a question of a command started from it).
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow()) return active;
    return owner_;
}

void QtOperator::message(const std::string& text, const std::string& caption, Icon icon) {
    const AskedBy asking(askingWindow());
    QMessageBox box(boxIcon(icon), q(caption), q(text), QMessageBox::Ok, asking.window());
    box.exec();
}

bool QtOperator::askYesNo(const std::string& text, const std::string& caption, Icon icon) {
    const AskedBy asking(askingWindow());
    QMessageBox box(boxIcon(icon), q(caption), q(text), QMessageBox::Yes | QMessageBox::No, asking.window());
    return box.exec() == QMessageBox::Yes;
}

bool QtOperator::inputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    const AskedBy asking(askingWindow());
    bool ok = false;
    QString answer = QInputDialog::getText(asking.window(), q(caption), q(prompt), QLineEdit::Normal, q(value), &ok);
    if (!ok) return false;
    value = answer.toStdString();
    return true;
}

int QtOperator::pick(const std::string& caption, const std::vector<std::string>& items) {
    if (items.empty()) return -1;
    // The class of a racer entered in several classes: the class picker window.
    const AskedBy asking(askingWindow());
    if (caption == "Класс участника" && SelectClassForm) return SelectClassForm->pick(items);
    QStringList list;
    for (const auto& item : items) list << q(item);
    bool ok = false;
    QString chosen = QInputDialog::getItem(asking.window(), q(caption), q(caption), list, 0, false, &ok);
    if (!ok) return -1;
    return static_cast<int>(list.indexOf(chosen));
}

void QtOperator::log(const std::string& line) { appendLog(q(line)); }

} // namespace velmaro::ui
