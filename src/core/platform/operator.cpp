#include "core/platform/operator.h"

#include <atomic>

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
} // namespace

Operator& theOperator() {
    Operator* op = gOperator.load();
    return op ? *op : gSilent;
}

void setOperator(Operator* op) { gOperator.store(op); }

} // namespace velmaro
