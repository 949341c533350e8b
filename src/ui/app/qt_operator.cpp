#include "ui/app/qt_operator.h"

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
} // namespace

void QtOperator::message(const std::string& text, const std::string& caption, Icon icon) {
    QMessageBox box(boxIcon(icon), q(caption), q(text), QMessageBox::Ok, owner_);
    box.exec();
}

bool QtOperator::askYesNo(const std::string& text, const std::string& caption, Icon icon) {
    QMessageBox box(boxIcon(icon), q(caption), q(text), QMessageBox::Yes | QMessageBox::No, owner_);
    return box.exec() == QMessageBox::Yes;
}

bool QtOperator::inputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    bool ok = false;
    QString answer = QInputDialog::getText(owner_, q(caption), q(prompt), QLineEdit::Normal, q(value), &ok);
    if (!ok) return false;
    value = answer.toStdString();
    return true;
}

int QtOperator::pick(const std::string& caption, const std::vector<std::string>& items) {
    if (items.empty()) return -1;
    // The class of a racer entered in several classes: the class picker window.
    if (caption == "Класс участника" && SelectClassForm) return SelectClassForm->pick(items);
    QStringList list;
    for (const auto& item : items) list << q(item);
    bool ok = false;
    QString chosen = QInputDialog::getItem(owner_, q(caption), q(caption), list, 0, false, &ok);
    if (!ok) return -1;
    return static_cast<int>(list.indexOf(chosen));
}

void QtOperator::log(const std::string& line) { appendLog(q(line)); }

} // namespace velmaro::ui
