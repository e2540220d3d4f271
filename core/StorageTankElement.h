#pragma once

#include "core/StorageTankInterface.h"
#include "core/Variant.h"

/// One typed, named value of a settings store. The type name ("Integer",
/// "Double", "Boolean", "String", "DateTime", "Timer" or "Undefined") decides
/// how the value is written and which getter returns it.
class TStorageElement : public TStorage {
public:
    TStorageElement() = default;
    TStorageElement(const std::string& name, const TVariant& value);

    /// Sets the name and the value with the type its kind implies; a date is
    /// refused with an error and leaves the element "Undefined".
    void assign(const std::string& name, const TVariant& value);

    std::string valueToString() const override;
    std::string toString() const override;
    void toStrings(std::vector<std::string>& lines) const override;
    void fromSS(const std::string& text) override;
    void fromStrings(const std::vector<std::string>& lines, std::size_t& index) override;
    std::string getName() const override { return name_; }

    const std::string& typeName() const { return type_; }
    const TVariant& value() const { return value_; }

private:
    std::string name_;
    std::string type_ = "Undefined";
    TVariant value_ = int32_t{0};
};

/// A double as the settings file writes it: rounded to 15 significant digits,
/// shown with exactly 15 decimals and the locale's decimal separator.
std::string FormatStoredDouble(double value);
