#include "DestinationNaming.h"

#include "Error.h"
#include "StringController.h"
#include "TextEncoding.h"

namespace {
// Replacement of each Latin-1 code from 128 up; "_" for the unlisted ones.
const char* SafeUpperHalf(char32_t code) {
    switch (code) {
    case 169:
        return "C";
    case 172:
        return "-";
    case 174:
        return "R";
    case 178:
        return "2";
    case 179:
        return "3";
    case 185:
        return "1";
    case 196:
    case 198:
        return "Ae";
    case 197:
        return "Aa";
    case 199:
        return "C";
    case 208:
        return "D";
    case 209:
        return "N";
    case 214:
    case 216:
        return "Oe";
    case 215:
        return "x";
    case 221:
        return "Y";
    case 223:
        return "ss";
    case 228:
    case 230:
        return "ae";
    case 229:
        return "aa";
    case 231:
        return "c";
    case 241:
        return "n";
    case 246:
    case 248:
        return "oe";
    case 247:
        return "-";
    case 253:
    case 255:
        return "y";
    default:
        break;
    }
    if (code >= 192 && code <= 195) return "A";
    if (code >= 200 && code <= 203) return "E";
    if (code >= 204 && code <= 207) return "I";
    if (code >= 210 && code <= 213) return "O";
    if (code >= 217 && code <= 220) return "U"; // "Ü" too: "U", not "Ue"
    if (code >= 224 && code <= 227) return "a";
    if (code >= 232 && code <= 235) return "e";
    if (code >= 236 && code <= 239) return "i";
    if (code >= 242 && code <= 245) return "o";
    if (code >= 249 && code <= 252) return "u";
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
std::string LastComponent(const std::string& path) {
    const std::size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? path : path.substr(at + 1);
}

// From the last full stop of the last path component on, or empty.
std::string Extension(const std::string& path) {
    const std::string last = LastComponent(path);
    const std::size_t dot = last.rfind('.');
    return dot == std::string::npos ? std::string() : last.substr(dot);
}
} // namespace

std::string MakeSafeFileName(const std::string& name) {
    std::string safe;
    safe.reserve(name.size());
    std::size_t i = 0;
    while (i < name.size()) {
        std::size_t length = 0;
        const char32_t code = DecodeUtf8(name, i, &length);
        // a stray byte that is no UTF-8 character counts as one unknown character
        if (length == 0) length = 1;
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

std::string OutputPath(const std::string& folder, const std::string& destinationName) {
    if (folder.empty()) throw TError("DestinationNaming: No destination folder given");
    const std::string file = LastComponent(destinationName);
    // "", "." and ".." would name the folder itself or its parent, not a file
    if (file.empty() || file == "." || file == "..")
        throw TError("DestinationNaming: The destination file name \"" + destinationName +
                     "\" names no file");
    std::string path = folder;
    if (IsSeparator(path.back())) path.pop_back();
    return path + "/" + file;
}
