#include "jobs/OrderFile.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "core/FilesystemController.h"
#include "core/StringController.h"
#include "i18n/gnugettext.h"

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr const char* kFormat = "trimvale-order";
constexpr std::size_t kCheckSpan = 64 * 1024;

// FNV-1a over 64-bit words: cheap, and a change anywhere in the span shows
uint64_t Mix(uint64_t hash, const unsigned char* data, std::size_t n) {
    constexpr uint64_t kPrime = 0x100000001b3ULL;
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        hash = (hash ^ word) * kPrime;
    }
    for (; i < n; ++i)
        hash = (hash ^ data[i]) * kPrime;
    return hash;
}

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool FromHex(const std::string& hex, std::string& bytes) {
    if (hex.size() % 2) return false;
    const auto digit = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    bytes.clear();
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = digit(hex[i]), lo = digit(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes += static_cast<char>(hi * 16 + lo);
    }
    return true;
}

bool WellFormedUtf8(const std::string& text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t len;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xe0) == 0xc0) {
            len = 2;
            cp = c & 0x1f;
        } else if ((c & 0xf0) == 0xe0) {
            len = 3;
            cp = c & 0x0f;
        } else if ((c & 0xf8) == 0xf0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xc0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3f);
        }
        // no overlong forms, no surrogates, nothing past U+10FFFF
        static constexpr std::array<uint32_t, 5> kLeast = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[len] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return false;
        i += len;
    }
    return true;
}

void PutText(json& object, const std::string& key, const std::string& text) {
    if (WellFormedUtf8(text))
        object[key] = text;
    else
        object[key + "_hex"] = Hex(text);
}

// Thrown inside the parse for a member of the wrong shape; becomes "damaged".
struct TDamaged {};

std::string GetText(const json& object, const std::string& key, bool required = true) {
    if (const auto it = object.find(key); it != object.end()) {
        if (!it->is_string()) throw TDamaged{};
        return it->get<std::string>();
    }
    if (const auto it = object.find(key + "_hex"); it != object.end()) {
        std::string bytes;
        if (!it->is_string() || !FromHex(it->get<std::string>(), bytes)) throw TDamaged{};
        return bytes;
    }
    if (required) throw TDamaged{};
    return {};
}

template <typename T> T GetNumber(const json& object, const char* key, T fallback) {
    const auto it = object.find(key);
    if (it == object.end()) return fallback;
    if (!it->is_number_integer()) throw TDamaged{};
    // a number beyond the type is damage, not a value to wrap
    if (it->is_number_unsigned()) {
        const auto v = it->get<uint64_t>();
        if (v > static_cast<uint64_t>(std::numeric_limits<T>::max())) throw TDamaged{};
        return static_cast<T>(v);
    }
    const auto v = it->get<int64_t>();
    if (v < static_cast<int64_t>(std::numeric_limits<T>::min()) ||
        (v > 0 && static_cast<uint64_t>(v) > static_cast<uint64_t>(std::numeric_limits<T>::max())))
        throw TDamaged{};
    return static_cast<T>(v);
}

bool GetBool(const json& object, const char* key, bool fallback) {
    const auto it = object.find(key);
    if (it == object.end()) return fallback;
    if (!it->is_boolean()) throw TDamaged{};
    return it->get<bool>();
}

std::vector<int64_t> GetInts(const json& object, const char* key, std::size_t count) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_array() || it->size() != count) throw TDamaged{};
    std::vector<int64_t> values;
    for (const json& v : *it) {
        if (!v.is_number_integer()) throw TDamaged{};
        const auto n = v.get<int64_t>();
        if (n < 0 || n > std::numeric_limits<int32_t>::max()) throw TDamaged{};
        values.push_back(n);
    }
    return values;
}

fs::path OrderFolder(const std::string& orderPath) {
    std::error_code error;
    fs::path absolute = fs::absolute(fs::path(orderPath), error);
    if (error) absolute = fs::path(orderPath);
    return absolute.lexically_normal().parent_path();
}

// The source as written: below the order's folder relative, else absolute.
std::string WrittenSource(const fs::path& folder, const std::string& file) {
    std::error_code error;
    fs::path absolute = fs::absolute(fs::path(file), error);
    if (error) return file;
    absolute = absolute.lexically_normal();
    const fs::path relative = absolute.lexically_relative(folder);
    if (relative.empty() || *relative.begin() == "..") return absolute.string();
    return relative.string();
}

const std::vector<std::pair<const char*, bool TCropOptions::*>>& CutOptions() {
    static const std::vector<std::pair<const char*, bool TCropOptions::*>> options = {
        {"CopyMetadats", &TCropOptions::CopyMetadats},
        {"HuffmanOptimize", &TCropOptions::HuffmanOptimize},
        {"AutoRotateToLandscapeAfterCrop", &TCropOptions::AutoRotateToLandscapeAfterCrop},
        {"UpdatePPI", &TCropOptions::UpdatePPI},
        {"CopyFileDates", &TCropOptions::CopyFileDates},
        {"CopyFilepermissions", &TCropOptions::CopyFilepermissions},
    };
    return options;
}

std::string Message(const char* text, const std::string& path) {
    return FillPlaceholders(TranslateOrKeep(text), {path});
}

// Whether the photo on disk is still the one the order holds; its reason when not.
// A photo touched but not changed takes the new time, which its crop checks against.
bool StillThere(TOrderPhoto& photo, std::string& reason) {
    struct stat st {};
    if (stat(photo.File().c_str(), &st) != 0) {
        reason = errno == ENOENT || errno == ENOTDIR
                     ? TranslateOrKeep(N_("missing: moved, renamed or deleted"))
                     : SystemErrorText(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = TranslateOrKeep(N_("no longer a photo file"));
        return false;
    }
    const int64_t modified =
        static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    const bool sameSize = static_cast<uint64_t>(st.st_size) == photo.Source.fileSize;
    if (sameSize && modified == photo.Source.modifiedNs) return true;
    if (sameSize && !photo.ContentCheck.empty() &&
        ContentCheckOf(photo.File()) == photo.ContentCheck) {
        photo.Source.modifiedNs = modified;
        return true;
    }
    reason = TranslateOrKeep(N_("changed since the order was saved"));
    return false;
}

} // namespace

std::string ContentCheckOf(const std::string& path) {
    std::string reason;
    const int fd = OpenRegularFile(path, reason);
    if (fd < 0) return {};
    struct stat st {};
    std::string check;
    if (fstat(fd, &st) == 0) {
        const auto size = static_cast<uint64_t>(st.st_size);
        std::vector<unsigned char> buffer(kCheckSpan);
        uint64_t hash =
            Mix(0xcbf29ce484222325ULL, reinterpret_cast<const unsigned char*>(&size), sizeof size);
        bool ok = true;
        const auto span = [&](off_t at, std::size_t want) {
            std::size_t got = 0;
            while (got < want) {
                const ssize_t n =
                    pread(fd, buffer.data() + got, want - got, at + static_cast<off_t>(got));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) break;
                got += static_cast<std::size_t>(n);
            }
            ok = ok && got == want;
            hash = Mix(hash, buffer.data(), got);
        };
        const std::size_t head = static_cast<std::size_t>(std::min<uint64_t>(size, kCheckSpan));
        span(0, head);
        if (size > kCheckSpan) {
            const std::size_t tail =
                static_cast<std::size_t>(std::min<uint64_t>(size - kCheckSpan, kCheckSpan));
            span(static_cast<off_t>(size - tail), tail);
        }
        if (ok) {
            char text[17];
            std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
            check = text;
        }
    }
    close(fd);
    return check;
}

std::string OrderFileText(const std::string& orderPath, const TOrderSettings& settings,
                          const std::vector<TOrderPhoto>& photos) {
    const fs::path folder = OrderFolder(orderPath);
    json head = json::object();
    PutText(head, "destination", settings.Destination);
    json options = json::object();
    for (const auto& [key, member] : CutOptions())
        options[key] = settings.Options.*member;
    options["SizeSubfolders"] = settings.SizeFolders;
    // the marks first, so that a look at the file's start tells what it is;
    // then one photo a line, for a reader or a diff
    std::string text = "{\"format\": \"" + std::string(kFormat) +
                       "\", \"version\": " + std::to_string(kOrderFileVersion) + ",\n";
    for (const auto& [key, value] : head.items())
        text += " " + json(key).dump() + ": " + value.dump() + ",\n";
    json aspects = json::array();
    for (const TOrderAspect& a : settings.Aspects) {
        json aspect = json::object();
        PutText(aspect, "description", a.Description);
        aspect["horizontal"] = a.Horizontal;
        aspect["vertical"] = a.Vertical;
        PutText(aspect, "unit", a.Unit);
        aspects.push_back(std::move(aspect));
    }
    text += " \"options\": " + options.dump() + ",\n";
    text += " \"aspects\": " + aspects.dump() + ",\n \"photos\": [";
    bool first = true;
    for (const TOrderPhoto& photo : photos) {
        const TJpegLayout& s = photo.Source;
        const TCropRect& c = photo.Choice.Crop;
        json entry = json::object();
        PutText(entry, "source", WrittenSource(folder, photo.File()));
        entry["size"] = s.fileSize;
        entry["modified"] = s.modifiedNs;
        entry["check"] =
            photo.ContentCheck.empty() ? ContentCheckOf(photo.File()) : photo.ContentCheck;
        entry["stored"] = json::array({s.width, s.height, s.blockWidth, s.blockHeight});
        entry["orientation"] = photo.Orientation;
        entry["crop"] = json::array({c.x, c.y, c.width, c.height});
        entry["turn"] = photo.Choice.Rotation;
        entry["flip"] = photo.Choice.Flipped;
        PutText(entry, "aspect", photo.Choice.Aspect);
        PutText(entry, "kind", photo.Kind);
        entry["resolution"] = photo.Resolution;
        PutText(entry, "output", photo.Choice.DestName);
        entry["incomplete"] = photo.Incomplete;
        text += (first ? "\n  " : ",\n  ") + entry.dump();
        first = false;
    }
    text += "\n ]\n}\n";
    return text;
}

void WriteFileAtomically(const std::string& path, const std::string& text) {
    const fs::path target(path);
    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string temp = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0) throw TError(SystemErrorText(errno));
    const auto fail = [&](int error) {
        close(fd);
        unlink(temp.c_str());
        throw TError(SystemErrorText(error));
    };
    // a new file is the user's to read, as any other they save
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0) fail(errno);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) fail(n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
    // the data on the disk before the name points to it: a power cut leaves the old file
    if (fsync(fd) != 0) fail(errno);
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        throw TError(SystemErrorText(error));
    }
    if (rename(temp.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        throw TError(SystemErrorText(error));
    }
    // and the rename itself kept
    const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
}

void SaveOrderFile(const std::string& orderPath, const TOrderSettings& settings,
                   const std::vector<TOrderPhoto>& photos) {
    const std::string text = OrderFileText(orderPath, settings, photos);
    try {
        WriteFileAtomically(orderPath, text);
    } catch (const TError& e) {
        throw TError(
            FillPlaceholders(TranslateOrKeep(N_("The print order cannot be saved as %1: %2")),
                             {orderPath, e.what()}));
    }
}

TOpenedOrder ParseOrderFile(const std::string& orderPath, const std::string& text) {
    // the parser's own exceptions stay inside: a damaged file is a message, never a crash
    const json order = json::parse(text, nullptr, false);
    if (order.is_discarded()) {
        // a file that does not even start as a JSON object is something else
        const auto start = text.find_first_not_of(" \t\r\n");
        if (start == std::string::npos || text[start] != '{' ||
            text.find(kFormat) == std::string::npos)
            throw TOrderFileError(Message(N_("%1 is not a print order."), orderPath));
        throw TOrderFileError(
            Message(N_("%1 is damaged: it cannot be read as a print order."), orderPath));
    }
    if (!order.is_object() || !order.contains("format") || order["format"] != kFormat)
        throw TOrderFileError(Message(N_("%1 is not a print order."), orderPath));
    const auto version = order.find("version");
    if (version == order.end() || !version->is_number_integer() || version->get<int64_t>() < 1)
        throw TOrderFileError(
            Message(N_("%1 is damaged: it cannot be read as a print order."), orderPath));
    if (version->get<int64_t>() > kOrderFileVersion)
        throw TOrderFileError(FillPlaceholders(
            TranslateOrKeep(N_("%1 was saved by a newer version of Trimvale (order format %2); "
                               "this version reads format %3 and older.")),
            {orderPath, std::to_string(version->get<int64_t>()),
             std::to_string(kOrderFileVersion)}));

    TOpenedOrder opened;
    const fs::path folder = OrderFolder(orderPath);
    try {
        opened.Settings.Destination = GetText(order, "destination", false);
        if (const auto options = order.find("options"); options != order.end()) {
            if (!options->is_object()) throw TDamaged{};
            for (const auto& [key, member] : CutOptions())
                opened.Settings.Options.*member =
                    GetBool(*options, key, opened.Settings.Options.*member);
            opened.Settings.SizeFolders = GetBool(*options, "SizeSubfolders", false);
        }
        if (const auto aspects = order.find("aspects"); aspects != order.end()) {
            if (!aspects->is_array()) throw TDamaged{};
            for (const json& a : *aspects) {
                if (!a.is_object()) throw TDamaged{};
                TOrderAspect aspect;
                aspect.Description = GetText(a, "description");
                aspect.Unit = GetText(a, "unit", false);
                for (auto [key, value] : {std::pair{"horizontal", &aspect.Horizontal},
                                          std::pair{"vertical", &aspect.Vertical}}) {
                    const auto it = a.find(key);
                    if (it == a.end() || !it->is_number() || it->get<double>() < 0)
                        throw TDamaged{};
                    *value = it->get<double>();
                }
                opened.Settings.Aspects.push_back(std::move(aspect));
            }
        }
        const auto photos = order.find("photos");
        if (photos == order.end() || !photos->is_array()) throw TDamaged{};
        opened.Photos.reserve(photos->size());
        for (const json& entry : *photos) {
            if (!entry.is_object()) throw TDamaged{};
            TOrderPhoto photo;
            const std::string source = GetText(entry, "source");
            if (source.empty()) throw TDamaged{};
            photo.Choice.File = (folder / fs::path(source)).lexically_normal().string();
            photo.Source.fileSize = GetNumber<uint64_t>(entry, "size", 0);
            photo.Source.modifiedNs = GetNumber<int64_t>(entry, "modified", 0);
            photo.ContentCheck = GetText(entry, "check", false);
            const auto stored = GetInts(entry, "stored", 4);
            photo.Source.width = static_cast<int32_t>(stored[0]);
            photo.Source.height = static_cast<int32_t>(stored[1]);
            photo.Source.blockWidth = static_cast<int32_t>(stored[2]);
            photo.Source.blockHeight = static_cast<int32_t>(stored[3]);
            photo.Orientation = GetNumber<int>(entry, "orientation", 1);
            if (photo.Orientation < 1 || photo.Orientation > 8) throw TDamaged{};
            photo.Source.orientation = photo.Orientation;
            const auto crop = GetInts(entry, "crop", 4);
            photo.Choice.Crop = {static_cast<int32_t>(crop[0]), static_cast<int32_t>(crop[1]),
                                 static_cast<int32_t>(crop[2]), static_cast<int32_t>(crop[3])};
            photo.Choice.Rotation = GetNumber<int32_t>(entry, "turn", 0);
            if (photo.Choice.Rotation % 90 != 0 || photo.Choice.Rotation < 0 ||
                photo.Choice.Rotation > 270)
                throw TDamaged{};
            photo.Choice.Flipped = GetBool(entry, "flip", false);
            photo.Choice.Aspect = GetText(entry, "aspect", false);
            photo.Kind = GetText(entry, "kind", false);
            if (photo.Kind.empty()) photo.Kind = "defined";
            photo.Resolution = GetNumber<int>(entry, "resolution", -1);
            photo.Choice.DestName = GetText(entry, "output", false);
            photo.Incomplete = GetBool(entry, "incomplete", false);
            std::string reason;
            if (StillThere(photo, reason))
                opened.Photos.push_back(std::move(photo));
            else
                opened.Dropped.push_back({photo.File(), reason});
        }
    } catch (const TDamaged&) {
        throw TOrderFileError(
            Message(N_("%1 is damaged: it cannot be read as a print order."), orderPath));
    }
    return opened;
}

TOpenedOrder OpenOrderFile(const std::string& orderPath) {
    std::string text, reason;
    if (!ReadRegularFile(orderPath, text, reason))
        throw TOrderFileError(FillPlaceholders(
            TranslateOrKeep(N_("The print order %1 cannot be read: %2")), {orderPath, reason}));
    return ParseOrderFile(orderPath, text);
}
