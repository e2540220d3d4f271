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
    std::unique_lock lock(mutex_);
    if (faceQueue_.empty()) return;
    TFaceJob job = std::move(faceQueue_.front());
    faceQueue_.pop_front();
    lock.unlock();
    std::vector<TCropRect> faces;
    try {
        faces = faceReader_(job.FileName);
    } catch (...) {
        // a photo that cannot be read has no faces to keep
    }
    lock.lock();
    faceResults_.push_back({job.Ticket, std::move(faces)});
    PostResults();
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
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({ticket, fileName, rotation, height, honourOrientation});
    }
    pool_.Submit([this] { DecodeNext(); });
    return ticket;
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
    if (it == queue_.end()) return false; // decoding or done: its result is dropped
    queue_.erase(it);
    return true;
}

void TThumbnailPool::DecodeNext() {
    std::unique_lock lock(mutex_);
    // a request withdrawn meanwhile leaves its task nothing to do
    if (queue_.empty()) return;
    TJob job = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    TDecodedThumbnail decoded;
    try {
        decoded.Thumbnail = reader_(job.FileName, job.Rotation, job.Height, job.HonourOrientation);
    } catch (const TError& e) {
        decoded.Fault = e.Fault();
    } catch (const std::exception& e) {
        decoded.Fault = {TErrorKind::Damaged, job.FileName, e.what(), ""};
    } catch (...) {
        decoded.Fault = {TErrorKind::Damaged, job.FileName, "", ""};
    }
    lock.lock();
    results_.push_back({job.Ticket, std::move(decoded)});
    PostResults();
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
    for (TFaceResult& r : faces) {
        const auto it = waitingFaces_.find(r.Ticket);
        if (it == waitingFaces_.end()) continue; // withdrawn meanwhile
        TWaitingFaces w = std::move(it->second);
        waitingFaces_.erase(it);
        if (w.Context && w.Done) w.Done(std::move(r.Faces));
    }
    for (TResult& r : results) {
        const auto it = waiting_.find(r.Ticket);
        if (it == waiting_.end()) continue; // withdrawn meanwhile
        TWaiting w = std::move(it->second);
        waiting_.erase(it);
        // a requester destroyed meanwhile gets nothing
        if (w.Context && w.Done) w.Done(std::move(r.Decoded));
    }
    if (!results.empty()) TellIdle();
}
