#pragma once
// A small result value for file and parse operations: ok, or a message that says what failed.
#include <string>
#include <utility>

namespace velmaro {

class [[nodiscard]] Status {
public:
    static Status Ok() { return Status(); }
    static Status Error(std::string message) { return Status(std::move(message)); }

    bool ok() const { return !failed_; }
    const std::string& message() const { return message_; }

private:
    Status() = default;
    explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}
    bool failed_ = false;
    std::string message_;
};

} // namespace velmaro
