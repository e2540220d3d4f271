#include "grid/ThumbnailPool.h"

#include <algorithm>
#include <exception>

#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <QCoreApplication>
#include <QEvent>

#include "core/Error.h"
#include "faces/FaceFinder.h"

namespace {
// Posted to the pool when results wait; it carries nothing, the results stay
// in the pool's queue, so that the lock orders every hand-over.
const QEvent::Type kResultsWaiting = static_cast<QEvent::Type>(QEvent::User + 161);
// the faces wait for the window and the thumbnails being added, yet still come
// while another program keeps the processors busy
constexpr int kFaceNiceness = 10;
} // namespace

namespace {
// Lets the decoding threads yield to the window's thread.
void LowerPriority(int niceness) {
#if defined(__linux__)
    // on Linux the niceness of a thread id is the thread's own
    if (niceness != 0) setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), niceness);
#else
    (void)niceness;
#endif
}
} // namespace

TThumbnailPool::TThumbnailPool(unsigned threads, TReader reader, int niceness, QObject* parent)
    : IThumbnailSource(parent), reader_(std::move(reader)),
      pool_(threads, [niceness] { LowerPriority(niceness); }) {
    if (!reader_)
        reader_ = [](const std::string& file, int32_t rotation, int32_t height, bool honour) {
            return ReadJpegThumbnail(file, rotation, height, {}, honour);
        };
    faceReader_ = [](const std::string& file) { return FindFaces(file).Faces; };
}

TThumbnailPool::~TThumbnailPool() {
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        faceQueue_.clear();
    }
    if (facePool_) facePool_->Stop();
    pool_.Stop();
}

uint64_t TThumbnailPool::RequestFaces(QObject* context, const std::string& fileName,
                                      TFacesDone done) {
    if (!facePool_)
        facePool_ = std::make_unique<TWorkerPool>(pool_.Threads(),
                                                  [] { LowerPriority(kFaceNiceness); });
    const uint64_t ticket = nextTicket_++;
    waitingFaces_.emplace(ticket, TWaitingFaces{context, std::move(done)});
    {
        std::lock_guard lock(mutex_);
        faceQueue_.push_back({ticket, fileName});
    }
    facePool_->Submit([this] { FindNext(); });
    return ticket;
}

void TThumbnailPool::FindNext() {
    RunOldest(faceQueue_, faceResults_, [this](const TFaceJob& job) {
        try {
            return faceReader_(job.FileName);
        } catch (...) {
            return std::vector<TCropRect>(); // a photo that cannot be read has no faces to keep
        }
    });
}

template <typename TJobOf, typename TValue, typename TWork>
void TThumbnailPool::RunOldest(std::deque<TJobOf>& queue, std::vector<TAnswer<TValue>>& answers,
                               TWork work) {
    std::unique_lock lock(mutex_);
    // a request withdrawn meanwhile leaves its task nothing to do
    if (queue.empty()) return;
    TJobOf job = std::move(queue.front());
    queue.pop_front();
    lock.unlock();
    TValue value = work(job);
    lock.lock();
    answers.push_back({job.Ticket, std::move(value)});
    PostResults();
}

template <typename TDoneCall, typename TValue>
void TThumbnailPool::HandOver(std::unordered_map<uint64_t, TWaitingFor<TDoneCall>>& waiting,
                              std::vector<TAnswer<TValue>>& answers) {
    for (TAnswer<TValue>& answer : answers) {
        const auto it = waiting.find(answer.Ticket);
        if (it == waiting.end()) continue; // withdrawn meanwhile
        TWaitingFor<TDoneCall> w = std::move(it->second);
        waiting.erase(it);
        // a requester destroyed meanwhile gets nothing
        if (w.Context && w.Done) w.Done(std::move(answer.Value));
    }
}

void TThumbnailPool::PostResults() {
    if (!wakePosted_) {
        wakePosted_ = true;
        QCoreApplication::postEvent(this, new QEvent(kResultsWaiting));
    }
}

uint64_t TThumbnailPool::Request(QObject* context, const std::string& fileName, int32_t rotation,
                                 int32_t height, bool honourOrientation, TDone done) {
    const uint64_t ticket = nextTicket_++;
    waiting_.emplace(ticket, TWaiting{context, std::move(done)});
    TJob job{ticket, fileName, rotation, height, honourOrientation};
    if (cache_) asked_.emplace(ticket, job);
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(job));
    }
    pool_.Submit([this] { DecodeNext(); });
    return ticket;
}

std::optional<TThumbnail> TThumbnailPool::Cached(const std::string& fileName, int32_t rotation,
                                                 int32_t height, bool honourOrientation) {
    if (!cache_) return std::nullopt;
    return cache_->Find(fileName, rotation, height, honourOrientation);
}

uint64_t TThumbnailPool::RequestPreview(QObject* context, const std::string& fileName,
                                        int32_t rotation, bool honourOrientation, TDone done) {
    const uint64_t ticket = nextTicket_++;
    waiting_.emplace(ticket, TWaiting{context, std::move(done)});
    {
        std::lock_guard lock(mutex_);
        // a few kilobytes read: before every decode; in view, as frames ask for them
        queue_.push_front({ticket, fileName, rotation, 0, honourOrientation, true, true});
    }
    pool_.Submit([this] { DecodeNext(); });
    return ticket;
}

void TThumbnailPool::Hurry(uint64_t ticket) {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(queue_.begin(), queue_.end(),
                                 [ticket](const TJob& j) { return j.Ticket == ticket; });
    if (it == queue_.end()) return;
    it->Drawn = true;
    if (it == queue_.begin()) return;
    TJob job = std::move(*it);
    queue_.erase(it);
    // behind the previews asked for, which take a moment each
    const auto after = std::find_if(queue_.begin(), queue_.end(),
                                    [](const TJob& j) { return !j.Preview; });
    queue_.insert(after, std::move(job));
}

bool TThumbnailPool::Withdraw(uint64_t ticket) {
    if (waitingFaces_.erase(ticket) > 0) {
        std::lock_guard lock(mutex_);
        return std::erase_if(faceQueue_, [ticket](const TFaceJob& j) { return j.Ticket == ticket; }) > 0;
    }
    if (waiting_.erase(ticket) == 0) return false;
    TellIdle();
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(queue_.begin(), queue_.end(),
                                 [ticket](const TJob& j) { return j.Ticket == ticket; });
    if (it == queue_.end()) return false; // decoding or done: its result is only kept
    queue_.erase(it);
    asked_.erase(ticket);
    return true;
}

void TThumbnailPool::DecodeNext() {
    RunOldest(queue_, results_, [this](const TJob& job) {
        TDecodedThumbnail decoded;
        try {
            if (job.Preview)
                decoded.Thumbnail =
                    ReadExifPreview(job.FileName, job.Rotation, job.HonourOrientation);
            else
                decoded.Thumbnail =
                    reader_(job.FileName, job.Rotation, job.Height, job.HonourOrientation);
            // what the view waits for comes ready to draw: the window's thread only paints
            if (job.Drawn && decoded.Thumbnail) decoded.Image = DrawableImage(decoded.Thumbnail->bitmap);
        } catch (const TError& e) {
            decoded.Fault = e.Fault();
        } catch (const std::exception& e) {
            decoded.Fault = {TErrorKind::Damaged, job.FileName, e.what(), ""};
        } catch (...) {
            decoded.Fault = {TErrorKind::Damaged, job.FileName, "", ""};
        }
        return decoded;
    });
}

void TThumbnailPool::customEvent(QEvent*) {
    // only the workers post to the pool, and only to say results wait; the
    // event made on their thread is not read here, so that the pool's lock
    // alone orders what passes between the threads
    Deliver();
}

void TThumbnailPool::Deliver() {
    std::vector<TResult> results;
    std::vector<TFaceResult> faces;
    {
        std::lock_guard lock(mutex_);
        results.swap(results_);
        faces.swap(faceResults_);
        wakePosted_ = false;
    }
    HandOver(waitingFaces_, faces);
    for (const TResult& result : results) {
        const auto it = asked_.find(result.Ticket);
        if (it == asked_.end()) continue;
        const TJob& job = it->second;
        if (cache_ && result.Value.Thumbnail)
            cache_->Keep(job.FileName, job.Rotation, job.Height, job.HonourOrientation,
                         *result.Value.Thumbnail);
        asked_.erase(it);
    }
    HandOver(waiting_, results);
    if (!results.empty()) TellIdle();
}
