#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QObject>

#include "frames/ThumbnailSource.h"

/// Keeps the decodes of the next files of a list in flight while the window
/// creates frames for the earlier ones, in list order. At most `ahead`
/// thumbnails are asked for and not yet taken, so memory stays flat however
/// long the list is. What is left when it ends is withdrawn or dropped.
/// Nothing here waits: whoever needs a decode that has not come in yet hears
/// of its arrival through the arrived callback and comes back for it.
class TThumbnailPrefetch {
public:
    /// Runs on the window's thread, between its events, whenever a decode comes in.
    using TArrived = std::function<void()>;

    TThumbnailPrefetch(IThumbnailSource& source, const std::vector<std::string>& files,
                       int32_t height, std::size_t ahead, bool honourOrientation = true,
                       TArrived arrived = {});
    ~TThumbnailPrefetch();
    TThumbnailPrefetch(const TThumbnailPrefetch&) = delete;
    TThumbnailPrefetch& operator=(const TThumbnailPrefetch&) = delete;

    /// Asks for file i and the files after it, so that they decode while the
    /// window works on the earlier ones.
    void Want(std::size_t i) { RequestUpTo(i + ahead_); }
    /// Whether the decode of file i has come in.
    bool Ready(std::size_t i) const { return ready_.count(i) > 0; }
    /// The decode of file i once it is Ready; without one, a decode that tells so.
    TDecodedThumbnail Take(std::size_t i);
    /// Decoded thumbnails waiting to be taken.
    std::size_t Waiting() const { return ready_.size(); }

private:
    void RequestUpTo(std::size_t end);

    IThumbnailSource& source_;
    const std::vector<std::string>& files_;
    int32_t height_;
    std::size_t ahead_;
    bool honourOrientation_;
    TArrived arrived_;
    std::size_t requested_ = 0;
    std::map<std::size_t, uint64_t> tickets_;
    std::map<std::size_t, TDecodedThumbnail> ready_;
    QObject context_; // answers arriving after the end find it gone
};
