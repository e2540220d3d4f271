#include "jobs/OutputNames.h"

#include "model/DestinationNaming.h"

namespace {
uint64_t Mix(uint64_t key) {
    // a full avalanche, so that neighbouring inode numbers spread over the table
    key ^= key >> 33;
    key *= 0xff51afd7ed558ccdULL;
    key ^= key >> 33;
    key *= 0xc4ceb9fe1a85ec53ULL;
    return key ^ (key >> 33);
}

uint64_t KeyOf(const TFileId& id) {
    return Mix(uint64_t(id.first) * 0x9e3779b97f4a7c15ULL ^ uint64_t(id.second));
}
} // namespace

uint64_t HashText(const std::string& text) {
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

std::size_t TKeySet::Slot(uint64_t key) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = Mix(key) & mask;
    while (slots_[i] != 0 && slots_[i] != key)
        i = (i + 1) & mask;
    return i;
}

void TKeySet::Grow() {
    std::vector<uint64_t> old(slots_.empty() ? 64 : slots_.size() * 2, 0);
    old.swap(slots_);
    for (const uint64_t key : old)
        if (key != 0) slots_[Slot(key)] = key;
}

bool TKeySet::Insert(uint64_t key) {
    if (key == 0) {
        const bool added = !hasZero_;
        hasZero_ = true;
        size_ += added;
        return added;
    }
    // at most three quarters full, so that a probe ends after a few steps
    if (4 * (size_ + 1) > 3 * slots_.size()) Grow();
    const std::size_t i = Slot(key);
    if (slots_[i] == key) return false;
    slots_[i] = key;
    ++size_;
    return true;
}

bool TKeySet::Contains(uint64_t key) const {
    if (key == 0) return hasZero_;
    return !slots_.empty() && slots_[Slot(key)] == key;
}

bool TOutputNames::Has(const std::string& output) const {
    return outputs_.Contains(HashText(output));
}

void TOutputNames::Add(const std::string& output) {
    outputs_.Insert(HashText(output));
}

std::string TOutputNames::FreeName(const std::string& path,
                                   const std::function<bool(const std::string&)>& taken) {
    const auto isTaken = [&](const std::string& p) { return Has(p) || taken(p); };
    if (!isTaken(path)) return path;
    int& next = nextNumber_.try_emplace(HashText(path), 2).first->second;
    // the numbers below next were taken when last asked, and taken names stay taken
    for (; next <= kMaxNameNumber; ++next) {
        std::string candidate = NumberedName(path, next);
        if (!isTaken(candidate)) return candidate;
    }
    return "";
}

void TOutputNames::AddSource(const TFileId& id) {
    sources_.Insert(KeyOf(id));
}

bool TOutputNames::IsSource(const TFileId& id) const {
    return sources_.Contains(KeyOf(id));
}
