#include "core/StringController.h"

#include <cctype>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/Error.h"
#include "core/TextEncoding.h"

std::size_t PosFrom(const std::string& find, const std::string& text, std::size_t start) {
    if (start < 1) start = 1;
    if (find.empty() || start > text.size()) return 0;
    const std::size_t at = text.find(find, start - 1);
    return at == std::string::npos ? 0 : at + 1;
}

std::string ReplaceAll(const std::string& text, const std::string& find,
                       const std::string& replacement) {
    if (find.empty() || text.empty()) return text;
    std::string result;
    std::size_t pos = 1;
    while (true) {
        const std::size_t hit = PosFrom(find, text, pos);
        if (hit == 0) {
            result.append(text, pos - 1, std::string::npos);
            return result;
        }
        result.append(text, pos - 1, hit - pos);
        result += replacement;
        pos = hit + find.size();
    }
}

std::string RemoveExtraSpaces(const std::string& text) {
    if (text.size() <= 1) return text == " " ? std::string() : text;
    const auto blank = [](char c) { return c == ' ' || c == '\r' || c == '\n'; };
    std::size_t b = 0, e = text.size();
    while (e - b > 1 && blank(text[b]))
        ++b;
    while (e - b > 1 && blank(text[e - 1]))
        --e;
    std::string result = text.substr(b, e - b);
    return result == " " ? std::string() : result;
}

namespace {
// Stands in for "&amp;" while the other entities are turned back.
const std::string kPlaceholder("\x5F\xA4\xA4\x29\xE6\xA3\xA3", 7);
} // namespace

std::string MarkupEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        const std::size_t len = Utf8CharLength(text, i);
        if (len > 1) {
            out.append(text, i, len); // "ä" ends in 0xA4 but is not a separator
            i += len;
            continue;
        }
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out += "<Br>";
            ++i;
        } else if (c == '\r')
            out += "&#13;"; // a bare line break would end the line
        else if (c == '\n')
            out += "&#10;";
        else if (c == kSeparator)
            out += "&sep;";
        else
            out += c;
        ++i;
    }
    return out;
}

std::string MarkupUnescape(const std::string& text) {
    std::string s = ReplaceAll(text, "&amp;", kPlaceholder);
    s = ReplaceAll(s, "&sep;", std::string(1, kSeparator));
    s = ReplaceAll(s, "<Br>", "\r\n");
    s = ReplaceAll(s, "&#13;", "\r");
    s = ReplaceAll(s, "&#10;", "\n");
    s = ReplaceAll(s, "&gt;", ">");
    s = ReplaceAll(s, "&lt;", "<");
    return ReplaceAll(s, kPlaceholder, "&");
}

std::string ZeroPad(int64_t n, int width) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    const int sign = n < 0 ? 1 : 0;
    while (static_cast<int>(digits.size()) + sign < width)
        digits.insert(0, "0");
    return n < 0 ? "-" + digits : digits;
}

std::string FormatDecimal(int decimals, double x) {
    if (std::isnan(x) || std::isinf(x)) return x > 0 ? "inf" : (x < 0 ? "-inf" : "nan");
    if (x < 0) {
        const std::string magnitude = FormatDecimal(decimals, -x);
        return magnitude == "0" ? magnitude : "-" + magnitude;
    }
    int64_t p = 1;
    for (int k = 0; k < decimals; ++k)
        p *= 10;
    const double scaled = std::nearbyint(x * static_cast<double>(p)); // halves to even
    if (scaled >= 9.0e18) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.0f", x); // beyond exact integers anyway
        return buf;
    }
    const int64_t e = static_cast<int64_t>(scaled);
    const int64_t whole = e / p, fraction = e % p;
    std::string result = std::to_string(whole);
    if (decimals > 1 && fraction != 0) {
        std::string f = ZeroPad(fraction, decimals);
        while (!f.empty() && f.back() == '0')
            f.pop_back();
        result += "." + f;
    }
    return result;
}

namespace {
char gSeparatorOverride = 0;

std::string TrimBlanks(const std::string& text) {
    std::size_t b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    return text.substr(b, e - b);
}
} // namespace

char DecimalSeparator() {
    if (gSeparatorOverride) return gSeparatorOverride;
    const std::lconv* lc = std::localeconv();
    return lc && lc->decimal_point && lc->decimal_point[0] ? lc->decimal_point[0] : '.';
}

void SetDecimalSeparator(char separator) {
    gSeparatorOverride = separator;
}

double ReadDecimal(const std::string& text) {
    // Both "." and "," mean the decimal separator, so a thousands separator
    // makes two of them and the text fails below.
    std::string s = TrimBlanks(text);
    for (char& c : s)
        if (c == ',') c = '.';
    std::size_t start = 0;
    if (!s.empty() && s[0] == '+') start = 1;
    const auto fail = [&] {
        return TConvertError("'" + text + "' is not a valid floating point value");
    };
    if (start >= s.size()) throw fail();
    // from_chars would also take "inf" and "nan"; a typed number never is one
    for (std::size_t k = start; k < s.size(); ++k) {
        const char c = s[k];
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+' ||
              c == 'e' || c == 'E'))
            throw fail();
    }
    double value = 0;
    const char* first = s.data() + start;
    const char* last = s.data() + s.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) throw fail();
    return value;
}

int32_t ReadInteger(const std::string& text) {
    const std::string s = TrimBlanks(text);
    std::size_t start = (!s.empty() && s[0] == '+') ? 1 : 0;
    int32_t value = 0;
    const char* first = s.data() + start;
    const char* last = s.data() + s.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    if (s.empty() || ec != std::errc() || end != last)
        throw TConvertError("'" + text + "' is not a valid integer value");
    return value;
}

namespace {
const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr double kDateFailure = 2147483647.0;
constexpr int64_t kMsPerDay = 86400000;
// The longest duration kept, ten million days: every count of milliseconds up to
// it converts to days as a double and back without loss.
constexpr int64_t kMaxDurationMs = 10000000 * kMsPerDay;

// Days from 1970-01-01 for a proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = static_cast<int>(yoe + era * 400 + (*m <= 2));
}

// 30 Dec 1899 counted from 1 Jan 1970
const int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
} // namespace

bool EncodeDateTime(int year, int month, int day, int hour, int minute, int second, double* days) {
    static const int kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    const int limit = kMonthDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0);
    if (day > limit || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
        second > 59)
        return false;
    const int64_t date = DaysFromCivil(year, month, day) - kEpochOffset;
    const double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    // before the epoch the time of day still counts forward from midnight
    *days = date >= 0 ? date + time : date - time;
    return true;
}

std::string DateTimeToText(double days) {
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6) return "Jan 0 0";
    const double whole = std::trunc(days);
    int64_t ms = std::llround(std::fabs(days - whole) * kMsPerDay);
    int64_t date = static_cast<int64_t>(whole);
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        date += days < 0 ? -1 : 1;
    }
    int y, m, d;
    CivilFromDays(date + kEpochOffset, &y, &m, &d);
    const int64_t secs = ms / 1000;
    const int hh = static_cast<int>(secs / 3600), mm = static_cast<int>(secs / 60 % 60),
              ss = static_cast<int>(secs % 60);
    char buf[64];
    if (hh == 0 && mm == 0 && ss == 0)
        std::snprintf(buf, sizeof buf, "%s %d %d", kMonths[m - 1], d, y);
    else
        std::snprintf(buf, sizeof buf, "%s %d %d, %d:%02d:%02d", kMonths[m - 1], d, y, hh, mm, ss);
    return buf;
}

double TextToDateTime(const std::string& text) {
    static const char* const kLower[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                           "jul", "aug", "sep", "oct", "nov", "dec"};
    const std::string lower = LowerCase(text);
    int month = 0;
    for (int k = 0; k < 12 && month == 0; ++k)
        if (lower.find(kLower[k]) != std::string::npos) month = k + 1;
    int64_t numbers[5] = {0, 0, 0, 0, 0};
    std::size_t i = 0;
    for (int n = 0; n < 5; ++n) {
        while (i < text.size() && !std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        if (i >= text.size()) break;
        int64_t v = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (v < 100000000) v = v * 10 + (text[i] - '0'); // long runs are out of range anyway
            ++i;
        }
        numbers[n] = v;
    }
    for (int64_t v : numbers)
        if (v > 100000) return kDateFailure;
    double days;
    if (!EncodeDateTime(static_cast<int>(numbers[1]), month, static_cast<int>(numbers[0]),
                        static_cast<int>(numbers[2]), static_cast<int>(numbers[3]),
                        static_cast<int>(numbers[4]), &days))
        return kDateFailure;
    return days;
}

namespace {
void AppendUnit(std::string& out, int64_t n, const char* singular, const char* plural) {
    out += std::to_string(n);
    out += n == 1 ? singular : plural;
}
} // namespace

std::string DurationToText(double days) {
    if (!std::isfinite(days) || days < 0) days = 0;
    // longer durations are written as the longest one the reader takes
    int64_t ms =
        days >= kMaxDurationMs / kMsPerDay ? kMaxDurationMs : std::llround(days * kMsPerDay);
    const int64_t wholeDays = ms / kMsPerDay;
    ms %= kMsPerDay;
    std::string out;
    if (wholeDays > 0) AppendUnit(out, wholeDays, " day ", " days ");
    AppendUnit(out, ms / 3600000, " hour ", " hours ");
    AppendUnit(out, ms / 60000 % 60, " minute ", " minutes ");
    AppendUnit(out, ms / 1000 % 60, " second ", " seconds ");
    AppendUnit(out, ms % 1000, " millisecond", " milliseconds");
    return out;
}

double TextToDuration(const std::string& text) {
    // Each number is followed by its unit word; the words are matched by their
    // stem, so "1 hour" and "2 hours" read alike.
    struct Unit {
        const char* stem;
        int64_t ms;
    };
    static const Unit kUnits[] = {{"millisecond", 1},
                                  {"second", 1000},
                                  {"minute", 60000},
                                  {"hour", 3600000},
                                  {"day", kMsPerDay}};
    const auto fail = [&] { return TConvertError("'" + text + "' is not a valid duration"); };
    const std::string s = LowerCase(text);
    int64_t total = 0;
    bool any = false;
    std::size_t i = 0;
    while (i < s.size()) {
        while (i < s.size() && s[i] == ' ')
            ++i;
        if (i >= s.size()) break;
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) throw fail();
        int64_t n = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            if (n > kMaxDurationMs) throw fail();
            n = n * 10 + (s[i++] - '0');
        }
        while (i < s.size() && s[i] == ' ')
            ++i;
        std::size_t w = i;
        while (w < s.size() && std::isalpha(static_cast<unsigned char>(s[w])))
            ++w;
        const std::string word = s.substr(i, w - i);
        const Unit* unit = nullptr;
        for (const Unit& u : kUnits)
            if (word == u.stem || word == std::string(u.stem) + "s") unit = &u;
        if (!unit || n > (kMaxDurationMs - total) / unit->ms) throw fail();
        total += n * unit->ms;
        any = true;
        i = w;
    }
    if (!any) throw fail();
    return static_cast<double>(total) / kMsPerDay;
}

std::string EscapeControlCharacters(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '\n') {
            out += "\\n";
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::string FillPlaceholders(const std::string& text, const std::vector<std::string>& values) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t n = i + 1 < text.size() ? std::size_t(text[i + 1] - '1') : values.size();
        if (text[i] == '%' && n < values.size()) {
            out += values[n];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}
