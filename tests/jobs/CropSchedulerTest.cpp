#include "jobs/CropScheduler.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "TempDir.h"

using namespace std::chrono_literals;

namespace {
TCropJob Job(const std::string& source, const std::string& output) {
    TCropJob job;
    job.Source = source;
    job.Output = output;
    return job;
}

/// A transformer stand-in: each job says that it started and then holds its
/// thread until the test releases it, so what runs beside what is decided by
/// the scheduler alone, never by how long a job happens to take.
class TGatedRunner {
public:
    TCropResult Run(const TCropJob& job) {
        std::unique_lock lock(mutex_);
        log_.push_back("start " + job.Source);
        changed_.notify_all();
        if (job.Source == "throws") throw std::runtime_error("Disk on fire");
        changed_.wait(lock, [&] { return all_ || released_.count(job.Source) > 0; });
        log_.push_back("end " + job.Source);
        return {TCropOutcome::Written, job.Source, {}};
    }
    void Release(const std::string& source) {
        const std::lock_guard lock(mutex_);
        released_.insert(source);
        changed_.notify_all();
    }
    void ReleaseAll() {
        const std::lock_guard lock(mutex_);
        all_ = true;
        changed_.notify_all();
    }
    /// The jobs started, once n have. A scheduler that never starts them fails
    /// the test after a generous bound instead of hanging it.
    std::set<std::string> Started(std::size_t n) {
        std::unique_lock lock(mutex_);
        const auto started = [&] {
            std::set<std::string> names;
            for (const std::string& line : log_)
                if (line.rfind("start ", 0) == 0) names.insert(line.substr(6));
            return names;
        };
        changed_.wait_for(lock, 10s, [&] { return started().size() >= n; });
        return started();
    }
    std::vector<std::string> Log() {
        const std::lock_guard lock(mutex_);
        return log_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> log_;
    std::set<std::string> released_;
    bool all_ = false;
};

/// Lets every held job go when a test ends early, before its scheduler joins them.
struct TReleaseAll {
    TGatedRunner& Runner;
    ~TReleaseAll() { Runner.ReleaseAll(); }
};
} // namespace

TEST(CropSchedulerTest, NoTwoJobsTouchOneFileAndJobsOnOneFileKeepTheirOrder) {
    TGatedRunner runner;
    // "b1" and "b2" write one file; "d" reads what "c" writes; "g" writes what
    // "d" writes, so it waits for "d" though "d" has not started; "a", "e" and
    // "f" touch nothing of the others
    const std::vector<TCropJob> jobs = {
        Job("a", "out/a"),     Job("b1", "out/b"),  Job("b2", "out//b"), Job("c", "out/c"),
        Job("out/c", "out/d"), Job("g", "out/./d"), Job("e", "out/e"),   Job("f", "out/f")};
    TCropScheduler scheduler(5, [&](const TCropJob& j) { return runner.Run(j); });
    const TReleaseAll guard{runner};
    EXPECT_EQ(scheduler.Threads(), 5u);
    for (const TCropJob& j : jobs)
        scheduler.Submit(j);
    // five threads, and the five jobs that touch no file of a running or earlier
    // one hold them: a scheduler that ignored a clash would have started b2,
    // out/c or g and left e or f waiting
    EXPECT_EQ(runner.Started(5), (std::set<std::string>{"a", "b1", "c", "e", "f"}));
    const auto ends = [&](const std::string& source) {
        runner.Release(source);
        const auto f = scheduler.Next(10s);
        ASSERT_TRUE(f.has_value());
        EXPECT_EQ(f->Result.ArgumentString, source);
    };
    ends("b1");
    EXPECT_EQ(runner.Started(6).count("b2"), 1u);
    ends("c");
    EXPECT_EQ(runner.Started(7).count("out/c"), 1u);
    ends("out/c");
    EXPECT_EQ(runner.Started(8).count("g"), 1u);
    for (const char* rest : {"a", "b2", "e", "f", "g"})
        ends(rest);
    EXPECT_EQ(scheduler.Outstanding(), 0u);
    // each job on a file started only after the one before it on that file ended
    const std::vector<std::string> log = runner.Log();
    const auto at = [&](const std::string& line) {
        return std::find(log.begin(), log.end(), line) - log.begin();
    };
    EXPECT_LT(at("end b1"), at("start b2"));
    EXPECT_LT(at("end c"), at("start out/c"));
    EXPECT_LT(at("end out/c"), at("start g"));

    // an error comes back as the job's own refusal, with its words
    scheduler.Submit(Job("throws", "out/t"));
    const auto thrown = scheduler.Next(10s);
    ASSERT_TRUE(thrown.has_value());
    EXPECT_EQ(thrown->Result.Outcome, TCropOutcome::Refused);
    EXPECT_EQ(thrown->Result.Reason(), "Disk on fire");
}

TEST(CropSchedulerTest, DroppedJobsNeverStartAndRunningOnesEnd) {
    TGatedRunner runner;
    TCropScheduler scheduler(1, [&](const TCropJob& j) { return runner.Run(j); });
    const TReleaseAll guard{runner};
    for (const char* s : {"x", "y", "z"})
        scheduler.Submit(Job(s, std::string("out/") + s));
    EXPECT_EQ(runner.Started(1), (std::set<std::string>{"x"}));
    EXPECT_EQ(scheduler.DropPending(), (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(scheduler.Outstanding(), 1u);
    EXPECT_FALSE(scheduler.Next(0ms).has_value());
    runner.Release("x");
    const auto f = scheduler.Next(10s);
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->Index, 0u);
    EXPECT_EQ(scheduler.Outstanding(), 0u);
    EXPECT_EQ(runner.Log(), (std::vector<std::string>{"start x", "end x"}));
}

TEST(CropSchedulerTest, RealJobsInParallelWriteWhatOneAfterTheOtherWrites) {
    TTempDir dir;
    std::vector<TCropJob> jobs;
    for (int i = 0; i < 6; ++i) {
        TCropJob job = Job(dir.file("p" + std::to_string(i) + ".jpg"),
                           dir.file("par" + std::to_string(i) + ".jpg"));
        job.Tool = FindTransformer();
        job.Crop = {16 * i, 16, 64, 48, i % 2 ? 90 : 0, "defined"};
        job.Resolution = 300;
        samples::MakePhoto(job.Source, 160, 128, "2x2");
        jobs.push_back(job);
    }
    WriteFileBytes(jobs[5].Source, "broken"); // fails in both runs alike
    std::vector<TCropOutcome> parallel(jobs.size());
    RunCropJobs(jobs, 0, [&](std::size_t i, const TCropResult& r) { parallel[i] = r.Outcome; });
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        SCOPED_TRACE(i);
        TCropJob one = jobs[i];
        one.Output = dir.file("seq" + std::to_string(i) + ".jpg");
        EXPECT_EQ(RunCropJob(one).Outcome, parallel[i]);
        EXPECT_EQ(ReadFileBytes(one.Output), ReadFileBytes(jobs[i].Output));
    }
    EXPECT_EQ(parallel[5], TCropOutcome::TransformFailed);
}
