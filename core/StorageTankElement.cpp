#include "core/StorageTankElement.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/Error.h"
#include "core/StringController.h"
#include "core/TextEncoding.h"

TStorageElement::TStorageElement(const std::string& name, const TVariant& value) {
    assign(name, value);
}

void TStorageElement::assign(const std::string& name, const TVariant& value) {
    name_ = name;
    if (const auto* i = std::get_if<int32_t>(&value)) {
        type_ = "Integer";
        value_ = *i;
    } else if (const auto* b = std::get_if<uint8_t>(&value)) {
        type_ = "Integer";
        value_ = static_cast<int32_t>(*b);
    } else if (const auto* d = std::get_if<double>(&value)) {
        type_ = "Double";
        value_ = *d;
    } else if (const auto* f = std::get_if<bool>(&value)) {
        type_ = "Boolean";
        value_ = *f;
    } else if (const auto* s = std::get_if<std::string>(&value)) {
        type_ = "String";
        value_ = *s;
    } else {
        type_ = "Undefined";
        throw TError("Uhandled variant type: " + std::to_string(VariantTypeCode(value)));
    }
}

namespace {
// Non-finite values are written as these texts, which the reader takes back.
const char* const kNonFinite[] = {"nan", "inf", "-inf"};

double ReadStoredDouble(const std::string& text) {
    if (text == kNonFinite[0]) return std::numeric_limits<double>::quiet_NaN();
    if (text == kNonFinite[1]) return std::numeric_limits<double>::infinity();
    if (text == kNonFinite[2]) return -std::numeric_limits<double>::infinity();
    return ReadDecimal(text);
}

// The C library writes the locale's decimal point; from_chars reads only ".".
bool ReadsAsFinite(std::string text) {
    for (char& c : text)
        if (c == ',') c = '.';
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && std::isfinite(value);
}
} // namespace

std::string FormatStoredDouble(double value) {
    if (std::isnan(value)) return kNonFinite[0];
    if (std::isinf(value)) return kNonFinite[value > 0 ? 1 : 2];
    char buf[64];
    // 15 significant digits first; then as many decimals as that leaves, padded to 15
    std::snprintf(buf, sizeof buf, "%.14e", value);
    const int exponent = std::atoi(std::strchr(buf, 'e') + 1);
    std::string text;
    if (exponent >= 15 && !ReadsAsFinite(buf)) {
        // rounding up past the largest double would not read back: round down instead
        text = value > 0 ? "1.79769313486231e+308" : "-1.79769313486231e+308";
    } else if (exponent >= 15) {
        text = buf; // an integer part too long for fixed notation
    } else if (exponent < -1) {
        std::snprintf(buf, sizeof buf, "%.15f", value); // 15 decimals hold fewer digits
        text = buf;
    } else {
        std::snprintf(buf, sizeof buf, "%.*f", 14 - exponent, value);
        text = buf;
        if (exponent == 14) text += '.'; // a 15-digit integer part leaves no decimals
        text.append(15 - (14 - exponent), '0');
    }
    const std::size_t dot = text.find('.');
    if (dot != std::string::npos) text[dot] = DecimalSeparator();
    return text;
}

std::string TStorageElement::valueToString() const {
    const auto number = [&]() -> double {
        if (const auto* dt = std::get_if<TDateTime>(&value_)) return dt->days;
        if (const auto* d = std::get_if<double>(&value_)) return *d;
        return 0.0;
    };
    if (type_ == "Integer") {
        const auto* i = std::get_if<int32_t>(&value_);
        return std::to_string(i ? *i : 0);
    }
    if (type_ == "Double") return FormatStoredDouble(number());
    if (type_ == "Timer") return DurationToText(number());
    if (type_ == "DateTime") return DateTimeToText(number());
    if (type_ == "String") {
        const auto* s = std::get_if<std::string>(&value_);
        return s ? *s : std::string();
    }
    if (type_ == "Boolean") {
        const auto* b = std::get_if<bool>(&value_);
        return b && *b ? "True" : "False";
    }
    if (type_ == "Undefined") return "Undefined";
    return "Unknown STElement type: \"" + type_ + "\"";
}

std::string TStorageElement::toString() const {
    const std::string value = type_ == "String" ? MarkupEscape(valueToString()) : valueToString();
    return type_ + kSeparator + name_ + kSeparator + value;
}

void TStorageElement::toStrings(std::vector<std::string>& lines) const {
    lines.push_back(toString());
}

void TStorageElement::fromSS(const std::string& text) {
    std::string rest = text;
    const auto field = [&rest]() {
        const std::size_t at = FindSeparator(rest);
        if (at == std::string::npos) return std::string();
        std::string head = rest.substr(0, at);
        rest.erase(0, at + 1);
        return head;
    };
    const std::string type = field();
    const std::string name = field();
    const std::string& v = rest;
    TVariant value;
    if (type == "Integer")
        value = ReadInteger(v);
    else if (type == "Double")
        value = ReadStoredDouble(v);
    else if (type == "Boolean")
        value = (v == "True");
    else if (type == "String")
        value = MarkupUnescape(v);
    else if (type == "DateTime")
        value = TDateTime{TextToDateTime(v)};
    else if (type == "Timer")
        value = TDateTime{TextToDuration(v)};
    else if (type == "Undefined")
        value = int32_t{0};
    else
        throw TError("Unknown eType in STElement.fromSS: \"" + type + "\", name: \"" + name + "\"");
    type_ = type;
    name_ = name;
    value_ = value;
}

void TStorageElement::fromStrings(const std::vector<std::string>& lines, std::size_t& index) {
    if (index < lines.size() && !lines[index].empty()) {
        ++index; // the line counts as consumed even when it fails to read
        fromSS(lines[index - 1]);
        return;
    }
    ++index;
}
