#pragma once
// The one way core code reaches the race official: questions, messages, value input,
// pickers and log lines. The window side implements it with dialogs; tests answer it
// from a script (tests/fakes/scripted_operator.h).
//
// Open questions. A question is open from the moment it is shown until it is answered:
// every message, yes/no question, input and pick asked through the console's
// QuestionDesk, and every other dialog a command waits on (QuestionScope). The window's
// dialogs run nested event loops, so while a question is open the timers, the node link and the remote signals go
// on. Two rules follow, for the whole console:
//   - a command that asks holds no pointer, reference or index into the run list, the
//     hit lists or a bracket across its question: it keeps what identifies its target
//     (run id, hit time and type, pair place) and finds the target again after the answer;
//   - work that must not run inside another command's question (START and NEXT) waits
//     with QuestionDesk::whenNoQuestionOpen and runs once the question is closed.
#include <functional>
#include <string>
#include <vector>

#include "core/platform/thread_owner.h"

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

// The questions of one console: an Operator that forwards to the window's operator (the
// dialogs in the program, a script in tests) and keeps every question it asks open for
// its duration, with the open questions and the actions waiting for them. The
// composition root owns one and hands it by reference to every object that asks; what
// needs the waiting rule takes the desk itself, the rest takes it as an Operator.
// Thread: the main thread only, that is the thread that built it (log lines excepted:
// they go straight to the window's operator, which posts them).
class QuestionDesk final : public Operator {
public:
    explicit QuestionDesk(Operator& window);
    ~QuestionDesk() override;

    void message(const std::string& text, const std::string& caption, Icon icon) override;
    bool askYesNo(const std::string& text, const std::string& caption, Icon icon = Icon::Question) override;
    bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value) override;
    int pick(const std::string& caption, const std::vector<std::string>& items) override;
    void log(const std::string& line) override;

    // Some question is open.
    bool questionOpen() const;
    // The caption of the question opened last of those open (its text when it has no
    // caption); empty when none is open.
    std::string openQuestionCaption() const;

    // Runs `action` once no question is open: at once when none is; otherwise after the
    // last open question has closed, through the event loop (setEventLoopPost), so that
    // the command that asked finishes first. While `owner` has an action waiting, a
    // further one of the same owner is dropped: what was pressed again and again inside
    // one question runs once.
    void whenNoQuestionOpen(const void* owner, std::function<void()> action);
    // Drops the action `owner` has waiting (an owner that goes away).
    void forgetWaitingAction(const void* owner);
    // How a waiting action reaches the event loop: `post` runs its argument after the
    // current handler has returned. The window installs a queued call; without one (null)
    // the waiting actions run as soon as the last question closes.
    void setEventLoopPost(std::function<void(std::function<void()>)> post);

private:
    friend class QuestionScope;
    struct Waiting {
        const void* owner;
        std::function<void()> action;
    };

    void questionOpened(std::string caption);
    void questionClosed();
    void runWaiting();

    Operator& window_;
    ThreadOwner owner_;
    std::vector<std::string> open_;                   // captions, the one opened last at the back (formerly gOpen)
    std::vector<Waiting> waiting_;                    // formerly gWaiting
    std::function<void(std::function<void()>)> post_; // formerly gPost
};

// Keeps a question of `desk` open for its scope: for a dialog a command waits on that is
// not asked through the desk (the lane choice, the winner and comments dialogs).
// `caption` names it in log lines. The desk outlives the scope.
class QuestionScope {
public:
    QuestionScope(QuestionDesk& desk, std::string caption);
    ~QuestionScope();
    QuestionScope(const QuestionScope&) = delete;
    QuestionScope& operator=(const QuestionScope&) = delete;

private:
    QuestionDesk& desk_;
};

} // namespace velmaro
