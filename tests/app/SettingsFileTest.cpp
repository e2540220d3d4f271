#include "SettingsFile.h"

#include <filesystem>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "ScriptedPrompt.h"
#include "StorageTank.h"
#include "TempDir.h"

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

TEST_F(SettingsFileTest, UnreadableFileIsReportedOnceAndKeptAsBackup) {
    const std::string broken = "StorageTank" + kSep + "Settings" + kSep + "\r\nInteger" + kSep +
                               "A" + kSep + "5\r\nInteger" + kSep + "B" + kSep + "five\r\n";
    WriteFileBytes(program() + "/Trimvale.ini", broken);
    TSettingsFile file(program(), config());
    TStorageTank store("Settings");
    file.Load(store, prompt);
    EXPECT_TRUE(file.LoadFailed());
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(store.getInteger("A"), 5);
    EXPECT_EQ(store.getInteger("B", 9), 9);
    ASSERT_TRUE(file.Save(store, prompt, status));
    EXPECT_EQ(ReadFileBytes(program() + "/Trimvale.ini.bak"), broken);
    EXPECT_EQ(ReadFileBytes(program() + "/Trimvale.ini"), Ini("A", 5));
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
