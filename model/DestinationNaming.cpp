#include "model/DestinationNaming.h"

#include "core/Error.h"
#include "core/StringController.h"
#include "core/TextEncoding.h"

namespace {
struct TLatinRange {
    char32_t first, last;
    const char* replacement;
};

// Look-alikes for the upper half of Latin-1; codes not listed become "_".
const TLatinRange kUpperHalf[] = {
    {169, 169, "C"},  {172, 172, "-"},  {174, 174, "R"},  {178, 178, "2"},  {179, 179, "3"},
    {185, 185, "1"},  {192, 195, "A"},  {196, 196, "Ae"}, {197, 197, "Aa"}, {198, 198, "Ae"},
    {199, 199, "C"},  {200, 203, "E"},  {204, 207, "I"},  {208, 208, "D"},  {209, 209, "N"},
    {210, 213, "O"},  {214, 214, "Oe"}, {215, 215, "x"},  {216, 216, "Oe"}, {217, 220, "U"},
    {221, 221, "Y"},  {223, 223, "ss"}, {224, 227, "a"},  {228, 228, "ae"}, {229, 229, "aa"},
    {230, 230, "ae"}, {231, 231, "c"},  {232, 235, "e"},  {236, 239, "i"},  {241, 241, "n"},
    {242, 245, "o"},  {246, 246, "oe"}, {247, 247, "-"},  {248, 248, "oe"}, {249, 252, "u"},
    {253, 253, "y"},  {255, 255, "y"},
};

const char* SafeUpperHalf(char32_t code) {
    for (const TLatinRange& range : kUpperHalf)
        if (code >= range.first && code <= range.last) return range.replacement;
    return "_";
}

void AppendSafe(std::string& out, char32_t code) {
    if ((code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z') ||
        (code >= '0' && code <= '9') || code == '_' || code == '-' || code == '.')
        out += static_cast<char>(code);
    else if (code == ' ')
        out += '_';
    else if (code == '$')
        out += 'S';
    else if (code == '=')
        out += '-';
    else
        out += code >= 128 && code <= 255 ? SafeUpperHalf(code) : "_";
}

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// The text behind the last "/" or "\".
// From the last full stop of the last path component on, or empty.
std::string Extension(const std::string& path) {
    const std::string last = LastComponent(path);
    const std::size_t dot = last.rfind('.');
    return dot == std::string::npos ? std::string() : last.substr(dot);
}
} // namespace

std::string LastComponent(const std::string& path, bool posixNames) {
    const std::size_t at = path.find_last_of(posixNames ? "/" : "/\\");
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string MakeSafeFileName(const std::string& name) {
    std::string safe;
    safe.reserve(name.size());
    std::size_t i = 0;
    while (i < name.size()) {
        std::size_t length = 0;
        char32_t code = DecodeUtf8(name, i, &length);
        // a stray byte that is no UTF-8 (a name from an older Latin-1 system) is
        // taken as the Latin-1 character it stands for
        if (length == 0) {
            length = 1;
            code = static_cast<unsigned char>(name[i]);
        }
        AppendSafe(safe, code);
        i += length;
    }
    return safe;
}

std::string ApplyNameTemplate(const std::string& name, const std::string& templ) {
    const std::size_t dot = name.rfind('.');
    const std::string base = dot == std::string::npos ? name : name.substr(0, dot);
    std::string result = ReplaceAll(templ, "%n", base);
    result = ReplaceAll(result, "%N", base);
    const std::string extension = LowerCase(Extension(result));
    if (extension != ".jpg" && extension != ".jpeg") result += Extension(name);
    return result;
}

std::string OutputPath(const std::string& folder, const std::string& destinationName,
                       bool posixNames) {
    if (folder.empty()) throw TError(TErrorKind::NoDestination, "");
    const std::string file = LastComponent(destinationName, posixNames);
    // "", "." and ".." would name the folder itself or its parent, not a file
    if (file.empty() || file == "." || file == "..")
        throw TError(TErrorKind::BadOutputName, destinationName);
    std::string path = folder;
    if (IsSeparator(path.back())) path.pop_back();
    return path + "/" + file;
}

std::string FirstFreeName(const std::string& path,
                          const std::function<bool(const std::string&)>& taken) {
    if (!taken(path)) return path;
    for (int n = 2; n <= kMaxNameNumber; ++n) {
        std::string candidate = NumberedName(path, n);
        if (!taken(candidate)) return candidate;
    }
    return "";
}

std::string NumberedName(const std::string& path, int n) {
    // the number goes before the extension, so the file still opens as a JPEG
    const std::size_t nameAt = path.find_last_of("/\\") + 1;
    const std::size_t dot = path.rfind('.');
    const std::size_t split = dot == std::string::npos || dot <= nameAt ? path.size() : dot;
    return path.substr(0, split) + " (" + std::to_string(n) + ")" + path.substr(split);
}
