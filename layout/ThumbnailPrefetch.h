#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <QObject>

#include "ThumbnailSource.h"

/// Keeps the decodes of the next files of a list in flight while the window
/// creates frames for the earlier ones, in list order. At most `ahead`
/// thumbnails are asked for and not yet taken, so memory stays flat however
/// long the list is. What is left when it ends is withdrawn or dropped.
class TThumbnailPrefetch {
public:
    TThumbnailPrefetch(IThumbnailSource& source, const std::vector<std::string>& files,
                       int32_t height, std::size_t ahead, bool honourOrientation = true);
    ~TThumbnailPrefetch();
    TThumbnailPrefetch(const TThumbnailPrefetch&) = delete;
    TThumbnailPrefetch& operator=(const TThumbnailPrefetch&) = delete;

    /// The decode of file i, processing the window's events while it waits;
    /// asks for the files after it.
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
    std::size_t requested_ = 0;
    std::map<std::size_t, uint64_t> tickets_;
    std::map<std::size_t, TDecodedThumbnail> ready_;
    QObject context_; // answers arriving after the end find it gone
};
