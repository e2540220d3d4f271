#include "i18n/MoFile.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Error.h"

namespace {

constexpr std::uint32_t kMoMagic = 0x950412DE;
constexpr std::size_t kHeaderSize = 28;

// The first part of a table text up to a NUL: plural entries keep their second
// form and context entries nothing else behind it.
std::string_view FirstForm(std::string_view text) {
    const std::size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

} // namespace

TFileMapping::TFileMapping(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw TError("Cannot open file " + path);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        throw TError("Cannot create memory map on file " + path);
    }
    size_ = static_cast<std::size_t>(st.st_size);
    // An empty file cannot be mapped; it is simply empty and fails the format check.
    if (size_ > 0) {
        void* data = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (data == MAP_FAILED) {
            const int error = errno;
            close(fd);
            throw TError("Cannot map file " + path +
                         " into memory. Reason: " + std::strerror(error));
        }
        data_ = data;
    }
    close(fd);
}

TFileMapping::~TFileMapping() {
    if (data_) munmap(data_, size_);
}

TMoFile::TMoFile(std::shared_ptr<const void> owner, std::string_view bytes, const std::string& path)
    : owner_(std::move(owner)), bytes_(bytes) {
    const TError invalid("This file is not a valid GNU gettext mo file: " + path);
    if (bytes_.size() < kHeaderSize) throw invalid;
    // The writer's byte order shows in how the magic number reads.
    if (Word(0) != kMoMagic) {
        bigEndian_ = true;
        if (Word(0) != kMoMagic) throw invalid;
    }
    if ((Word(4) >> 16) > 1) throw invalid; // an unknown major revision
    count_ = Word(8);
    originals_ = Word(12);
    translations_ = Word(16);
    const std::uint64_t size = bytes_.size();
    const std::uint64_t tableBytes = std::uint64_t{count_} * 8;
    if (originals_ + tableBytes > size || translations_ + tableBytes > size) throw invalid;
    for (std::uint32_t i = 0; i < count_; ++i) {
        for (const std::uint32_t table : {originals_, translations_}) {
            const std::uint64_t length = Word(table + std::size_t{i} * 8);
            const std::uint64_t offset = Word(table + std::size_t{i} * 8 + 4);
            if (offset + length > size) throw invalid;
        }
    }
}

TMoFile TMoFile::FromBytes(std::string bytes, const std::string& path) {
    auto owned = std::make_shared<const std::string>(std::move(bytes));
    const std::string_view view = *owned;
    return TMoFile(std::move(owned), view, path);
}

std::uint32_t TMoFile::Word(std::size_t pos) const {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data()) + pos;
    if (bigEndian_)
        return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 |
               p[3];
    return std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0];
}

std::string_view TMoFile::Raw(std::uint32_t table, std::uint32_t index) const {
    const std::size_t entry = table + std::size_t{index} * 8;
    return bytes_.substr(Word(entry + 4), Word(entry));
}

std::string_view TMoFile::Text(std::uint32_t table, std::uint32_t index) const {
    return FirstForm(Raw(table, index));
}

std::uint32_t TMoFile::Find(std::string_view id) const {
    // msgfmt sorts the identifiers bytewise, as string_view compares them.
    std::uint32_t low = 0, high = count_;
    while (low < high) {
        const std::uint32_t mid = low + (high - low) / 2;
        const int order = id.compare(Text(originals_, mid));
        if (order == 0) return mid;
        if (order < 0)
            high = mid;
        else
            low = mid + 1;
    }
    return count_;
}

bool TMoFile::Lookup(std::string_view id, std::string_view& translation) const {
    const std::uint32_t at = Find(id);
    if (at == count_) return false;
    translation = Text(translations_, at);
    return !translation.empty();
}

bool TMoFile::LookupForms(std::string_view id, std::string_view& forms) const {
    const std::uint32_t at = Find(id);
    if (at == count_) return false;
    forms = Raw(translations_, at);
    return !FirstForm(forms).empty();
}
