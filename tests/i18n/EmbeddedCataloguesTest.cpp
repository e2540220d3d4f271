#include <filesystem>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "i18n/EmbeddedFiles.h"
#include "i18n/MoFile.h"
#include "i18n/gnugettext.h"

// This test program is built like trimvale: it links the catalogues as
// compiled-in data and finds them through its own block.

namespace {

const std::string kCatalogues = TRIMVALE_CATALOGUE_DIR;

// Some message of a built catalogue with its translation.
std::pair<std::string, std::string> SampleOf(const std::string& lang) {
    const std::string mo = kCatalogues + "/locale/" + lang + "/LC_MESSAGES/default.mo";
    const TFileMapping mapping(mo);
    const TMoFile catalogue(nullptr, mapping.Bytes(), mo);
    const auto [id, text] = catalogue.At(catalogue.Count() / 2);
    return {std::string(id), std::string(text)};
}

} // namespace

TEST(EmbeddedCataloguesTest, TheProgramFindsItsOwnTable) {
    ASSERT_NE(EmbeddedTableOffset(), 0u);
    const std::string_view block = EmbeddedFilesBlock();
    const auto table = ReadEmbeddedBlock(block);
    ASSERT_FALSE(table.empty());
    EXPECT_EQ(table[0].name, "default.mo");
    EXPECT_EQ(block.size(), table.back().offset + table.back().size + 256 * table.size() + 8);
    // the catalogue is the built one, byte for byte
    const TEmbeddedFile* de = FindEmbeddedFile(table, "locale\\de\\LC_MESSAGES\\default.mo");
    if (de) {
        const TFileMapping built(kCatalogues + "/locale/de/LC_MESSAGES/default.mo");
        EXPECT_EQ(block.substr(de->offset, de->size), built.Bytes());
    }
}

TEST(EmbeddedCataloguesTest, EmbeddedCataloguesTranslateAndOutrankFilesOnDisk) {
    if (!std::filesystem::exists(kCatalogues + "/locale/de")) GTEST_SKIP() << "no German catalogue";
    const auto [english, german] = SampleOf("de");
    const std::string before = CurrentLanguage();
    SelectLanguage("de_AT");
    EXPECT_EQ(Translate(english), german);
    SelectLanguage("en_US");
    EXPECT_EQ(Translate(english), english);
    SelectLanguage(before);

    if (!std::filesystem::exists(kCatalogues + "/locale/da")) return;
    const auto [daEnglish, danish] = SampleOf("da");
    TTempDir dir;
    std::filesystem::create_directories(dir.file("locale/da/LC_MESSAGES"));
    std::filesystem::copy_file(kCatalogues + "/locale/de/LC_MESSAGES/default.mo",
                               dir.file("locale/da/LC_MESSAGES/default.mo"));
    TTextDomain domain({dir.path(), EmbeddedFilesBlock()});
    domain.SelectLanguage("da_DK");
    EXPECT_EQ(domain.Translate(daEnglish), danish);
}
