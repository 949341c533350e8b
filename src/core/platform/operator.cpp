#include "core/platform/operator.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <utility>

namespace velmaro {

namespace {

class SilentOperator final : public Operator {
public:
    void message(const std::string&, const std::string&, Icon) override {}
    bool askYesNo(const std::string&, const std::string&, Icon) override { return false; }
    bool inputQuery(const std::string&, const std::string&, std::string&) override { return false; }
    int pick(const std::string&, const std::vector<std::string>&) override { return -1; }
    void log(const std::string&) override {}
};

SilentOperator gSilent;
std::atomic<Operator*> gOperator{nullptr};

Operator& installed() {
    Operator* op = gOperator.load();
    return op ? *op : gSilent;
}

// ---- open questions and the actions waiting for them (main thread)

struct Waiting {
    const void* owner;
    std::function<void()> action;
};

std::vector<std::string> gOpen; // captions, the one opened last at the back
std::vector<Waiting> gWaiting;
std::function<void(std::function<void()>)> gPost;

void runWaiting() {
    if (!gOpen.empty()) return; // another question opened meanwhile: its close runs them
    std::vector<Waiting> due = std::move(gWaiting);
    gWaiting.clear();
    for (Waiting& w : due) w.action();
}

void questionClosed() {
    gOpen.pop_back();
    if (!gOpen.empty() || gWaiting.empty()) return;
    if (gPost)
        gPost(runWaiting);
    else if (std::uncaught_exceptions() == 0) // not while a question is left by an exception
        runWaiting();
}

// theOperator(): the installed operator, with each question open while it is asked.
class QuestionGate final : public Operator {
public:
    void message(const std::string& text, const std::string& caption, Icon icon) override {
        const QuestionScope open(caption.empty() ? text : caption);
        installed().message(text, caption, icon);
    }
    bool askYesNo(const std::string& text, const std::string& caption, Icon icon) override {
        const QuestionScope open(caption.empty() ? text : caption);
        return installed().askYesNo(text, caption, icon);
    }
    bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value) override {
        const QuestionScope open(caption.empty() ? prompt : caption);
        return installed().inputQuery(caption, prompt, value);
    }
    int pick(const std::string& caption, const std::vector<std::string>& items) override {
        const QuestionScope open(caption);
        return installed().pick(caption, items);
    }
    void log(const std::string& line) override { installed().log(line); }
};

QuestionGate gGate;

} // namespace

Operator& theOperator() { return gGate; }

void setOperator(Operator* op) { gOperator.store(op); }

QuestionScope::QuestionScope(std::string caption) { gOpen.push_back(std::move(caption)); }

QuestionScope::~QuestionScope() { questionClosed(); }

bool questionOpen() { return !gOpen.empty(); }

std::string openQuestionCaption() { return gOpen.empty() ? std::string() : gOpen.back(); }

void whenNoQuestionOpen(const void* owner, std::function<void()> action) {
    if (gOpen.empty()) {
        action();
        return;
    }
    const auto ofOwner = [owner](const Waiting& w) { return w.owner == owner; };
    if (std::none_of(gWaiting.begin(), gWaiting.end(), ofOwner)) gWaiting.push_back({owner, std::move(action)});
}

void forgetWaitingAction(const void* owner) {
    const auto ofOwner = [owner](const Waiting& w) { return w.owner == owner; };
    gWaiting.erase(std::remove_if(gWaiting.begin(), gWaiting.end(), ofOwner), gWaiting.end());
}

void setEventLoopPost(std::function<void(std::function<void()>)> post) { gPost = std::move(post); }

} // namespace velmaro
