#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

/// A whole file mapped read-only into memory; the mapping lives as long as the object.
class TFileMapping {
public:
    /// Maps path. Throws TError "Cannot open file ...", "Cannot create memory
    /// map on file ..." or "Cannot map file ... into memory. Reason: ...".
    explicit TFileMapping(const std::string& path);
    ~TFileMapping();
    TFileMapping(const TFileMapping&) = delete;
    TFileMapping& operator=(const TFileMapping&) = delete;

    std::string_view Bytes() const { return {static_cast<const char*>(data_), size_}; }

private:
    void* data_ = nullptr;
    std::size_t size_ = 0;
};

/// A GNU gettext MO catalogue of either byte order. Every table entry is checked
/// when the catalogue is opened, so lookups never read outside its bytes.
class TMoFile {
public:
    /// Reads bytes kept alive by owner; path only names the catalogue in the error.
    /// Throws TError "This file is not a valid GNU gettext mo file: " + path.
    TMoFile(std::shared_ptr<const void> owner, std::string_view bytes, const std::string& path);
    /// A catalogue holding its own copy of the bytes.
    static TMoFile FromBytes(std::string bytes, const std::string& path);

    /// Looks up an exact, case-sensitive message identifier; true and its
    /// translation when the catalogue holds a non-empty one.
    bool Lookup(std::string_view id, std::string_view& translation) const;
    /// As Lookup, with every form of a plural entry: found by its singular, the
    /// translation holds the forms one after the other, each ended by a NUL but the last.
    bool LookupForms(std::string_view id, std::string_view& forms) const;
    /// Number of messages, the header entry included.
    std::uint32_t Count() const { return count_; }
    /// The identifier and translation at index (< Count()), in the catalogue's order.
    std::pair<std::string_view, std::string_view> At(std::uint32_t index) const {
        return {Text(originals_, index), Text(translations_, index)};
    }
    /// As At, with both English forms and every translated form of a plural entry.
    std::pair<std::string_view, std::string_view> AllFormsAt(std::uint32_t index) const {
        return {Raw(originals_, index), Raw(translations_, index)};
    }

private:
    std::uint32_t Word(std::size_t pos) const;
    std::string_view Text(std::uint32_t table, std::uint32_t index) const;
    std::string_view Raw(std::uint32_t table, std::uint32_t index) const;
    /// The index of the entry whose (first) identifier is id, or Count().
    std::uint32_t Find(std::string_view id) const;

    std::shared_ptr<const void> owner_;
    std::string_view bytes_;
    bool bigEndian_ = false;
    std::uint32_t count_ = 0;
    std::uint32_t originals_ = 0;
    std::uint32_t translations_ = 0;
};
