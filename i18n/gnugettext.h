#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "i18n/EmbeddedFiles.h"
#include "i18n/MoFile.h"
#include "i18n/PluralForms.h"

/// Translation of Trimvale's English texts through GNU gettext MO catalogues,
/// found first inside the executable and then under the program's "locale"
/// folder: locale/<code>/LC_MESSAGES/default.mo, by full code and then by its
/// first two letters. Without a catalogue every text stays English.

/// Chooses the language; an empty code takes "LANG" and then the system locale.
/// Catalogues opened before are dropped.
void SelectLanguage(const std::string& code);
/// The code chosen last ("de_AT", "en_US", ...).
std::string CurrentLanguage();
/// The translation of one English text in the current language, or the text itself.
/// Throws TError once when the language's catalogue exists but cannot be used;
/// the texts stay English after that.
std::string Translate(const std::string& text);
/// As Translate, for code that cannot report: a catalogue that cannot be used
/// was reported when the program started, and its texts stay English.
std::string TranslateOrKeep(const std::string& text);
/// The form of a text that counts n things, in the current language: the
/// catalogue's "Plural-Forms" rule picks among its translations; without one,
/// singular for 1 and plural otherwise. Never throws: a catalogue that cannot
/// be used was reported when the program started.
std::string TranslatePlural(const std::string& singular, const std::string& plural,
                            unsigned long n);

/// Marks an English text for the catalogues where it is not translated at once
/// (captions that TranslateWindow translates later, tables of names).
constexpr const char* N_(const char* text) {
    return text;
}

/// The language code the environment asks for, as POSIX orders it: "LC_ALL",
/// "LC_MESSAGES", "LANG", else the system's message locale, without an
/// encoding suffix; the plain C locale is "en_US" whatever "LANGUAGE" says,
/// any other gives way to the first language "LANGUAGE" lists.
std::string LanguageFromEnvironment();

/// Where a text domain finds its catalogues.
struct TCatalogueSource {
    std::string programDir;    ///< the folder holding "locale", without a trailing "/"
    std::string_view embedded; ///< the block of embedded files, empty for none
};

/// The state behind the functions above: the language, its catalogue and the
/// embedded table, guarded by a many-readers, one-writer lock.
class TTextDomain {
public:
    /// Starts with the language the environment asks for.
    explicit TTextDomain(TCatalogueSource source);

    void SelectLanguage(const std::string& code);
    std::string CurrentLanguage() const;
    std::string Translate(const std::string& text);
    /// As Translate, for code that cannot report: a catalogue that cannot be used
    /// was reported when the program started, and its texts stay English.
    std::string TranslateOrKeep(const std::string& text);
    std::string TranslatePlural(const std::string& singular, const std::string& plural,
                                unsigned long n);
    /// programDir/locale/<code>/LC_MESSAGES/default.mo.
    std::string CataloguePath(const std::string& code) const;

private:
    void OpenCatalogue();
    const TEmbeddedFile* Embedded(const std::string& path);
    std::string Lookup(const std::string& text) const;

    const TCatalogueSource source_;
    mutable std::shared_mutex lock_;
    std::string language_;
    bool opened_ = false;
    std::optional<TMoFile> catalogue_;
    TPluralForms plurals_; ///< the catalogue's rule, English's without one
    bool tableRead_ = false;
    std::vector<TEmbeddedFile> table_;
};
