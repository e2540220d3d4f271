#include "core/TextEncoding.h"

std::size_t Utf8CharLength(const std::string& text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const std::size_t n = text.size();
    if (i >= n) return 0;
    const unsigned char c = at(i);
    if (c < 0x80) return 1;
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) lo = 0xA0; // no overlong forms
        if (c == 0xED) hi = 0x9F; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    if (i + len > n) return 0;
    if (at(i + 1) < lo || at(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < len; ++k)
        if ((at(i + k) & 0xC0) != 0x80) return 0;
    return len;
}

std::size_t FindSeparator(const std::string& text, std::size_t from) {
    std::size_t i = from;
    while (i < text.size()) {
        const std::size_t len = Utf8CharLength(text, i);
        if (len == 0 && text[i] == kSeparator) return i;
        i += len ? len : 1;
    }
    return std::string::npos;
}

std::string ShowSeparators(const std::string& text) {
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = FindSeparator(text, from)) != std::string::npos; from = at + 1)
        out.append(text, from, at - from).append("\xC2\xA4");
    return out.append(text, from);
}

bool IsUtf8WithSeparators(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t len = Utf8CharLength(text, i);
        if (len == 0 && text[i] != kSeparator) return false;
        i += len ? len : 1;
    }
    return true;
}

namespace {
// Windows-1252 0x80..0x9F; 0 marks the five unassigned bytes, kept as U+FFFD.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
} // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Cp1252ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80 || ch == kSeparator) {
            out += ch;
        } else if (c < 0xA0) {
            const char16_t cp = kCp1252High[c - 0x80];
            AppendUtf8(out, cp ? cp : 0xFFFD);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

char32_t DecodeUtf8(const std::string& text, std::size_t i, std::size_t* length) {
    const std::size_t len = Utf8CharLength(text, i);
    if (length) *length = len;
    if (len == 0) return 0xFFFD;
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    switch (len) {
    case 1:
        return b(0);
    case 2:
        return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3:
        return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    default:
        return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    }
}

namespace {
char32_t LowerCodePoint(char32_t cp) {
    if (cp >= 'A' && cp <= 'Z') return cp + 32;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 32;
    if (cp >= 0x100 && cp <= 0x137 && cp % 2 == 0) return cp + 1; // Ā..ķ in pairs
    if (cp >= 0x139 && cp <= 0x148 && cp % 2 == 1) return cp + 1; // Ĺ..ň
    if (cp >= 0x14A && cp <= 0x177 && cp % 2 == 0) return cp + 1; // Ŋ..ŷ
    if (cp == 0x178) return 0xFF;
    if (cp >= 0x179 && cp <= 0x17E && cp % 2 == 1) return cp + 1; // Ź..ž
    return cp;
}
} // namespace

std::string LowerCase(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t len;
        const char32_t cp = DecodeUtf8(text, i, &len);
        if (len == 0) {
            out += text[i++]; // stray bytes, the separator among them, stay as they are
            continue;
        }
        if (cp >= 0x180)
            out.append(text, i, len);
        else
            AppendUtf8(out, LowerCodePoint(cp));
        i += len;
    }
    return out;
}

bool SameText(const std::string& a, const std::string& b) {
    return a == b || LowerCase(a) == LowerCase(b);
}
