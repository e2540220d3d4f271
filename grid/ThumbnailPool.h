#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <QPointer>

#include "frames/ThumbnailSource.h"
#include "grid/ThumbnailCache.h"
#include "jobs/WorkerPool.h"

/// Decodes thumbnails on worker threads, as many as the machine has cores, in
/// the order they were asked for. Workers touch nothing but the file and their
/// own decoder: each result is handed back through a queue under the pool's
/// lock and delivered on the thread that made the pool, between its events,
/// to a requester that still exists. Errors come back as values.
class TThumbnailPool : public IThumbnailSource {
public:
    /// File, rotation, height, whether the EXIF orientation is honoured.
    using TReader = std::function<TThumbnail(const std::string&, int32_t, int32_t, bool)>;

    /// threads 0 takes the number of cores; the reader is the JPEG decoder
    /// unless a test gives another. A positive niceness lets the workers yield
    /// to the window's thread (where the system allows it per thread).
    explicit TThumbnailPool(unsigned threads = 0, TReader reader = {}, int niceness = 0,
                            QObject* parent = nullptr);
    /// Finds the faces of a file (a test gives its own).
    using TFaceReader = std::function<std::vector<TCropRect>(const std::string&)>;
    /// Drops what has not started and waits for the decodes in progress.
    ~TThumbnailPool() override;

    uint64_t Request(QObject* context, const std::string& fileName, int32_t rotation,
                     int32_t height, bool honourOrientation, TDone done) override;
    bool Withdraw(uint64_t ticket) override;
    /// Thumbnails decoded here are kept in the cache (also those whose requester
    /// withdrew once the decode had begun), and Cached answers from it.
    void SetCache(TThumbnailCache* cache) { cache_ = cache; }
    std::optional<TThumbnail> Cached(const std::string& fileName, int32_t rotation, int32_t height,
                                     bool honourOrientation) override;
    void Hurry(uint64_t ticket) override;
    uint64_t RequestPreview(QObject* context, const std::string& fileName, int32_t rotation,
                            bool honourOrientation, TDone done) override;
    /// On threads of their own at a low priority, made at the first request:
    /// the thumbnails and the window go first.
    uint64_t RequestFaces(QObject* context, const std::string& fileName,
                          TFacesDone done) override;
    void SetFaceReader(TFaceReader reader) { faceReader_ = std::move(reader); }

    unsigned Threads() const { return pool_.Threads(); }
    /// Requests not yet delivered or withdrawn.
    std::size_t Pending() const { return waiting_.size(); }
    /// Called on the pool's thread each time the last request waiting has been
    /// delivered or withdrawn.
    void SetOnIdle(std::function<void()> onIdle) { onIdle_ = std::move(onIdle); }

protected:
    void customEvent(QEvent* event) override;

private:
    struct TJob {
        uint64_t Ticket;
        std::string FileName;
        int32_t Rotation;
        int32_t Height;
        bool HonourOrientation;
        bool Preview = false; ///< the EXIF thumbnail, not a decode
        bool Drawn = false;   ///< in view: made ready to draw on the worker
    };
    struct TFaceJob {
        uint64_t Ticket;
        std::string FileName;
    };
    /// What a worker found for a request.
    template <typename TValue> struct TAnswer {
        uint64_t Ticket;
        TValue Value;
    };
    using TResult = TAnswer<TDecodedThumbnail>;
    using TFaceResult = TAnswer<std::vector<TCropRect>>;
    /// Who asked, and what to call with the answer.
    template <typename TDoneCall> struct TWaitingFor {
        QPointer<QObject> Context;
        TDoneCall Done;
    };
    using TWaiting = TWaitingFor<TDone>;
    using TWaitingFaces = TWaitingFor<TFacesDone>;
    /// Takes the oldest job of the queue, if any is left, runs work on it
    /// unlocked and hands its answer back.
    template <typename TJobOf, typename TValue, typename TWork>
    void RunOldest(std::deque<TJobOf>& queue, std::vector<TAnswer<TValue>>& answers, TWork work);
    /// Calls each requester still waiting with its answer.
    template <typename TDoneCall, typename TValue>
    static void HandOver(std::unordered_map<uint64_t, TWaitingFor<TDoneCall>>& waiting,
                         std::vector<TAnswer<TValue>>& answers);
    void DecodeNext();
    void FindNext();
    void PostResults();
    void Deliver();

    TReader reader_;
    TThumbnailCache* cache_ = nullptr;
    // what each decode not yet delivered was asked for, to keep its thumbnail
    std::unordered_map<uint64_t, TJob> asked_;
    // the requesters, touched only on the pool's own thread
    std::unordered_map<uint64_t, TWaiting> waiting_;
    std::unordered_map<uint64_t, TWaitingFaces> waitingFaces_;
    TFaceReader faceReader_;
    std::function<void()> onIdle_;
    void TellIdle() {
        if (waiting_.empty() && onIdle_) onIdle_();
    }
    uint64_t nextTicket_ = 1;

    // shared with the workers, under mutex_; the pool gets one task per
    // request, and each task decodes the oldest request still waiting
    std::mutex mutex_;
    std::deque<TJob> queue_;
    std::vector<TResult> results_;
    std::deque<TFaceJob> faceQueue_;
    std::vector<TFaceResult> faceResults_;
    bool wakePosted_ = false;
    // last: their threads end before anything they use
    TWorkerPool pool_;
    std::unique_ptr<TWorkerPool> facePool_;
};
