#pragma once
// The operator as the race official meets it: message boxes, yes/no questions,
// input prompts and pickers, each owned by the window it is asked on behalf of (the modal
// dialog open, else the active window, else the main window) and that window in front and
// active again after the answer; log lines go to the log window. The composition root
// builds its question desk over one.
#include <QPointer>
#include <QWidget>

#include "core/platform/operator.h"

namespace velmaro::ui {

class QtOperator : public Operator {
public:
    explicit QtOperator(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }

    void message(const std::string& text, const std::string& caption, Icon icon) override;
    bool askYesNo(const std::string& text, const std::string& caption, Icon icon) override;
    bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value) override;
    int pick(const std::string& caption, const std::vector<std::string>& items) override;
    void log(const std::string& line) override;

private:
    QWidget* askingWindow() const;

    QPointer<QWidget> owner_;
};

} // namespace velmaro::ui
