#include "i18n/MoFile.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>

#include "MoBuilder.h"
#include "TempDir.h"
#include "core/Error.h"

namespace {

const std::map<std::string, std::string> kGerman = {
    {"&File", "&Datei"},     {"Crop", "Zuschneiden"},
    {"crop", "zuschneiden"}, {"Cannot open file ", "Datei kann nicht geöffnet werden: "},
    {"Untranslated", ""},    {"Zoom", "Vergrößern"}};

std::string Find(const TMoFile& mo, const std::string& id) {
    std::string_view translation;
    return mo.Lookup(id, translation) ? std::string(translation) : "<none>";
}

std::string RefusalOf(const std::string& bytes) {
    try {
        TMoFile::FromBytes(bytes, "/x/de.mo");
    } catch (const TError& error) {
        return error.what();
    }
    return "accepted";
}

void PutWord(std::string& bytes, std::size_t pos, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[pos + i] = static_cast<char>(value >> (8 * i));
}

} // namespace

TEST(MoFileTest, LooksUpExactTextsInEitherByteOrder) {
    for (const bool bigEndian : {false, true}) {
        SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
        const TMoFile mo = TMoFile::FromBytes(MakeMo(kGerman, bigEndian), "de.mo");
        EXPECT_EQ(mo.Count(), kGerman.size() + 1);
        EXPECT_EQ(Find(mo, "&File"), "&Datei");
        EXPECT_EQ(Find(mo, "Crop"), "Zuschneiden");
        EXPECT_EQ(Find(mo, "crop"), "zuschneiden"); // letter case matters
        EXPECT_EQ(Find(mo, "Cannot open file "), "Datei kann nicht geöffnet werden: ");
        EXPECT_EQ(Find(mo, "Zoom"), "Vergrößern");
        for (const char* missing : {"File", "Crop ", "Cro", "Zoomx", "Untranslated", "\xff"})
            EXPECT_EQ(Find(mo, missing), "<none>") << missing;
    }
}

TEST(MoFileTest, ReadsWhatMsgfmtWrites) {
    TTempDir dir;
    WriteFileBytes(dir.file("de.po"),
                   "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                   "msgid \"&Help\"\nmsgstr \"&Hilfe\"\n\n"
                   "msgid \"Line one\\nline two\"\nmsgstr \"Zeile eins\\nZeile zwei\"\n\n"
                   "msgid \"%d image\"\nmsgid_plural \"%d images\"\n"
                   "msgstr[0] \"%d Bild\"\nmsgstr[1] \"%d Bilder\"\n\n"
                   "msgctxt \"menu\"\nmsgid \"Open\"\nmsgstr \"Öffnen\"\n\n"
                   "#, fuzzy\nmsgid \"Unsure\"\nmsgstr \"Unsicher\"\n");
    for (const char* endian : {"little", "big"}) {
        const std::string mo = dir.file(std::string(endian) + ".mo");
        const std::string command = "msgfmt --endianness=" + std::string(endian) + " -o '" + mo +
                                    "' '" + dir.file("de.po") + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const TFileMapping mapping(mo);
        const TMoFile catalogue(nullptr, mapping.Bytes(), mo);
        EXPECT_EQ(Find(catalogue, "&Help"), "&Hilfe");
        EXPECT_EQ(Find(catalogue, "Line one\nline two"), "Zeile eins\nZeile zwei");
        EXPECT_EQ(Find(catalogue, "%d image"), "%d Bild"); // the first form of a plural
        EXPECT_EQ(Find(catalogue, "Open"), "<none>");      // only found with its context
        EXPECT_EQ(Find(catalogue, "Unsure"), "<none>");    // msgfmt leaves fuzzy ones out
    }
}

TEST(MoFileTest, RefusesDamagedCataloguesWithTheirPath) {
    const std::string good = MakeMo(kGerman);
    const std::string invalid = "This file is not a valid GNU gettext mo file: /x/de.mo";
    std::string wrongMagic = good, newRevision = good, tablePastEnd = good, countOverflow = good,
                textPastEnd = good, lengthOverflow = good;
    wrongMagic[0] = '\x00';
    PutWord(newRevision, 4, 0x00020000);
    PutWord(tablePastEnd, 16, static_cast<std::uint32_t>(good.size() - 8));
    PutWord(countOverflow, 8, 0x20000000); // 8 * count wraps a 32-bit product to 0
    PutWord(textPastEnd, 28 + 8 + 4, static_cast<std::uint32_t>(good.size()));
    PutWord(lengthOverflow, 28 + 8, 0xFFFFFFF0);
    const std::pair<const char*, std::string> cases[] = {
        {"empty", ""},
        {"header cut short", good.substr(0, 27)},
        {"wrong magic number", wrongMagic},
        {"unknown revision", newRevision},
        {"translation table past the end", tablePastEnd},
        {"huge count", countOverflow},
        {"text starting past the end", textPastEnd},
        {"text length past the end", lengthOverflow},
        {"strings cut off", good.substr(0, good.size() - 3)},
    };
    for (const auto& [what, bytes] : cases)
        EXPECT_EQ(RefusalOf(bytes), invalid) << what;
    // Every shorter piece of a good catalogue is either refused or read safely.
    for (std::size_t size = 0; size < good.size(); ++size) {
        try {
            const TMoFile mo = TMoFile::FromBytes(good.substr(0, size), "cut.mo");
            Find(mo, "Zoom");
        } catch (const TError&) {
        }
    }
}

TEST(MoFileTest, MappingReportsFilesThatCannotBeUsed) {
    TTempDir dir;
    const auto messageFor = [](const std::string& path) -> std::string {
        try {
            const TFileMapping mapping(path);
            return "mapped " + std::to_string(mapping.Bytes().size());
        } catch (const TError& error) {
            return error.what();
        }
    };
    EXPECT_EQ(messageFor(dir.file("missing.mo")), "Cannot open file " + dir.file("missing.mo"));
    std::filesystem::create_directory(dir.file("folder.mo"));
    EXPECT_EQ(messageFor(dir.file("folder.mo")),
              "Cannot create memory map on file " + dir.file("folder.mo"));
    WriteFileBytes(dir.file("empty.mo"), "");
    EXPECT_EQ(messageFor(dir.file("empty.mo")), "mapped 0");
    WriteFileBytes(dir.file("de.mo"), MakeMo(kGerman));
    EXPECT_EQ(messageFor(dir.file("de.mo")), "mapped " + std::to_string(MakeMo(kGerman).size()));
}
