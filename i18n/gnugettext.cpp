#include "i18n/gnugettext.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "core/Error.h"
#include "core/FilesystemController.h"
#include "core/StringController.h"

namespace {

const char* const kDomain = "default";

// The locale the user set for messages, asked of the C library without
// leaving it changed.
std::string SystemMessageLocale() {
    std::string code;
    const char* current = std::setlocale(LC_MESSAGES, nullptr);
    const std::string saved = current ? current : "C";
    if (const char* user = std::setlocale(LC_MESSAGES, "")) code = user;
    std::setlocale(LC_MESSAGES, saved.c_str());
    // A locale the system does not have installed still names the language.
    for (const char* name : {"LC_ALL", "LC_MESSAGES"}) {
        if (!code.empty()) break;
        if (const char* value = std::getenv(name)) code = value;
    }
    return code;
}

bool IsFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error);
}

TTextDomain& DefaultDomain() {
    static TTextDomain domain({ProgramDir(), EmbeddedFilesBlock()});
    return domain;
}

} // namespace

std::string LanguageFromEnvironment() {
    // as POSIX orders them: LC_ALL over LC_MESSAGES over LANG, the first set wins
    std::string code;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(name); value && *value) {
            code = value;
            break;
        }
    if (code.empty()) code = SystemMessageLocale();
    const std::size_t dot = code.find('.');
    if (dot != std::string::npos) code.erase(dot);
    if (const std::size_t at = code.find('@'); at != std::string::npos) code.erase(at);
    if (code.empty() || code == "C" || code == "POSIX") return "en_US";
    // GNU's list of languages in order of wish counts unless the locale is C
    if (const char* wish = std::getenv("LANGUAGE"); wish && *wish) {
        std::string first = wish;
        first.erase(std::min(first.find(':'), first.size()));
        if (const std::size_t d = first.find('.'); d != std::string::npos) first.erase(d);
        if (!first.empty() && first != "C" && first != "POSIX") return first;
    }
    return code;
}

TTextDomain::TTextDomain(TCatalogueSource source)
    : source_(std::move(source)), language_(LanguageFromEnvironment()) {}

void TTextDomain::SelectLanguage(const std::string& code) {
    std::string chosen = code.empty() ? LanguageFromEnvironment() : code;
    std::unique_lock write(lock_);
    language_ = std::move(chosen);
    opened_ = false;
    catalogue_.reset();
    plurals_ = TPluralForms();
}

std::string TTextDomain::CurrentLanguage() const {
    std::shared_lock read(lock_);
    return language_;
}

std::string TTextDomain::CataloguePath(const std::string& code) const {
    return source_.programDir + "/locale/" + code + "/LC_MESSAGES/" + kDomain + ".mo";
}

std::string TTextDomain::Translate(const std::string& text) {
    // The empty text is the catalogue's header entry, never a caption to replace.
    if (text.empty()) return text;
    {
        std::shared_lock read(lock_);
        if (opened_) return Lookup(text);
    }
    {
        std::unique_lock write(lock_);
        if (!opened_) {
            // Marked first: a catalogue that cannot be used is reported once and
            // then leaves every text English.
            opened_ = true;
            OpenCatalogue();
        }
    }
    std::shared_lock read(lock_);
    return Lookup(text);
}

std::string TTextDomain::TranslatePlural(const std::string& singular, const std::string& plural,
                                         unsigned long n) {
    try {
        Translate(singular); // opens the catalogue
    } catch (const TError&) {
    }
    std::shared_lock read(lock_);
    std::string_view forms;
    // a plural entry is found by its singular; its translation holds every form
    if (catalogue_ && catalogue_->LookupForms(singular, forms)) {
        const unsigned long form = plurals_.FormOf(n);
        for (unsigned long i = 0; i < form && !forms.empty(); ++i) {
            const std::size_t end = forms.find('\0');
            forms = end == std::string_view::npos ? std::string_view() : forms.substr(end + 1);
        }
        const std::string_view chosen = forms.substr(0, forms.find('\0'));
        if (!chosen.empty()) return std::string(chosen);
    }
    // without a translation of this form, English's rule
    return n == 1 ? singular : plural;
}

std::string TTextDomain::Lookup(const std::string& text) const {
    std::string_view translation;
    if (catalogue_ && catalogue_->Lookup(text, translation)) return std::string(translation);
    return text;
}

void TTextDomain::OpenCatalogue() {
    if (language_.empty()) return;
    std::string path = CataloguePath(language_);
    if (!Embedded(path) && !IsFile(path)) path = CataloguePath(language_.substr(0, 2));
    if (const TEmbeddedFile* entry = Embedded(path)) {
        // the block is data of the program image and lives as long as the program
        catalogue_.emplace(nullptr, source_.embedded.substr(entry->offset, entry->size), path);
    } else if (IsFile(path)) {
        auto mapping = std::make_shared<TFileMapping>(path);
        const std::string_view bytes = mapping->Bytes();
        catalogue_.emplace(std::move(mapping), bytes, path);
    }
    std::string_view header;
    if (catalogue_ && catalogue_->Lookup("", header)) plurals_ = TPluralForms::FromHeader(header);
}

const TEmbeddedFile* TTextDomain::Embedded(const std::string& path) {
    if (!tableRead_) {
        tableRead_ = true;
        // a damaged block reads as no table, and the catalogues come from disk
        table_ = ReadEmbeddedBlock(source_.embedded);
    }
    const std::string prefix = source_.programDir + "/";
    if (table_.empty() || path.compare(0, prefix.size(), prefix) != 0) return nullptr;
    return FindEmbeddedFile(table_, ReplaceAll(path.substr(prefix.size()), "/", "\\"));
}

void SelectLanguage(const std::string& code) {
    DefaultDomain().SelectLanguage(code);
}

std::string CurrentLanguage() {
    return DefaultDomain().CurrentLanguage();
}

std::string Translate(const std::string& text) {
    return DefaultDomain().Translate(text);
}

std::string TranslatePlural(const std::string& singular, const std::string& plural,
                            unsigned long n) {
    return DefaultDomain().TranslatePlural(singular, plural, n);
}

std::string TranslateOrKeep(const std::string& text) {
    try {
        return Translate(text);
    } catch (const TError&) {
        return text;
    }
}
