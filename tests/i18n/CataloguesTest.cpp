#include <array>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "core/StringController.h"
#include "i18n/MoFile.h"
#include "i18n/PluralForms.h"
#include "i18n/gnugettext.h"

// The catalogues in i18n/po must translate every text the program's code hands
// to Translate, tr_ or N_, and keep what composing and accelerators rely on.

namespace fs = std::filesystem;

namespace {

const std::string kSource = TRIMVALE_SOURCE_DIR;

std::vector<std::string> PoFiles() {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(kSource + "/i18n/po", error))
        if (entry.path().extension() == ".po") files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

// Runs a command line; its exit status and what it printed on both channels.
std::pair<int, std::string> RunCommand(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return {-1, "cannot run " + command};
    std::array<char, 4096> buffer;
    while (const std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe))
        output.append(buffer.data(), n);
    return {pclose(pipe), output};
}

std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

// The texts the program's code marks for translation, as a template catalogue.
std::string ExtractTexts(const TTempDir& dir) {
    std::ostringstream list;
    for (const char* folder :
         {"core", "i18n", "jpeg", "model", "jobs", "cli", "frames", "grid", "ui"}) {
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(kSource + "/" + folder, error)) {
            const std::string ext = entry.path().extension().string();
            if (ext == ".cpp" || ext == ".h") list << entry.path().string() << "\n";
        }
    }
    const std::string files = dir.file("sources.txt"), pot = dir.file("texts.pot");
    std::FILE* out = std::fopen(files.c_str(), "w");
    std::fputs(list.str().c_str(), out);
    std::fclose(out);
    const auto [status, output] =
        RunCommand("xgettext --force-po -C --from-code=UTF-8 -k -kTranslate -ktr_ -kN_ "
                   "-kTranslatePlural:1,2 -ktrn_:1,2 -o " +
                   Quote(pot) + " -f " + Quote(files));
    EXPECT_EQ(status, 0) << output;
    return pot;
}

std::string Edge(const std::string& text, bool front) {
    const std::size_t n = text.size();
    std::size_t i = 0;
    if (front)
        while (i < n && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
    else
        while (i < n && std::isspace(static_cast<unsigned char>(text[n - 1 - i])))
            ++i;
    return front ? text.substr(0, i) : text.substr(n - i);
}

} // namespace

TEST(CataloguesTest, EveryMarkedTextIsTranslatedInEveryCatalogue) {
    const auto poFiles = PoFiles();
    if (poFiles.empty()) GTEST_SKIP() << "no catalogues in i18n/po yet";
    TTempDir dir;
    const std::string pot = ExtractTexts(dir);
    for (const std::string& po : poFiles) {
        // Fuzzy entries count as untranslated, as msgfmt leaves them out.
        const auto [status, output] = RunCommand(
            "msgmerge --no-fuzzy-matching -q " + Quote(po) + " " + Quote(pot) +
            " -o - 2>/dev/null | msgattrib --clear-fuzzy --empty --no-obsolete 2>/dev/null"
            " | msgattrib --untranslated --no-obsolete --no-wrap 2>/dev/null");
        ASSERT_EQ(status, 0) << output;
        std::istringstream lines(output);
        std::string line, where, missing;
        while (std::getline(lines, line)) {
            if (line.rfind("#:", 0) == 0) where = line.substr(3);
            if (line.rfind("msgid ", 0) == 0 && line != "msgid \"\"")
                missing += "  " + line.substr(6) + "  (" + where + ")\n";
        }
        if (!missing.empty())
            ADD_FAILURE() << fs::path(po).filename().string() << " lacks:\n" << missing;
    }
}

TEST(CataloguesTest, TranslationsKeepTheirEdgesAndAccessKeys) {
    const auto poFiles = PoFiles();
    if (poFiles.empty()) GTEST_SKIP() << "no catalogues in i18n/po yet";
    for (const std::string& po : poFiles) {
        const std::string lang = fs::path(po).stem().string();
        const std::string mo =
            std::string(TRIMVALE_CATALOGUE_DIR) + "/locale/" + lang + "/LC_MESSAGES/default.mo";
        const TFileMapping mapping(mo);
        const TMoFile catalogue(nullptr, mapping.Bytes(), mo);
        EXPECT_GT(catalogue.Count(), 1u) << lang;
        std::ostringstream faults;
        for (std::uint32_t i = 0; i < catalogue.Count(); ++i) {
            const auto [id, text] = catalogue.At(i);
            const std::string english(id), translated(text);
            if (english.empty()) continue;
            // Composed messages join pieces with their blanks and line breaks.
            if (Edge(english, true) != Edge(translated, true) ||
                Edge(english, false) != Edge(translated, false))
                faults << "  blanks around \"" << english << "\" -> \"" << translated << "\"\n";
            if ((english.find('&') == std::string::npos) !=
                (translated.find('&') == std::string::npos))
                faults << "  access key of \"" << english << "\" -> \"" << translated << "\"\n";
        }
        if (!faults.str().empty()) ADD_FAILURE() << lang << ":\n" << faults.str();
    }
}

TEST(CataloguesTest, TheHeaderOnlyCatalogueIsBuilt) {
    const std::string mo = std::string(TRIMVALE_CATALOGUE_DIR) + "/default.mo";
    const TFileMapping mapping(mo);
    const TMoFile catalogue(nullptr, mapping.Bytes(), mo);
    ASSERT_EQ(catalogue.Count(), 1u);
    EXPECT_NE(catalogue.At(0).second.find("charset=UTF-8"), std::string_view::npos);
}

// Each catalogue counts by its language's rule: one form in Hungarian, which
// keeps the singular after a number, three in Polish; every counted text has
// as many forms, and the window picks the one its number asks for.
TEST(CataloguesTest, CountedTextsTakeTheFormOfTheirLanguage) {
    struct TCase {
        const char* language;
        unsigned long forms;
        std::vector<std::pair<unsigned long, std::string>> counted;
    };
    const TCase cases[] = {
        {"de",
         2,
         {{1, "Zuschneiden: 1 Bild..."},
          {0, "Zuschneiden: 0 Bilder..."},
          {2, "Zuschneiden: 2 Bilder..."}}},
        {"da", 2, {{1, "Beskærer 1 billede..."}, {7, "Beskærer 7 billeder..."}}},
        {"nl", 2, {{1, "Bijsnijden van 1 afbeelding..."}, {3, "Bijsnijden van 3 afbeeldingen..."}}},
        {"hu", 1, {{1, "Vágás: 1 kép..."}, {5, "Vágás: 5 kép..."}}},
        {"pl",
         3,
         {{1, "Przycinanie 1 obrazu..."},
          {3, "Przycinanie 3 obrazów..."},
          {5, "Przycinanie 5 obrazów..."},
          {22, "Przycinanie 22 obrazów..."}}},
    };
    TTextDomain domain({TRIMVALE_CATALOGUE_DIR, {}});
    for (const TCase& c : cases) {
        const std::string mo = domain.CataloguePath(c.language);
        const TFileMapping mapping(mo);
        const TMoFile catalogue(nullptr, mapping.Bytes(), mo);
        std::string_view header;
        ASSERT_TRUE(catalogue.Lookup("", header)) << c.language;
        EXPECT_EQ(TPluralForms::FromHeader(header).Count(), c.forms) << c.language;
        for (std::uint32_t i = 0; i < catalogue.Count(); ++i) {
            const auto [id, text] = catalogue.AllFormsAt(i);
            if (id.find('\0') == std::string_view::npos) continue;
            const auto forms =
                static_cast<unsigned long>(std::count(text.begin(), text.end(), '\0')) + 1;
            EXPECT_EQ(forms, c.forms) << c.language << ": " << id.substr(0, id.find('\0'));
        }
        domain.SelectLanguage(c.language);
        for (const auto& [n, expected] : c.counted) {
            const std::string form =
                domain.TranslatePlural("Cropping %1 image...", "Cropping %1 images...", n);
            EXPECT_EQ(ReplaceAll(form, "%1", std::to_string(n)), expected) << c.language;
        }
    }
    domain.SelectLanguage("en_US");
    EXPECT_EQ(domain.TranslatePlural("Cropping %1 image...", "Cropping %1 images...", 1),
              "Cropping %1 image...");
    EXPECT_EQ(domain.TranslatePlural("Cropping %1 image...", "Cropping %1 images...", 0),
              "Cropping %1 images...");
}
