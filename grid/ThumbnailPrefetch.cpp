#include "grid/ThumbnailPrefetch.h"

#include <algorithm>

TThumbnailPrefetch::TThumbnailPrefetch(IThumbnailSource& source,
                                       const std::vector<std::string>& files, int32_t height,
                                       std::size_t ahead, bool honourOrientation, TArrived arrived)
    : source_(source), files_(files), height_(std::max(1, height)),
      ahead_(std::max<std::size_t>(1, ahead)), honourOrientation_(honourOrientation),
      arrived_(std::move(arrived)) {}

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
                                          if (arrived_) arrived_();
                                      });
    }
}

TDecodedThumbnail TThumbnailPrefetch::Take(std::size_t i) {
    const auto it = ready_.find(i);
    // asked before its decode arrived: no picture, as for a file that cannot be read
    if (it == ready_.end())
        return {std::nullopt, {TErrorKind::Damaged, i < files_.size() ? files_[i] : "", "", ""}};
    TDecodedThumbnail decoded = std::move(it->second);
    ready_.erase(it);
    return decoded;
}
