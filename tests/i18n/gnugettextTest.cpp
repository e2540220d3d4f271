#include "i18n/gnugettext.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "MoBuilder.h"
#include "TempDir.h"
#include "core/Error.h"
#include "i18n/EmbeddedFilesWriter.h"

namespace {

// Sets environment variables for one scope and puts the old values back.
class TEnvironment {
public:
    void Set(const char* name, const char* value) {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~TEnvironment() {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

// A program folder with catalogues on disk and a program that may carry some.
class TProgram {
public:
    std::string Path(const std::string& code) const {
        return dir_.file("locale/" + code + "/LC_MESSAGES/default.mo");
    }
    void OnDisk(const std::string& code, const std::string& bytes) {
        std::filesystem::create_directories(dir_.file("locale/" + code + "/LC_MESSAGES"));
        WriteFileBytes(Path(code), bytes);
    }
    void Embed(const std::map<std::string, std::string>& files) {
        std::vector<TFileToEmbed> list;
        for (const auto& [name, bytes] : files) {
            const std::string source = dir_.file("embed" + std::to_string(list.size()));
            WriteFileBytes(source, bytes);
            list.push_back({name, source});
        }
        block_ = MakeEmbeddedBlock(list);
    }
    TCatalogueSource Source() const { return {dir_.path(), block_}; }
    std::string& Block() { return block_; }

private:
    TTempDir dir_;
    std::string block_;
};

std::string Mo(const std::string& crop) {
    return MakeMo({{"Crop", crop}, {"&File", crop + " file"}});
}

} // namespace

TEST(gnugettextTest, LanguageFollowsThePosixOrderOfTheLocaleVariables) {
    struct Case {
        const char* lang;
        const char* lcAll;
        const char* lcMessages;
        const char* language;
        const char* expected;
    };
    const Case cases[] = {
        {"de_AT.UTF-8", "pl_PL.UTF-8", nullptr, nullptr, "pl_PL"},
        {"de_AT.UTF-8", nullptr, "nl_NL.UTF-8", nullptr, "nl_NL"},
        {"de_DE.UTF-8", "C", nullptr, nullptr, "en_US"},
        {"hu_HU", nullptr, nullptr, nullptr, "hu_HU"},
        {"nl_NL.ISO-8859-1", nullptr, nullptr, nullptr, "nl_NL"},
        {"C.UTF-8", nullptr, nullptr, nullptr, "en_US"},
        {"", "pl_PL.UTF-8", nullptr, nullptr, "pl_PL"},
        {nullptr, "da_DK.UTF-8", nullptr, nullptr, "da_DK"},
        {nullptr, "C", nullptr, nullptr, "en_US"},
        {"de_DE@euro", nullptr, nullptr, nullptr, "de_DE"},
        // GNU's list of wishes counts, but never over a C locale
        {"nl_NL.UTF-8", nullptr, nullptr, "de:nl", "de"},
        {"C", nullptr, nullptr, "de", "en_US"},
        {"nl_NL.UTF-8", nullptr, nullptr, "", "nl_NL"},
    };
    for (const Case& c : cases) {
        TEnvironment env;
        env.Set("LANG", c.lang);
        env.Set("LC_ALL", c.lcAll);
        env.Set("LC_MESSAGES", c.lcMessages);
        env.Set("LANGUAGE", c.language);
        EXPECT_EQ(LanguageFromEnvironment(), c.expected)
            << (c.lang ? c.lang : "no LANG") << " / " << (c.lcAll ? c.lcAll : "no LC_ALL") << " / "
            << (c.language ? c.language : "no LANGUAGE");
    }
}

TEST(gnugettextTest, FindsTheCatalogueByFullCodeThenByLanguage) {
    TProgram program;
    program.OnDisk("de", Mo("Zuschneiden"));
    TEnvironment env;
    env.Set("LANG", "de_AT.UTF-8");
    TTextDomain domain(program.Source());
    EXPECT_EQ(domain.CurrentLanguage(), "de_AT");
    EXPECT_EQ(domain.Translate("Crop"), "Zuschneiden");
    EXPECT_EQ(domain.Translate("&File"), "Zuschneiden file");
    EXPECT_EQ(domain.Translate("crop"), "crop"); // no such text: English
    EXPECT_EQ(domain.Translate(""), "");         // not the catalogue's header

    program.OnDisk("de_AT", Mo("Zuschneiden (AT)"));
    domain.SelectLanguage("de_AT");
    EXPECT_EQ(domain.Translate("Crop"), "Zuschneiden (AT)");
    domain.SelectLanguage("de_CH");
    EXPECT_EQ(domain.Translate("Crop"), "Zuschneiden");
    for (const char* english : {"en_US", "en", "xx_YY", "d"}) {
        domain.SelectLanguage(english);
        EXPECT_EQ(domain.CurrentLanguage(), english);
        EXPECT_EQ(domain.Translate("Crop"), "Crop") << english;
    }
    domain.SelectLanguage("");
    EXPECT_EQ(domain.CurrentLanguage(), "de_AT");
    EXPECT_EQ(domain.CataloguePath("pl_PL"), program.Path("pl_PL"));
}

TEST(gnugettextTest, EmbeddedCataloguesComeBeforeFilesOnDisk) {
    TProgram program;
    program.OnDisk("da", Mo("Beskær (disk)"));
    program.OnDisk("pl", Mo("Przytnij (disk)"));
    {
        TTextDomain domain(program.Source()); // nothing embedded yet
        domain.SelectLanguage("da_DK");
        EXPECT_EQ(domain.Translate("Crop"), "Beskær (disk)");
    }
    program.Embed({{"default.mo", MakeMo({})},
                   {"locale\\DA\\lc_messages\\default.mo", Mo("Beskær")},
                   {"locale/nl/LC_MESSAGES/default.mo", Mo("Bijsnijden")}});
    TTextDomain domain(program.Source());
    const std::pair<const char*, const char*> cases[] = {
        {"da_DK", "Beskær"},          // embedded, though a file of that name lies on disk
        {"nl_NL", "Bijsnijden"},      // embedded only
        {"pl_PL", "Przytnij (disk)"}, // on disk only
        {"hu_HU", "Crop"},            // neither
    };
    for (const auto& [code, crop] : cases) {
        domain.SelectLanguage(code);
        EXPECT_EQ(domain.Translate("Crop"), crop) << code;
    }
}

TEST(gnugettextTest, ADamagedTableMeansCataloguesFromDisk) {
    TProgram program;
    program.OnDisk("nl", Mo("Bijsnijden (disk)"));
    program.Embed({{"locale/nl/LC_MESSAGES/default.mo", Mo("Bijsnijden")}});
    program.Block()[36] += 1; // the first entry's offset no longer points at an entry
    TTextDomain domain(program.Source());
    domain.SelectLanguage("nl_NL");
    EXPECT_EQ(domain.Translate("Crop"), "Bijsnijden (disk)");
}

TEST(gnugettextTest, AnUnusableCatalogueIsReportedOnceThenTextsStayEnglish) {
    TProgram program;
    program.OnDisk("hu", "not a catalogue at all, but long enough to have a header");
    program.Embed({{"locale/pl/LC_MESSAGES/default.mo", "\xde\x12\x04\x95 cut"}});
    std::filesystem::create_directories(program.Path("nl")); // a folder is no catalogue
    TTextDomain domain(program.Source());
    for (const char* code : {"hu_HU", "pl_PL"}) {
        domain.SelectLanguage(code);
        const std::string path = program.Path(std::string(code).substr(0, 2));
        try {
            domain.Translate("Crop");
            ADD_FAILURE() << code << " was accepted";
        } catch (const TError& error) {
            EXPECT_EQ(error.what(), "This file is not a valid GNU gettext mo file: " + path);
        }
        EXPECT_EQ(domain.Translate("Crop"), "Crop");
    }
    domain.SelectLanguage("nl_NL");
    EXPECT_EQ(domain.Translate("Crop"), "Crop");
}

TEST(gnugettextTest, ReadersAndALanguageChangeMayOverlap) {
    TProgram program;
    program.OnDisk("da", Mo("Beskær"));
    program.OnDisk("de", Mo("Zuschneiden"));
    TTextDomain domain(program.Source());
    std::atomic<bool> stop = false, wrong = false;
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i)
        readers.emplace_back([&] {
            while (!stop) {
                const std::string text = domain.Translate("Crop");
                if (text != "Beskær" && text != "Zuschneiden" && text != "Crop") wrong = true;
            }
        });
    for (int i = 0; i < 300; ++i)
        domain.SelectLanguage(i % 3 == 0 ? "da" : i % 3 == 1 ? "de" : "en");
    stop = true;
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_FALSE(wrong);
}

TEST(gnugettextTest, TheProgramWideDomainKeepsTheChosenCode) {
    const std::string before = CurrentLanguage();
    SelectLanguage("hu_HU");
    EXPECT_EQ(CurrentLanguage(), "hu_HU");
    EXPECT_EQ(Translate("Crop"), "Crop"); // the test program carries no catalogues
    SelectLanguage(before);
    EXPECT_EQ(CurrentLanguage(), before);
}
