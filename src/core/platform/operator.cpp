#include "core/platform/operator.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace velmaro {

QuestionDesk::QuestionDesk(Operator& window) : window_(window) {}

QuestionDesk::~QuestionDesk() = default;

void QuestionDesk::message(const std::string& text, const std::string& caption, Icon icon) {
    const QuestionScope open(*this, caption.empty() ? text : caption);
    window_.message(text, caption, icon);
}

bool QuestionDesk::askYesNo(const std::string& text, const std::string& caption, Icon icon) {
    const QuestionScope open(*this, caption.empty() ? text : caption);
    return window_.askYesNo(text, caption, icon);
}

bool QuestionDesk::inputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    const QuestionScope open(*this, caption.empty() ? prompt : caption);
    return window_.inputQuery(caption, prompt, value);
}

int QuestionDesk::pick(const std::string& caption, const std::vector<std::string>& items) {
    const QuestionScope open(*this, caption);
    return window_.pick(caption, items);
}

void QuestionDesk::log(const std::string& line) { window_.log(line); }

bool QuestionDesk::questionOpen() const {
    owner_.assertOwner();
    return !open_.empty();
}

std::string QuestionDesk::openQuestionCaption() const {
    owner_.assertOwner();
    return open_.empty() ? std::string() : open_.back();
}

void QuestionDesk::whenNoQuestionOpen(const void* owner, std::function<void()> action) {
    owner_.assertOwner();
    if (open_.empty()) {
        action();
        return;
    }
    const auto ofOwner = [owner](const Waiting& w) { return w.owner == owner; };
    if (std::none_of(waiting_.begin(), waiting_.end(), ofOwner)) waiting_.push_back({owner, std::move(action)});
}

void QuestionDesk::forgetWaitingAction(const void* owner) {
    owner_.assertOwner();
    const auto ofOwner = [owner](const Waiting& w) { return w.owner == owner; };
    waiting_.erase(std::remove_if(waiting_.begin(), waiting_.end(), ofOwner), waiting_.end());
}

void QuestionDesk::setEventLoopPost(std::function<void(std::function<void()>)> post) {
    owner_.assertOwner();
    post_ = std::move(post);
}

void QuestionDesk::questionOpened(std::string caption) {
    owner_.assertOwner();
    open_.push_back(std::move(caption));
}

void QuestionDesk::questionClosed() {
    open_.pop_back();
    if (!open_.empty() || waiting_.empty()) return;
    if (post_)
        post_([this] { runWaiting(); });
    else if (std::uncaught_exceptions() == 0) // not while a question is left by an exception
        runWaiting();
}

void QuestionDesk::runWaiting() {
    if (!open_.empty()) return; // another question opened meanwhile: its close runs them
    std::vector<Waiting> due = std::move(waiting_);
    waiting_.clear();
    for (Waiting& w : due) w.action();
}

QuestionScope::QuestionScope(QuestionDesk& desk, std::string caption) : desk_(desk) {
    desk_.questionOpened(std::move(caption));
}

QuestionScope::~QuestionScope() { desk_.questionClosed(); }

} // namespace velmaro
