#include "model/SettingsFile.h"

#include <filesystem>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "core/StorageTank.h"

namespace fs = std::filesystem;

namespace {
const std::string kSep = "\xA4";
std::string Ini(const std::string& name, int value) {
    return "StorageTank" + kSep + "Settings" + kSep + "\r\nInteger" + kSep + name + kSep +
           std::to_string(value) + "\r\nStorageTankEnd" + kSep + "\r\n";
}

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(program());
        fs::create_directories(config());
    }
    std::string program() const { return dir.file("prog"); }
    std::string config() const { return dir.file("cfg"); }
    TTempDir dir;
    TScriptedPrompt prompt;
    std::string status;
};
} // namespace

TEST_F(SettingsFileTest, CurrentFileWinsOverTheOlderOne) {
    TSettingsFile none(program(), config());
    EXPECT_EQ(none.LoadPath(), "");
    WriteFileBytes(program() + "/Settings.ini", Ini("A", 1));
    EXPECT_EQ(none.LoadPath(), program() + "/Settings.ini");
    WriteFileBytes(program() + "/Trimvale.ini", Ini("A", 2));
    TStorageTank store("Settings");
    none.Load(store, prompt);
    EXPECT_EQ(store.getInteger("A"), 2);
    EXPECT_FALSE(none.Individual());
    EXPECT_EQ(none.SavePath(), program() + "/Trimvale.ini");
}

TEST_F(SettingsFileTest, IndividualSettingsReadBesideTheProgramAndWritePerUser) {
    WriteFileBytes(program() + "/UseIndividualSettings.txt", "");
    WriteFileBytes(program() + "/Trimvale.ini", Ini("A", 3));
    TSettingsFile file(program(), config());
    ASSERT_TRUE(file.Individual());
    TStorageTank store("Settings");
    file.Load(store, prompt);
    EXPECT_EQ(store.getInteger("A"), 3);
    ASSERT_TRUE(file.Save(store, prompt, status));
    EXPECT_EQ(ReadFileBytes(config() + "/Trimvale/Trimvale.ini"), Ini("A", 3));
    // from now on the per-user file is the one read
    WriteFileBytes(config() + "/Trimvale/Trimvale.ini", Ini("A", 4));
    EXPECT_EQ(TSettingsFile(program(), config()).LoadPath(), config() + "/Trimvale/Trimvale.ini");
}

TEST_F(SettingsFileTest, UnwritableProgramFolderBehavesAsIndividual) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes everywhere";
    chmod(program().c_str(), 0500);
    TSettingsFile file(program(), config());
    EXPECT_TRUE(file.Individual());
    chmod(program().c_str(), 0700);
}

TEST_F(SettingsFileTest, AnInstalledProgramKeepsItsSettingsPerUserEvenWhereItCouldWrite) {
    // installed under a prefix, as root may run it: the folder is writable
    const std::string bin = dir.file("usr/bin");
    fs::create_directories(bin);
    WriteFileBytes(bin + "/Trimvale.ini", Ini("A", 6));
    TSettingsFile file(bin, config());
    EXPECT_TRUE(file.Individual());
    TStorageTank store("Settings");
    file.Load(store, prompt);
    EXPECT_EQ(store.getInteger("A"), 6); // read once from beside the program...
    ASSERT_TRUE(file.Save(store, prompt, status));
    EXPECT_EQ(file.SavePath(), config() + "/Trimvale/Trimvale.ini"); // ...kept per user
    EXPECT_EQ(TSettingsFile(bin, config()).LoadPath(), config() + "/Trimvale/Trimvale.ini");
}

TEST_F(SettingsFileTest, AGivenFileIsTheOneReadAndWritten) {
    const std::string given = dir.file("elsewhere.ini");
    TSettingsFile file = TSettingsFile::ForFile(given);
    EXPECT_EQ(file.LoadPath(), "");
    WriteFileBytes(given, Ini("A", 7));
    WriteFileBytes(program() + "/Trimvale.ini", Ini("A", 1));
    TStorageTank store("Settings");
    file.Load(store, prompt);
    EXPECT_EQ(store.getInteger("A"), 7);
    store.setValue("A", 8);
    ASSERT_TRUE(file.Save(store, prompt, status));
    EXPECT_EQ(ReadFileBytes(given), Ini("A", 8));
}

TEST_F(SettingsFileTest, EveryReadFaultIsReportedOnceAndTheFileKeptAsBackup) {
    const std::string header = "StorageTank" + kSep + "Settings" + kSep + "\r\n";
    const std::string a5 = "Integer" + kSep + "A" + kSep + "5\r\n";
    const std::string end = "StorageTankEnd" + kSep + "\r\n";
    struct Case {
        const char* what;
        std::string text;
        int a; // what the store holds of A afterwards (9 for nothing)
        std::string fault;
    } cases[] = {
        {"wrong first line", "Settings" + kSep + "x" + kSep + "\r\n" + a5 + end, 9,
         "got \"Settings\" in \"Settings¤x¤\""}, // the separator shown as a character
        {"unknown line type", header + "Bogus" + kSep + "X" + kSep + "1\r\n" + a5 + end, 5,
         "\"Bogus\""},
        {"bad number", header + a5 + "Integer" + kSep + "B" + kSep + "five\r\n", 5, "'five'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = program() + "/Trimvale.ini";
        WriteFileBytes(path, c.text);
        TSettingsFile file(program(), config());
        TStorageTank store("Settings");
        TScriptedPrompt seen;
        file.Load(store, seen);
        EXPECT_TRUE(file.LoadFailed());
        ASSERT_EQ(seen.errors.size(), 1u);
        EXPECT_EQ(seen.messages, seen.errors);
        EXPECT_NE(seen.errors[0].find(c.fault), std::string::npos) << seen.errors[0];
        EXPECT_EQ(store.getInteger("A", 9), c.a);
        ASSERT_TRUE(file.Save(store, seen, status));
        EXPECT_EQ(ReadFileBytes(path + ".bak"), c.text);
        EXPECT_EQ(ReadFileBytes(path), c.a == 5 ? Ini("A", 5) : header + end);
    }
}

TEST_F(SettingsFileTest, FolderThatCannotBeMadeFailsLoudly) {
    WriteFileBytes(program() + "/UseIndividualSettings.txt", "");
    WriteFileBytes(config() + "/Trimvale", "a file where the folder should be");
    TSettingsFile file(program(), config());
    TStorageTank store("Settings");
    EXPECT_FALSE(file.Save(store, prompt, status));
    EXPECT_EQ(status, "Error saving settings");
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0], "Unable to create \"" + config() + "/Trimvale\"");
}

TEST_F(SettingsFileTest, AFileCutShortAtAnyLineIsReportedOnceAndKeptAsBackup) {
    TStorageTank whole("Settings");
    whole.setValue("A", 5);
    auto aspects = std::make_unique<TStorageTank>("Aspects");
    aspects->setValue("CurrentAspectList", 0);
    auto list = std::make_unique<TStorageTank>("Photo");
    list->setValue("Default", 1);
    aspects->add(std::move(list));
    whole.add(std::move(aspects));
    whole.setValue("Details", "Brief");
    const std::string text = whole.toString();
    const std::string path = program() + "/Trimvale.ini";

    // every cut at a line end, from the header alone to all but the last line
    std::size_t cuts = 0;
    for (std::size_t end = text.find("\r\n"); end + 2 < text.size();
         end = text.find("\r\n", end + 2)) {
        const std::string shorter = text.substr(0, end + 2);
        SCOPED_TRACE(shorter);
        ++cuts;
        WriteFileBytes(path, shorter);
        fs::remove(path + ".bak");
        TSettingsFile file(program(), config());
        TStorageTank store("Settings");
        TScriptedPrompt seen;
        file.Load(store, seen);
        EXPECT_TRUE(file.LoadFailed());
        ASSERT_TRUE(file.Save(store, seen, status));
        ASSERT_EQ(seen.messages.size(), 1u);
        EXPECT_NE(seen.errors.at(0).find("The text ends before"), std::string::npos);
        EXPECT_EQ(ReadFileBytes(path + ".bak"), shorter);
        // what was read is written whole, and reads again without a word
        TStorageTank again("Settings");
        TScriptedPrompt quiet;
        TSettingsFile(program(), config()).Load(again, quiet);
        EXPECT_TRUE(quiet.messages.empty());
        EXPECT_EQ(again.toString(), store.toString());
    }
    EXPECT_EQ(cuts, 9u);
}

TEST_F(SettingsFileTest, ALinkedFileStaysALinkAndALinkToNothingIsToldAndKept) {
    const std::string link = program() + "/Trimvale.ini";
    const std::string target = dir.file("dotfiles/trimvale.ini");
    fs::create_directories(dir.file("dotfiles"));
    WriteFileBytes(target, Ini("A", 1));
    fs::create_symlink(target, link);
    {
        TSettingsFile file(program(), config());
        TStorageTank store("Settings");
        file.Load(store, prompt);
        EXPECT_EQ(store.getInteger("A"), 1);
        store.setValue("A", 2);
        ASSERT_TRUE(file.Save(store, prompt, status));
    }
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(target), Ini("A", 2));
    EXPECT_TRUE(prompt.messages.empty());

    fs::remove(target);
    TSettingsFile file(program(), config());
    TStorageTank store("Settings");
    file.Load(store, prompt);
    ASSERT_EQ(prompt.errors.size(), 1u);
    EXPECT_EQ(prompt.errors[0], "The settings file " + link + " is a link to " + target +
                                    ", which cannot be opened: No such file or directory. The "
                                    "settings will not be saved.");
    EXPECT_FALSE(file.Save(store, prompt, status));
    EXPECT_EQ(status, "Error saving settings");
    EXPECT_EQ(prompt.messages.size(), 1u); // told once
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_FALSE(fs::exists(target));
}
