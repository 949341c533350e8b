#pragma once
// An operator that answers from a script and records what it was shown.
// Hand it to what asks (or a QuestionDesk over it); unscripted questions answer no/cancel. `whileOpen` runs
// inside every question before it is answered, as the window's timers, the node link and
// the remote signals run inside a real dialog's event loop.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/operator.h"
#include "core/platform/save_report.h"

namespace velmaro::test {

class ScriptedOperator : public Operator {
public:
    std::deque<bool> yesNoAnswers;                 // next answers to askYesNo
    std::deque<std::optional<std::string>> inputs; // next inputQuery answers (nullopt = cancel)
    std::deque<int> picks;                         // next pick answers
    std::vector<std::string> shown;                // every message and question text, in order
    std::vector<Icon> questionIcons;               // the icon of every askYesNo, in order
    std::vector<std::string> logLines;
    std::function<void()> whileOpen;

    void message(const std::string& text, const std::string&, Icon) override {
        shown.push_back(text);
        opened();
    }
    bool askYesNo(const std::string& text, const std::string&, Icon icon) override {
        shown.push_back(text);
        questionIcons.push_back(icon);
        opened();
        if (yesNoAnswers.empty()) return false;
        bool a = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return a;
    }
    bool inputQuery(const std::string&, const std::string& prompt, std::string& value) override {
        shown.push_back(prompt);
        opened();
        if (inputs.empty() || !inputs.front()) {
            if (!inputs.empty()) inputs.pop_front();
            return false;
        }
        value = *inputs.front();
        inputs.pop_front();
        return true;
    }
    int pick(const std::string& caption, const std::vector<std::string>&) override {
        shown.push_back(caption);
        opened();
        if (picks.empty()) return -1;
        int p = picks.front();
        picks.pop_front();
        return p;
    }
    void log(const std::string& line) override { logLines.push_back(line); }

private:
    void opened() {
        if (whileOpen) whileOpen();
    }
};

// Sends the save report's log lines (core/platform/save_report.h) to `op` for the
// lifetime of the scope.
class ScopedSaveReportLog {
public:
    explicit ScopedSaveReportLog(Operator& op) { setSaveReportLog(&op); }
    ~ScopedSaveReportLog() { setSaveReportLog(nullptr); }
    ScopedSaveReportLog(const ScopedSaveReportLog&) = delete;
    ScopedSaveReportLog& operator=(const ScopedSaveReportLog&) = delete;
};

} // namespace velmaro::test
