#include "ThumbnailPrefetch.h"

#include <algorithm>

#include <QCoreApplication>

TThumbnailPrefetch::TThumbnailPrefetch(IThumbnailSource& source,
                                       const std::vector<std::string>& files, int32_t height,
                                       std::size_t ahead, bool honourOrientation)
    : source_(source), files_(files), height_(std::max(1, height)),
      ahead_(std::max<std::size_t>(1, ahead)), honourOrientation_(honourOrientation) {}

TThumbnailPrefetch::~TThumbnailPrefetch() {
    for (const auto& [index, ticket] : tickets_)
        source_.Withdraw(ticket);
}

void TThumbnailPrefetch::RequestUpTo(std::size_t end) {
    end = std::min(end, files_.size());
    for (; requested_ < end; ++requested_) {
        const std::size_t i = requested_;
        tickets_[i] = source_.Request(&context_, files_[i], 0, height_, honourOrientation_,
                                      [this, i](TDecodedThumbnail decoded) {
                                          tickets_.erase(i);
                                          ready_[i] = std::move(decoded);
                                      });
    }
}

TDecodedThumbnail TThumbnailPrefetch::Take(std::size_t i) {
    // the files after i decode while the window works on i
    RequestUpTo(i + ahead_);
    while (!ready_.count(i))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    TDecodedThumbnail decoded = std::move(ready_[i]);
    ready_.erase(i);
    return decoded;
}
