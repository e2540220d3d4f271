#include "grid/ThumbnailCache.h"

std::string TThumbnailCache::KeyOf(const std::string& file, int32_t rotation, int32_t height,
                                   bool honourOrientation) {
    return std::to_string(rotation) + ':' + std::to_string(height) +
           (honourOrientation ? ":u:" : ":s:") + file;
}

std::optional<TThumbnail> TThumbnailCache::Find(const std::string& file, int32_t rotation,
                                                int32_t height, bool honourOrientation) {
    const auto it = index_.find(KeyOf(file, rotation, height, honourOrientation));
    if (it == index_.end()) return std::nullopt;
    entries_.splice(entries_.begin(), entries_, it->second);
    return it->second->Thumbnail;
}

void TThumbnailCache::Keep(const std::string& file, int32_t rotation, int32_t height,
                           bool honourOrientation, const TThumbnail& thumbnail) {
    std::string key = KeyOf(file, rotation, height, honourOrientation);
    if (const auto it = index_.find(key); it != index_.end()) {
        bytes_ -= it->second->Bytes;
        entries_.erase(it->second);
        index_.erase(it);
    }
    const std::size_t bytes = thumbnail.bitmap.FileImage().size() + sizeof(TEntry) + 2 * key.size();
    if (bytes > budget_) return;
    Trim(budget_ - bytes);
    entries_.push_front({key, thumbnail, bytes});
    index_.emplace(std::move(key), entries_.begin());
    bytes_ += bytes;
}

void TThumbnailCache::SetBudget(std::size_t bytes) {
    budget_ = bytes;
    Trim(budget_);
}

void TThumbnailCache::Trim(std::size_t budget) {
    while (bytes_ > budget && !entries_.empty()) {
        bytes_ -= entries_.back().Bytes;
        index_.erase(entries_.back().Key);
        entries_.pop_back();
    }
}
