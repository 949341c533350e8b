// The lap results worker thread: debounce, build, HTML results table, hand-over.
#include "core/lap/lap_results_worker.h"

#include <system_error>

#include "core/platform/files.h"

namespace velmaro {

LapResultsWorker::LapResultsWorker(Sink sink, std::chrono::milliseconds debounce)
    : sink_(std::move(sink)), debounce_(debounce) {}

LapResultsWorker::~LapResultsWorker() { stop(); }

void LapResultsWorker::start() {
    if (thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    thread_ = std::thread([this] { run(); });
}

void LapResultsWorker::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        pending_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

bool LapResultsWorker::running() const { return thread_.joinable(); }

void LapResultsWorker::notify(LapResultsChange change) {
    {
        std::lock_guard lock(mutex_);
        // The whole list makes every earlier change moot.
        if (change.kind == LapResultsChange::Kind::Whole) pending_.clear();
        pending_.push_back(std::move(change));
        deadline_ = std::chrono::steady_clock::now() + debounce_;
    }
    wake_.notify_all();
}

uint64_t LapResultsWorker::builds() const { return builds_.load(); }

std::optional<LapResultsOutput> LapResultsWorker::applyAndBuild(std::vector<LapResultsChange> changes) {
    for (LapResultsChange& c : changes) model_.apply(std::move(c));
    changes.clear(); // the registry views are let go here, off the lock
    return model_.build();
}

std::optional<LapResultsOutput> LapResultsWorker::buildNow() {
    if (running()) return std::nullopt;
    std::vector<LapResultsChange> changes;
    {
        std::lock_guard lock(mutex_);
        changes.swap(pending_);
    }
    return applyAndBuild(std::move(changes));
}

void LapResultsWorker::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stopping_ || !pending_.empty(); });
        if (stopping_) return;
        // Wait out the countdown; every notify moves the deadline.
        while (!stopping_ && std::chrono::steady_clock::now() < deadline_) wake_.wait_until(lock, deadline_);
        if (stopping_) return;
        std::vector<LapResultsChange> changes;
        changes.swap(pending_);
        lock.unlock();

        if (std::optional<LapResultsOutput> out = applyAndBuild(std::move(changes))) {
            if (!out->tableFile.empty()) {
                std::error_code ec;
                std::filesystem::create_directories(out->tableFile.parent_path(), ec);
                (void)writeFileAtomic(out->tableFile, out->html); // a table that cannot be written is skipped
            }
            sink_(std::move(*out));
            builds_.fetch_add(1);
        }
        lock.lock();
    }
}

} // namespace velmaro
