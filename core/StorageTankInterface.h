#pragma once

#include <cstddef>
#include <string>
#include <vector>

/// Anything that can stand in a settings store: a single value or a nested store.
class TStorage {
public:
    virtual ~TStorage() = default;
    /// The item's value as text.
    virtual std::string valueToString() const = 0;
    /// The item's complete serialised form.
    virtual std::string toString() const = 0;
    /// Appends the item's serialised lines.
    virtual void toStrings(std::vector<std::string>& lines) const = 0;
    /// Replaces the item's content by what one serialised text holds.
    virtual void fromSS(const std::string& text) = 0;
    /// Reads the item from lines[index...]; index ends behind what was consumed.
    virtual void fromStrings(const std::vector<std::string>& lines, std::size_t& index) = 0;
    virtual std::string getName() const = 0;
};
