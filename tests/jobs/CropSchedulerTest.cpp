#include "jobs/CropScheduler.h"

#include <atomic>
#include <map>
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

/// A runner that takes a while and records what ran beside what.
struct TRecorder {
    std::mutex mutex;
    std::set<std::string> writing;
    std::vector<std::string> order;
    int running = 0;
    int most = 0;
    bool clash = false;

    TCropResult Run(const TCropJob& job) {
        {
            std::lock_guard lock(mutex);
            most = std::max(most, ++running);
            clash |= !writing.insert(job.Output).second || writing.count(job.Source) > 0;
            order.push_back(job.Source);
        }
        if (job.Source == "throws") throw std::runtime_error("Disk on fire");
        std::this_thread::sleep_for(20ms);
        std::lock_guard lock(mutex);
        writing.erase(job.Output);
        --running;
        return {TCropOutcome::Written, job.Source, ""};
    }
};
} // namespace

TEST(CropSchedulerTest, RunsSideBySideButNeverTwiceOnOneFile) {
    TRecorder rec;
    std::map<std::size_t, TCropResult> results;
    // "b1" and "b2" write one file; "c" writes what "d" reads, so "d" waits for it
    const std::vector<TCropJob> jobs = {Job("a", "out/a"),     Job("b1", "out/b"),
                                        Job("b2", "out//b"),   Job("c", "out/c"),
                                        Job("out/c", "out/d"), Job("throws", "out/e")};
    {
        TCropScheduler scheduler(2, [&](const TCropJob& j) { return rec.Run(j); });
        EXPECT_EQ(scheduler.Threads(), 2u);
        for (const TCropJob& j : jobs)
            scheduler.Submit(j);
        while (scheduler.Outstanding() > 0)
            if (auto f = scheduler.Next(1s)) results.emplace(f->Index, f->Result);
    }
    ASSERT_EQ(results.size(), jobs.size());
    EXPECT_EQ(rec.most, 2);
    EXPECT_FALSE(rec.clash);
    // jobs on one file keep their order
    const auto pos = [&](const std::string& s) {
        return std::find(rec.order.begin(), rec.order.end(), s) - rec.order.begin();
    };
    EXPECT_LT(pos("b1"), pos("b2"));
    EXPECT_LT(pos("c"), pos("out/c"));
    EXPECT_EQ(results[1].ArgumentString, "b1");
    // an error comes back as the job's own refusal
    EXPECT_EQ(results[5].Outcome, TCropOutcome::Refused);
    EXPECT_EQ(results[5].Reason, "Disk on fire");
}

TEST(CropSchedulerTest, DroppedJobsNeverStartAndRunningOnesEnd) {
    std::atomic<int> started{0};
    std::atomic<bool> release{false};
    TCropScheduler scheduler(1, [&](const TCropJob& j) {
        ++started;
        while (!release)
            std::this_thread::sleep_for(1ms);
        return TCropResult{TCropOutcome::Written, j.Source, ""};
    });
    for (const char* s : {"x", "y", "z"})
        scheduler.Submit(Job(s, std::string("out/") + s));
    while (started == 0)
        std::this_thread::sleep_for(1ms);
    EXPECT_EQ(scheduler.DropPending(), (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(scheduler.Outstanding(), 1u);
    EXPECT_FALSE(scheduler.Next(10ms).has_value());
    release = true;
    const auto f = scheduler.Next(5s);
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->Index, 0u);
    EXPECT_EQ(scheduler.Outstanding(), 0u);
    EXPECT_EQ(started, 1);
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
