#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

/// A fixed number of threads that run tasks in the order they were submitted.
/// It knows nothing of what a task does: the thumbnails and the crop jobs
/// keep their own queues and hand the pool one task per piece of work. Free
/// of any toolkit.
class TWorkerPool {
public:
    using TTask = std::function<void()>;

    /// threads 0 takes the number of cores. atStart runs first on each thread
    /// (to lower its priority, say).
    explicit TWorkerPool(unsigned threads = 0, std::function<void()> atStart = {});
    /// Stop.
    ~TWorkerPool();
    TWorkerPool(const TWorkerPool&) = delete;
    TWorkerPool& operator=(const TWorkerPool&) = delete;

    /// Queues a task. What it throws is dropped: a task reports its own errors.
    void Submit(TTask task);
    /// Forgets the tasks that have not started; returns how many.
    std::size_t DropPending();
    /// Drops what has not started, waits for the running tasks and ends the
    /// threads. Never from a task of this pool.
    void Stop();
    unsigned Threads() const { return threadCount_; }

    /// The number of cores, at least 1.
    static unsigned CoreCount();

private:
    void Work(const std::function<void()>& atStart);

    std::mutex mutex_;
    std::condition_variable work_;
    std::deque<TTask> queue_;
    bool stopping_ = false;
    unsigned threadCount_ = 0;
    std::vector<std::thread> threads_;
};
