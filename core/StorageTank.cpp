#include "core/StorageTank.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/Error.h"
#include "core/FilesystemController.h"
#include "core/TextEncoding.h"
#include "core/UserPrompt.h"

namespace {
const std::string kTankKeyword = "StorageTank";
const std::string kEndKeyword = "StorageTankEnd";

// Stores nest a few levels deep (settings, aspects, a list, one aspect). Far
// deeper nesting is damage; refusing it keeps writing and freeing the tree shallow.
constexpr std::size_t kMaxDepth = 64;
// One message box lists this many read faults at most.
constexpr std::size_t kMaxFaultsShown = 10;

// The text before the first separator; empty when there is none, so a bare
// "StorageTankEnd" is no structure line but an element of unknown type.
std::string Keyword(const std::string& line) {
    const std::size_t at = FindSeparator(line);
    return at == std::string::npos ? std::string() : line.substr(0, at);
}

// The store's name in a header line: between the first and the second separator,
// empty when the second is missing.
std::string HeaderName(const std::string& header) {
    const std::size_t first = FindSeparator(header);
    if (first == std::string::npos) return std::string();
    const std::size_t second = FindSeparator(header, first + 1);
    return second == std::string::npos ? std::string()
                                       : header.substr(first + 1, second - first - 1);
}

// A fault quoting a line of binary garbage must still fit a message box: cut it
// after about 200 bytes, on a character boundary.
std::string Clip(const std::string& message) {
    constexpr std::size_t kLimit = 200;
    if (message.size() <= kLimit + 3) return message;
    std::size_t end = 0;
    while (end < kLimit) {
        const std::size_t len = Utf8CharLength(message, end);
        end += len ? len : 1;
    }
    return message.substr(0, end) + "...";
}

// Steps over the store whose header is at index, with everything nested in it.
void SkipStore(const std::vector<std::string>& lines, std::size_t& index) {
    std::size_t depth = 0;
    do {
        const std::string key = Keyword(lines[index++]);
        if (key == kTankKeyword)
            ++depth;
        else if (key == kEndKeyword)
            --depth;
    } while (depth > 0 && index < lines.size());
}
} // namespace

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0, i = 0;
    while (i < text.size()) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = ++i;
        } else {
            ++i;
        }
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

std::string DecodeSettingsText(const std::string& bytes) {
    std::string text = bytes;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    return IsUtf8WithSeparators(text) ? text : Cp1252ToUtf8(text);
}

TStorageTank::TStorageTank(const std::string& name, IUserPrompt* prompt)
    : name_(name), prompt_(prompt) {}

TStorageTank::~TStorageTank() {
    // Freed without recursion: each nested store hands its children over before it
    // goes, so a deeply nested tree cannot exhaust the stack.
    std::vector<std::unique_ptr<TStorage>> pending = std::move(el_);
    while (!pending.empty()) {
        std::unique_ptr<TStorage> child = std::move(pending.back());
        pending.pop_back();
        if (auto* tank = dynamic_cast<TStorageTank*>(child.get())) {
            for (auto& grandchild : tank->el_)
                pending.push_back(std::move(grandchild));
            tank->el_.clear();
        }
    }
}

void TStorageTank::report(const std::string& message) const {
    if (prompt_) prompt_->ShowMessage(message);
}

int TStorageTank::indexOf(const std::string& name) const {
    const std::string key = LowerCase(name);
    for (std::size_t i = 0; i < el_.size(); ++i)
        if (LowerCase(el_[i]->getName()) == key) return static_cast<int>(i);
    return -1;
}

TStorage* TStorageTank::find(const std::string& name) const {
    const int i = indexOf(name);
    return i < 0 ? nullptr : el_[static_cast<std::size_t>(i)].get();
}

void TStorageTank::setValue(const std::string& name, const TVariant& value) {
    TStorage* child = find(name);
    if (auto* e = dynamic_cast<TStorageElement*>(child)) {
        e->assign(name, value);
    } else if (!child) {
        auto e2 = std::make_unique<TStorageElement>();
        e2->assign(name, value); // a refused kind throws before the element is added
        el_.push_back(std::move(e2));
    }
}

const TStorageElement* TStorageTank::element(const std::string& name, const char* type) const {
    const auto* e = dynamic_cast<const TStorageElement*>(find(name));
    return e && e->typeName() == type ? e : nullptr;
}

bool TStorageTank::getBoolean(const std::string& name, bool def) const {
    const TStorageElement* e = element(name, "Boolean");
    const bool* v = e ? std::get_if<bool>(&e->value()) : nullptr;
    return v ? *v : def;
}

int32_t TStorageTank::getInteger(const std::string& name, int32_t def) const {
    const TStorageElement* e = element(name, "Integer");
    const int32_t* v = e ? std::get_if<int32_t>(&e->value()) : nullptr;
    return v ? *v : def;
}

double TStorageTank::getDouble(const std::string& name, double def) const {
    const TStorageElement* e = element(name, "Double");
    const double* v = e ? std::get_if<double>(&e->value()) : nullptr;
    return v ? *v : def;
}

std::string TStorageTank::getString(const std::string& name, const std::string& def) const {
    const TStorageElement* e = element(name, "String");
    const std::string* v = e ? std::get_if<std::string>(&e->value()) : nullptr;
    return v ? *v : def;
}

TStorageTank* TStorageTank::getTank(const std::string& name) const {
    return dynamic_cast<TStorageTank*>(find(name));
}

void TStorageTank::add(std::unique_ptr<TStorage> child) {
    if (auto* tank = dynamic_cast<TStorageTank*>(child.get()); tank && !tank->prompt_)
        tank->prompt_ = prompt_;
    el_.push_back(std::move(child));
}

void TStorageTank::remove(const std::string& name) {
    if (name.empty()) return;
    const int i = indexOf(name);
    if (i >= 0) el_.erase(el_.begin() + i);
}

std::string TStorageTank::toString() const {
    std::vector<std::string> lines;
    toStrings(lines);
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

void TStorageTank::toStrings(std::vector<std::string>& lines) const {
    try {
        lines.push_back(kTankKeyword + kSeparator + name_ + kSeparator);
        for (const auto& child : el_)
            child->toStrings(lines);
    } catch (const std::exception&) {
        report("StorageTank: Error calling toString");
    }
    lines.push_back(kEndKeyword + kSeparator);
}

void TStorageTank::fromSS(const std::string& text) {
    el_.clear();
    std::size_t index = 0;
    fromStrings(SplitLines(text), index);
}

void TStorageTank::fromStrings(const std::vector<std::string>& lines, std::size_t& index) {
    el_.clear();
    while (index < lines.size() && lines[index].empty())
        ++index;
    if (index >= lines.size()) return;

    const std::string& header = lines[index++];
    const std::string keyword = Keyword(header);
    if (keyword != kTankKeyword)
        throw TError(Clip("StorageTank: Expected \"StorageTank\", got \"" + keyword + "\" in \"" +
                          header + "\""));
    name_ = HeaderName(header);

    // Read without recursion: the stores still open, innermost last. A store is
    // joined to its parent when it opens, so one without its end line ends with
    // the text. A bad line is skipped and remembered; the rest is read on.
    std::vector<TStorageTank*> open{this};
    std::vector<std::string> faults;
    while (index < lines.size() && !open.empty()) {
        const std::string& line = lines[index];
        if (line.empty()) {
            ++index;
            continue;
        }
        const std::string key = Keyword(line);
        if (key == kEndKeyword) {
            ++index;
            open.pop_back();
        } else if (key == kTankKeyword && open.size() >= kMaxDepth) {
            faults.push_back(Clip("StorageTank: Stores nested deeper than " +
                                  std::to_string(kMaxDepth) + " levels are not read, in \"" + line +
                                  "\""));
            SkipStore(lines, index);
        } else if (key == kTankKeyword) {
            ++index;
            auto tank = std::make_unique<TStorageTank>(HeaderName(line), prompt_);
            TStorageTank* inner = tank.get();
            open.back()->el_.push_back(std::move(tank));
            open.push_back(inner);
        } else {
            auto element = std::make_unique<TStorageElement>();
            try {
                element->fromStrings(lines, index);
                open.back()->el_.push_back(std::move(element));
            } catch (const TError& e) {
                faults.push_back(Clip(e.what()));
            }
        }
    }
    // a file cut short at a line boundary reads like a whole one; only the
    // missing end lines tell, and what is lost must not be written over
    if (!open.empty())
        faults.push_back(Clip("StorageTank: The text ends before \"" + kEndKeyword +
                              "\" of store \"" + open.back()->name_ + "\""));
    if (faults.empty()) return;
    std::string message;
    for (std::size_t i = 0; i < faults.size() && i < kMaxFaultsShown; ++i)
        message += (i ? "\n" : "") + faults[i];
    if (faults.size() > kMaxFaultsShown) message += "\n...";
    throw TError(message);
}

void TStorageTank::loadFromFile(const std::string& fileName) {
    const std::string path = ProgramPath(fileName);
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return;
    // a file that exists but cannot be read must not pass for a missing one:
    // the settings written at exit would replace it
    const auto fail = [&](const std::string& reason) {
        return TError("Cannot open file \"" + path + "\". " + reason);
    };
    std::string bytes, reason;
    // opened as a regular file only: a FIFO must not hold the start up
    if (!ReadRegularFile(path, bytes, reason)) throw fail(reason);
    fromSS(DecodeSettingsText(bytes));
}

namespace {
// The file a save lands in: a symbolic link (as dotfile managers make) is
// followed, so that the link stays and the file it names gets the content.
// A link to nothing is refused: where its file should be is the user's
// business, and replacing the link would cut it loose.
std::string SaveTarget(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) {
        const int error = errno;
        std::error_code ec;
        const std::string target = std::filesystem::read_symlink(path, ec).string();
        throw TError("Cannot create file \"" + path + "\". It is a link to \"" + target +
                     "\": " + SystemErrorText(error));
    }
    const std::string target = resolved;
    std::free(resolved);
    return target;
}

// A temporary file beside path, created as open() creates files: with the
// umask applied (mkstemp would make it 0600 whatever the umask says).
int CreateTemporary(const std::string& path, std::string& temp) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = path + ".";
        for (int i = 0; i < 6; ++i)
            temp += kLetters[random() % (sizeof kLetters - 1)];
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}
} // namespace

void TStorageTank::saveToFile(const std::string& fileName) const {
    std::vector<std::string> lines;
    toStrings(lines);
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";

    const std::string path = SaveTarget(ProgramPath(fileName));
    const auto fail = [&](int error) {
        return TError("Cannot create file \"" + path + "\". " + SystemErrorText(error));
    };
    // Written beside the target and renamed over it, so that a crash or a full
    // disk never leaves a half-written settings file.
    std::string temp;
    const int fd = CreateTemporary(path, temp);
    if (fd < 0) throw fail(errno);
    // a file replaced keeps its mode; a new one has what the umask allows
    struct stat old;
    if (stat(path.c_str(), &old) == 0) fchmod(fd, old.st_mode & 07777);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            throw fail(error);
        }
        done += static_cast<std::size_t>(n);
    }
    int error = ::fsync(fd) == 0 ? 0 : errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && std::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temp.c_str());
        throw fail(error);
    }
}
