#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/FilesystemController.h"

/// A set of 64-bit keys in one flat table: 21 bytes a key at most, so that a
/// run over millions of photos remembers every output in a few megabytes.
class TKeySet {
public:
    /// True when the key was not in the set yet.
    bool Insert(uint64_t key);
    bool Contains(uint64_t key) const;
    std::size_t Size() const { return size_; }

private:
    std::size_t Slot(uint64_t key) const;
    void Grow();

    std::vector<uint64_t> slots_; // 0 marks a free slot; key 0 is kept as a flag
    std::size_t size_ = 0;
    bool hasZero_ = false;
};

/// What a crop run has given out so far: the outputs its jobs write, the next
/// number to try for a name taken again and again, and the photos it reads.
/// Kept as hashes, not names: two names with one hash (one in 2^64) give a
/// "name (2).jpg" that was not needed, never a lost photo.
class TOutputNames {
public:
    bool Has(const std::string& output) const;
    void Add(const std::string& output);
    /// The first of path, "path (2)", "path (3)", ... that neither this run
    /// nor taken holds, or "" after 9999. Numbers tried for path once are not
    /// tried again, so a name given a thousand times costs no thousand probes.
    std::string FreeName(const std::string& path,
                         const std::function<bool(const std::string&)>& taken);

    void AddSource(const TFileId& id);
    bool IsSource(const TFileId& id) const;

private:
    TKeySet outputs_;
    TKeySet sources_;
    std::unordered_map<uint64_t, int> nextNumber_; // only for names given more than once
};

/// A 64-bit FNV-1a hash of text, the same on every run and machine.
uint64_t HashText(const std::string& text);
