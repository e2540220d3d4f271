#pragma once

#include <cstdint>
#include <string>
#include <variant>

/// A point in time or a duration, counted in days (points in time from 30 Dec 1899).
struct TDateTime {
    double days = 0.0;
    bool operator==(const TDateTime&) const = default;
};

/// The tagged value carried by events and settings elements. Its alternatives
/// are in the order of their kind codes below; the default is the empty text.
using TVariant = std::variant<std::string, bool, int32_t, double, uint8_t, TDateTime>;

/// The kind code of a value as the settings store reports it (OLE numbering:
/// text 8, Boolean 11, integer 3, double 5, byte 17, date 7).
int VariantTypeCode(const TVariant& value);
