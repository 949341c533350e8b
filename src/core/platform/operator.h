#pragma once
// The one way core code reaches the race official: questions, messages, value input,
// pickers and log lines. The window side implements it with dialogs; tests answer it
// from a script (tests/fakes/scripted_operator.h).
#include <string>
#include <vector>

namespace velmaro {

class Operator {
public:
    virtual ~Operator() = default;
    Operator() = default;
    Operator(const Operator&) = delete;
    Operator& operator=(const Operator&) = delete;

    enum class Icon { Information, Warning, Error, Question };

    // A message box with one OK button.
    virtual void message(const std::string& text, const std::string& caption, Icon icon) = 0;
    // A yes/no question with `icon` beside it (most show the question mark; a question
    // that warns before something is overwritten shows the error or warning icon); true
    // for yes.
    virtual bool askYesNo(const std::string& text, const std::string& caption, Icon icon = Icon::Question) = 0;
    // An input-query prompt; `value` holds the default and receives the typed text. False on cancel.
    virtual bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value) = 0;
    // A list to choose from; the chosen index, or -1 on cancel. The class picker
    // ("Класс участника") has no cancel: it gives the entry selected when it closes.
    virtual int pick(const std::string& caption, const std::vector<std::string>& items) = 0;
    // A diagnostic line for the log window.
    virtual void log(const std::string& line) = 0;
};

// The operator of this process. Never null: until one is set, a silent one answers
// no/cancel and drops messages.
Operator& theOperator();
// Sets the operator (not owned); null restores the silent one.
void setOperator(Operator* op);

} // namespace velmaro
