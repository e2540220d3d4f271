#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "jobs/CropJob.h"
#include "jobs/WorkerPool.h"

/// Runs crop jobs on worker threads, as many at once as the machine has cores.
/// Jobs start in the order they were submitted, except that a job never runs
/// beside one that writes its output or reads or writes the same file: it
/// waits until that one has ended, so two jobs never write the same path and a
/// later job on a path always sees the earlier one's result. Results come
/// back as values, in the order the jobs end; nothing of a job reaches the
/// caller's thread except through Next. The worker pool gets one task per
/// job submitted and per job ended; each task starts the earliest job that
/// may start, if any, so no thread of the pool waits for a file. Free of any
/// toolkit, so a command line can use it as well as the window.
class TCropScheduler {
public:
    using TRunner = std::function<TCropResult(const TCropJob&)>;
    struct TFinished {
        std::size_t Index; ///< position of the job in submission order, from 0
        TCropResult Result;
    };

    /// threads 0 takes the number of cores. The runner is RunCropJob unless a
    /// test gives another.
    explicit TCropScheduler(unsigned threads = 0, TRunner runner = RunCropJob);
    /// Drops the jobs not started and lets the running ones end.
    ~TCropScheduler();
    TCropScheduler(const TCropScheduler&) = delete;
    TCropScheduler& operator=(const TCropScheduler&) = delete;

    /// Queues a job; returns its index.
    std::size_t Submit(TCropJob job);
    /// Takes back the jobs that have not started; returns their indexes.
    std::vector<std::size_t> DropPending();
    /// The next job that ended, waiting at most the given time for one.
    std::optional<TFinished> Next(std::chrono::milliseconds wait);
    /// Jobs submitted and not yet handed back by Next or DropPending.
    std::size_t Outstanding() const;
    unsigned Threads() const { return pool_.Threads(); }
    /// Called on the job's thread each time a result waits for Next, so that
    /// a window can fetch it between its events instead of polling. Set it
    /// before the first Submit.
    void SetOnFinished(std::function<void()> onFinished) { onFinished_ = std::move(onFinished); }

    /// The number of cores, at least 1.
    static unsigned CoreCount();

private:
    struct TQueued {
        std::size_t Index;
        TCropJob Job;
    };
    void RunNext();
    bool Conflicts(const TCropJob& job, std::size_t before) const;
    std::optional<TQueued> Take();

    TRunner runner_;
    std::function<void()> onFinished_;
    mutable std::mutex mutex_;
    std::condition_variable finished_; // a result is waiting
    std::deque<TQueued> queue_;
    std::vector<const TCropJob*> running_;
    std::deque<TFinished> results_;
    std::size_t submitted_ = 0;
    std::size_t handedBack_ = 0;
    // last: its threads end before anything they use
    TWorkerPool pool_;
};

/// Runs all jobs, up to threads at once (0: one per core), and calls done on
/// the calling thread as each job ends, with its index in the list.
void RunCropJobs(const std::vector<TCropJob>& jobs, unsigned threads,
                 const std::function<void(std::size_t, const TCropResult&)>& done);
