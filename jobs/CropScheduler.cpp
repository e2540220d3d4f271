#include "jobs/CropScheduler.h"

#include <algorithm>
#include <exception>
#include <filesystem>

#include "core/Error.h"

namespace {
std::string Normal(const std::string& path) {
    return std::filesystem::path(path).lexically_normal().string();
}

// Two jobs touch the same file when one writes what the other reads or writes.
bool Touches(const TCropJob& a, const TCropJob& b) {
    const std::string out = Normal(a.Output);
    return out == Normal(b.Output) || out == Normal(b.Source) ||
           Normal(a.Source) == Normal(b.Output);
}
} // namespace

unsigned TCropScheduler::CoreCount() {
    return TWorkerPool::CoreCount();
}

TCropScheduler::TCropScheduler(unsigned threads, TRunner runner)
    : runner_(std::move(runner)), pool_(threads) {}

TCropScheduler::~TCropScheduler() {
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
    }
    pool_.Stop();
}

std::size_t TCropScheduler::Submit(TCropJob job) {
    std::lock_guard lock(mutex_);
    const std::size_t index = submitted_++;
    queue_.push_back({index, std::move(job)});
    pool_.Submit([this] { RunNext(); });
    return index;
}

std::vector<std::size_t> TCropScheduler::DropPending() {
    std::lock_guard lock(mutex_);
    std::vector<std::size_t> dropped;
    for (const TQueued& q : queue_)
        dropped.push_back(q.Index);
    queue_.clear();
    // their tasks would find nothing to start
    pool_.DropPending();
    handedBack_ += dropped.size();
    return dropped;
}

std::optional<TCropScheduler::TFinished> TCropScheduler::Next(std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    if (!finished_.wait_for(lock, wait, [this] { return !results_.empty(); })) return std::nullopt;
    TFinished f = std::move(results_.front());
    results_.pop_front();
    ++handedBack_;
    return f;
}

std::size_t TCropScheduler::Outstanding() const {
    std::lock_guard lock(mutex_);
    return submitted_ - handedBack_;
}

bool TCropScheduler::Conflicts(const TCropJob& job, std::size_t before) const {
    for (const TCropJob* r : running_)
        if (Touches(job, *r) || Touches(*r, job)) return true;
    // an earlier job on the same file that still waits goes first
    for (std::size_t i = 0; i < before; ++i)
        if (Touches(job, queue_[i].Job) || Touches(queue_[i].Job, job)) return true;
    return false;
}

std::optional<TCropScheduler::TQueued> TCropScheduler::Take() {
    for (std::size_t i = 0; i < queue_.size(); ++i) {
        if (Conflicts(queue_[i].Job, i)) continue;
        TQueued q = std::move(queue_[i]);
        queue_.erase(queue_.begin() + static_cast<std::ptrdiff_t>(i));
        return q;
    }
    return std::nullopt;
}

void TCropScheduler::RunNext() {
    std::unique_lock lock(mutex_);
    std::optional<TQueued> next = Take();
    if (!next) return; // every job left waits for a file; an ending job starts it
    running_.push_back(&next->Job);
    lock.unlock();
    TCropResult result;
    // an error stays with its job and is reported like any refusal
    try {
        result = runner_(next->Job);
    } catch (const TError& e) {
        result = {TCropOutcome::Refused, "", e.Fault()};
    } catch (const std::exception& e) {
        result = {TCropOutcome::Refused, "", {TErrorKind::Other, next->Job.Source, e.what(), ""}};
    } catch (...) {
        result = {TCropOutcome::Refused, "", {TErrorKind::Damaged, next->Job.Source, "", ""}};
    }
    lock.lock();
    running_.erase(std::find(running_.begin(), running_.end(), &next->Job));
    results_.push_back({next->Index, std::move(result)});
    // the jobs that waited for this one's files may start now, as many at once as threads
    for (std::size_t i = 0; i < std::min<std::size_t>(queue_.size(), pool_.Threads()); ++i)
        pool_.Submit([this] { RunNext(); });
    lock.unlock();
    finished_.notify_all();
    if (onFinished_) onFinished_();
}

void RunCropJobs(const std::vector<TCropJob>& jobs, unsigned threads,
                 const std::function<void(std::size_t, const TCropResult&)>& done) {
    TCropScheduler scheduler(
        std::min<unsigned>(threads == 0 ? TCropScheduler::CoreCount() : threads,
                           static_cast<unsigned>(std::max<std::size_t>(1, jobs.size()))));
    for (const TCropJob& job : jobs)
        scheduler.Submit(job);
    while (scheduler.Outstanding() > 0)
        if (auto f = scheduler.Next(std::chrono::milliseconds(100))) done(f->Index, f->Result);
}
