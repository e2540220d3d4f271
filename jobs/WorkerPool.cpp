#include "jobs/WorkerPool.h"

#include <algorithm>

unsigned TWorkerPool::CoreCount() {
    return std::max(1u, std::thread::hardware_concurrency());
}

TWorkerPool::TWorkerPool(unsigned threads, std::function<void()> atStart)
    : threadCount_(threads == 0 ? CoreCount() : threads) {
    threads_.reserve(threadCount_);
    for (unsigned i = 0; i < threadCount_; ++i)
        threads_.emplace_back([this, atStart] { Work(atStart); });
}

TWorkerPool::~TWorkerPool() {
    Stop();
}

void TWorkerPool::Submit(TTask task) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        queue_.push_back(std::move(task));
    }
    work_.notify_one();
}

std::size_t TWorkerPool::DropPending() {
    std::deque<TTask> dropped;
    {
        std::lock_guard lock(mutex_);
        dropped.swap(queue_);
    }
    // released outside the lock: a task's captures may be anything
    return dropped.size();
}

void TWorkerPool::Stop() {
    DropPending();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    work_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
}

void TWorkerPool::Work(const std::function<void()>& atStart) {
    if (atStart) atStart();
    std::unique_lock lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;
        TTask task = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        try {
            task();
        } catch (...) {
        }
        task = nullptr; // its captures go before the next wait
        lock.lock();
    }
}
