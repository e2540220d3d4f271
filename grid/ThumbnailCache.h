#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>

#include "jpeg/JpegThumbnail.h"

/// Thumbnails decoded before, kept within a budget of bytes: the one seen
/// least recently goes first when a new one would not fit. Thumbnails are kept
/// per file, turn, height and orientation, exactly as they were asked for.
/// Used on the window's thread only.
class TThumbnailCache {
public:
    explicit TThumbnailCache(std::size_t budget = 256u << 20) : budget_(budget) {}

    /// A copy of the thumbnail kept for the request, if any; it counts as seen now.
    std::optional<TThumbnail> Find(const std::string& file, int32_t rotation, int32_t height,
                                   bool honourOrientation);
    /// Keeps a copy of the thumbnail, dropping the least recently seen ones as needed.
    /// One larger than the whole budget is not kept.
    void Keep(const std::string& file, int32_t rotation, int32_t height, bool honourOrientation,
              const TThumbnail& thumbnail);
    /// A new budget; what no longer fits goes at once.
    void SetBudget(std::size_t bytes);
    std::size_t Budget() const { return budget_; }
    std::size_t Bytes() const { return bytes_; }
    std::size_t Count() const { return index_.size(); }

private:
    struct TEntry {
        std::string Key;
        TThumbnail Thumbnail;
        std::size_t Bytes;
    };
    static std::string KeyOf(const std::string& file, int32_t rotation, int32_t height,
                             bool honourOrientation);
    void Trim(std::size_t budget);

    std::size_t budget_;
    std::size_t bytes_ = 0;
    std::list<TEntry> entries_; // the most recently seen first
    std::unordered_map<std::string, std::list<TEntry>::iterator> index_;
};
