#include "i18n/PluralForms.h"

#include <cctype>
#include <cstdlib>

namespace {
// A recursive descent over the rule, evaluated as it is read; ok turns false
// on anything the grammar does not allow, and the caller then drops the rule.
class TRuleReader {
public:
    TRuleReader(std::string_view text, unsigned long n) : text_(text), n_(n) {}

    bool Evaluate(unsigned long& value) {
        value = Conditional();
        Blank();
        return ok_ && at_ == text_.size();
    }

private:
    void Blank() {
        while (at_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[at_])))
            ++at_;
    }
    bool Take(std::string_view token) {
        Blank();
        if (text_.substr(at_, token.size()) != token) return false;
        // "<" is not the start of "<=", nor "!" of "!="
        if (token.size() == 1 && at_ + 1 < text_.size() && text_[at_ + 1] == '=' &&
            (token == "<" || token == ">" || token == "!" || token == "="))
            return false;
        at_ += token.size();
        return true;
    }
    unsigned long Conditional() {
        const unsigned long test = Or();
        if (!Take("?")) return test;
        const unsigned long yes = Conditional();
        if (!Take(":")) ok_ = false;
        const unsigned long no = Conditional();
        return test ? yes : no;
    }
    unsigned long Or() {
        unsigned long value = And();
        while (Take("||")) {
            const unsigned long right = And();
            value = value || right;
        }
        return value;
    }
    unsigned long And() {
        unsigned long value = Equality();
        while (Take("&&")) {
            const unsigned long right = Equality();
            value = value && right;
        }
        return value;
    }
    unsigned long Equality() {
        unsigned long value = Relation();
        for (;;) {
            if (Take("=="))
                value = value == Relation();
            else if (Take("!="))
                value = value != Relation();
            else
                return value;
        }
    }
    unsigned long Relation() {
        unsigned long value = Sum();
        for (;;) {
            if (Take("<="))
                value = value <= Sum();
            else if (Take(">="))
                value = value >= Sum();
            else if (Take("<"))
                value = value < Sum();
            else if (Take(">"))
                value = value > Sum();
            else
                return value;
        }
    }
    unsigned long Sum() {
        unsigned long value = Product();
        for (;;) {
            if (Take("+"))
                value += Product();
            else if (Take("-"))
                value -= Product();
            else
                return value;
        }
    }
    unsigned long Product() {
        unsigned long value = Unary();
        for (;;) {
            const bool times = Take("*");
            const bool divide = !times && Take("/");
            const bool rest = !times && !divide && Take("%");
            if (!times && !divide && !rest) return value;
            const unsigned long right = Unary();
            // a rule that divides by zero is broken, not a crash
            if ((divide || rest) && right == 0) {
                ok_ = false;
                return 0;
            }
            value = times ? value * right : divide ? value / right : value % right;
        }
    }
    unsigned long Unary() {
        if (Take("!")) return !Unary();
        Blank();
        if (Take("(")) {
            const unsigned long value = Conditional();
            if (!Take(")")) ok_ = false;
            return value;
        }
        if (at_ < text_.size() && text_[at_] == 'n') {
            ++at_;
            return n_;
        }
        if (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_]))) {
            unsigned long value = 0;
            while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_])))
                value = value * 10 + static_cast<unsigned long>(text_[at_++] - '0');
            return value;
        }
        ok_ = false;
        return 0;
    }

    std::string_view text_;
    std::size_t at_ = 0;
    unsigned long n_;
    bool ok_ = true;
};

// The value after "name=" up to the next ";" (or the end of the line); the
// name stands alone ("plural" inside "nplurals" is not it).
std::string_view Field(std::string_view line, std::string_view name) {
    for (std::size_t at = line.find(name); at != std::string_view::npos;
         at = line.find(name, at + 1)) {
        if (at > 0 && std::isalpha(static_cast<unsigned char>(line[at - 1]))) continue;
        std::size_t from = at + name.size();
        while (from < line.size() && line[from] == ' ')
            ++from;
        if (from >= line.size() || line[from] != '=') continue;
        ++from;
        const std::size_t end = line.find(';', from);
        return line.substr(from, end == std::string_view::npos ? line.size() - from : end - from);
    }
    return {};
}
} // namespace

TPluralForms TPluralForms::FromHeader(std::string_view header) {
    TPluralForms forms;
    const std::size_t at = header.find("Plural-Forms:");
    if (at == std::string_view::npos) return forms;
    std::string_view line = header.substr(at);
    line = line.substr(0, line.find('\n'));
    const std::string_view count = Field(line, "nplurals");
    const std::string_view rule = Field(line, "plural");
    const unsigned long n = std::strtoul(std::string(count).c_str(), nullptr, 10);
    if (n == 0 || n > 6 || rule.empty()) return forms;
    // a rule that cannot be read for one number cannot be read for any
    unsigned long probe = 0;
    if (!TRuleReader(rule, 1).Evaluate(probe)) return forms;
    forms.count_ = n;
    forms.rule_ = std::string(rule);
    return forms;
}

unsigned long TPluralForms::FormOf(unsigned long n) const {
    unsigned long form = 0;
    if (!TRuleReader(rule_, n).Evaluate(form) || form >= count_) return 0;
    return form;
}
