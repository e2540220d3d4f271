#pragma once

#include <string>
#include <string_view>

/// The rule of a catalogue's "Plural-Forms" header line, such as
/// "nplurals=3; plural=(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<12 || n%100>14) ? 1 : 2);".
/// The rule is a C expression over n with the operators gettext allows:
/// ?:, ||, &&, ==, !=, <, >, <=, >=, +, -, *, /, %, ! and parentheses.
class TPluralForms {
public:
    /// English's rule: one form for 1, another for every other number.
    TPluralForms() = default;
    /// Reads the rule from a catalogue's header entry; a header without one,
    /// or with one that does not parse, keeps English's rule.
    static TPluralForms FromHeader(std::string_view header);

    /// Which form (0 .. Count() - 1) counts n; a rule that gives more is taken as 0.
    unsigned long FormOf(unsigned long n) const;
    unsigned long Count() const { return count_; }

private:
    unsigned long count_ = 2;
    std::string rule_ = "n != 1";
};
