#include "ParallelJobs.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

void RunInParallel(std::size_t count, unsigned jobs, const std::function<void(std::size_t)>& work,
                   const std::function<void(std::size_t)>& done) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    std::mutex lock;
    std::condition_variable finished;
    std::deque<std::size_t> ready;

    auto worker = [&] {
        for (std::size_t i; !stop && (i = next++) < count;) {
            work(i);
            const std::lock_guard<std::mutex> guard(lock);
            ready.push_back(i);
            finished.notify_one();
        }
    };
    const std::size_t threads = std::clamp<std::size_t>(jobs, 1, std::max<std::size_t>(count, 1));
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < threads; ++t)
        pool.emplace_back(worker);
    // the threads are joined however done() leaves
    struct TJoin {
        std::vector<std::thread>& pool;
        std::atomic<bool>& stop;
        ~TJoin() {
            stop = true;
            for (std::thread& t : pool)
                t.join();
        }
    } join{pool, stop};

    for (std::size_t reported = 0; reported < count; ++reported) {
        std::unique_lock<std::mutex> guard(lock);
        finished.wait(guard, [&] { return !ready.empty(); });
        const std::size_t i = ready.front();
        ready.pop_front();
        guard.unlock();
        done(i);
    }
}
