#include "core/StorageTank.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "core/Error.h"
#include "core/StringController.h"

namespace {
// Settings lines are written with ¤ for the separator byte here.
std::string L(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\xC2\xA4") == 0) {
            out += '\xA4';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* l : lines)
        text += L(l) + "\r\n";
    return text;
}

class StorageTankTest : public ::testing::Test {
protected:
    void SetUp() override { SetDecimalSeparator('.'); }
    void TearDown() override { SetDecimalSeparator(0); }
    TScriptedPrompt prompt;
    TTempDir dir;
};
} // namespace

TEST_F(StorageTankTest, WritesTheExampleFileExactly) {
    TStorageTank settings("Settings");
    settings.setValue("ShowCropsize3", true);
    settings.setValue("CropAreaLook", int32_t{4});
    settings.setValue("Details", "Full");
    settings.setValue("Spatial_MainForm_WindowState", "wsNormal");
    settings.setValue("Spatial_MainForm_Left", int32_t{316});
    auto aspects = std::make_unique<TStorageTank>("Aspects");
    aspects->setValue("CurrentAspectList", int32_t{0});
    settings.add(std::move(aspects));

    const std::string expected =
        Lines({"StorageTank¤Settings¤", "Boolean¤ShowCropsize3¤True", "Integer¤CropAreaLook¤4",
               "String¤Details¤Full", "String¤Spatial_MainForm_WindowState¤wsNormal",
               "Integer¤Spatial_MainForm_Left¤316", "StorageTank¤Aspects¤",
               "Integer¤CurrentAspectList¤0", "StorageTankEnd¤", "StorageTankEnd¤"});
    EXPECT_EQ(settings.toString(), expected);

    settings.saveToFile(dir.file("Trimvale.ini"));
    EXPECT_EQ(ReadFileBytes(dir.file("Trimvale.ini")), expected);

    TStorageTank back;
    back.loadFromFile(dir.file("Trimvale.ini"));
    EXPECT_EQ(back.name(), "Settings");
    EXPECT_EQ(back.getInteger("cropAREAlook"), 4);
    EXPECT_EQ(back.getString("details"), "Full");
    ASSERT_NE(back.getTank("aspects"), nullptr);
    EXPECT_EQ(back.getTank("Aspects")->getInteger("CurrentAspectList", 9), 0);
    EXPECT_EQ(back.toString(), expected);
}

TEST_F(StorageTankTest, StringValuesSurviveMarkupAndLineBreaks) {
    TStorageTank t("T");
    const std::string tricky = "a&b <c> d\r\ne\xA4"
                               "f <Br> lone\rcr and\nlf";
    t.setValue("Text", tricky);
    std::vector<std::string> lines;
    t.toStrings(lines);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1],
              L("String¤Text¤a&amp;b &lt;c&gt; d<Br>e&sep;f &lt;Br&gt; lone&#13;cr and&#10;lf"));
    TStorageTank back;
    back.fromSS(t.toString());
    EXPECT_EQ(back.getString("Text"), tricky);
}

TEST_F(StorageTankTest, DoublesReadBackWhateverTheDecimalSeparator) {
    TStorageTank t("T");
    t.setDouble("D", 25.4);
    t.setDouble("Small", 0.000012345678901234);
    t.setDouble("Neg", -1.0 / 3.0);
    SetDecimalSeparator(',');
    const std::string comma = t.toString();
    EXPECT_NE(comma.find(L("Double¤D¤25,400000000000000")), std::string::npos);
    SetDecimalSeparator('.');
    const std::string dot = t.toString();
    EXPECT_NE(dot.find(L("Double¤D¤25.400000000000000")), std::string::npos);
    EXPECT_NE(dot.find(L("Double¤Small¤0.000012345678901")), std::string::npos);
    EXPECT_NE(dot.find(L("Double¤Neg¤-0.333333333333333")), std::string::npos);
    TStorageTank back;
    back.fromSS(comma);
    EXPECT_DOUBLE_EQ(back.getDouble("D", 0), 25.4);
    SetDecimalSeparator(',');
    back.fromSS(dot);
    EXPECT_DOUBLE_EQ(back.getDouble("D", 0), 25.4);
}

TEST_F(StorageTankTest, DoubleFormatKeepsFifteenSignificantDigits) {
    EXPECT_EQ(FormatStoredDouble(15.24), "15.240000000000000");
    EXPECT_EQ(FormatStoredDouble(0), "0.000000000000000");
    EXPECT_EQ(FormatStoredDouble(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FormatStoredDouble(123456789.123456789), "123456789.123457000000000");
    EXPECT_EQ(FormatStoredDouble(1e20).find('e') != std::string::npos, true);
    // a 15-digit integer part still gets its separator and 15 zeros
    EXPECT_EQ(FormatStoredDouble(123456789012345.0), "123456789012345.000000000000000");
    TStorageTank t("T");
    t.setDouble("Big", -123456789012345.0);
    TStorageTank back;
    back.fromSS(t.toString());
    EXPECT_DOUBLE_EQ(back.getDouble("Big", 0), -123456789012345.0);
}

TEST_F(StorageTankTest, TypedGettersFallBackToTheirDefaults) {
    TStorageTank t("T");
    t.setValue("Number", "12");
    EXPECT_EQ(t.getInteger("Number", 7), 7);
    EXPECT_EQ(t.getInteger("Missing"), 0);
    EXPECT_TRUE(t.getBoolean("Missing"));
    EXPECT_FALSE(t.getBoolean("Missing", false));
    EXPECT_EQ(t.getString("Missing", "x"), "x");
    EXPECT_DOUBLE_EQ(t.getDouble("Number", 2.5), 2.5);
    EXPECT_EQ(t.getTank("Number"), nullptr);
}

TEST_F(StorageTankTest, SetValueTakesTheNewSpellingAndSparesNestedStores) {
    TStorageTank t("T");
    t.setValue("ShowX", false);
    t.setValue("showx", true);
    EXPECT_EQ(t.count(), 1);
    EXPECT_NE(t.toString().find(L("Boolean¤showx¤True")), std::string::npos);

    t.add(std::make_unique<TStorageTank>("Inner"));
    t.setValue("inner", int32_t{5});
    EXPECT_EQ(t.count(), 2);
    ASSERT_NE(t.getTank("Inner"), nullptr);
    EXPECT_EQ(t.getTank("Inner")->count(), 0);
}

TEST_F(StorageTankTest, AssigningADateIsRefusedAndLeavesTheElementUndefined) {
    TStorageTank t("T");
    t.setValue("When", int32_t{3});
    try {
        t.setValue("WHEN", TDateTime{1.0});
        FAIL() << "a date must be refused";
    } catch (const TError& e) {
        EXPECT_STREQ(e.what(), "Uhandled variant type: 7");
    }
    EXPECT_EQ(t.getInteger("When", -1), -1);
    EXPECT_NE(t.toString().find(L("Undefined¤WHEN¤Undefined")), std::string::npos);
    EXPECT_THROW(t.setValue("Fresh", TDateTime{1.0}), TError);
    EXPECT_EQ(t.indexOf("Fresh"), -1);
    t.setValue("Byte", uint8_t{200});
    EXPECT_EQ(t.getInteger("Byte"), 200);
}

TEST_F(StorageTankTest, ReadingToleratesEmptyLinesMissingEndsAndShortLines) {
    TStorageTank t;
    // what is there is read; the missing end lines still fail the read, so
    // that a file cut short is told and kept
    try {
        t.fromSS(L("\r\n\nStorageTank¤S¤\r\n\r\nInteger¤A¤1\n\rString¤only value\r"
                   "StorageTank¤Inner¤\nBoolean¤B¤true"));
        ADD_FAILURE() << "missing end lines must fail the read";
    } catch (const TError& e) {
        EXPECT_STREQ(e.what(), "StorageTank: The text ends before \"StorageTankEnd\" of store "
                               "\"Inner\"");
    }
    EXPECT_EQ(t.name(), "S");
    EXPECT_EQ(t.getInteger("A"), 1);
    ASSERT_EQ(t.count(), 3);
    EXPECT_EQ(t.item(1)->getName(), "");
    EXPECT_EQ(static_cast<TStorageElement*>(t.item(1))->value(),
              TVariant(std::string("only value")));
    ASSERT_NE(t.getTank("inner"), nullptr);
    EXPECT_FALSE(t.getTank("inner")->getBoolean("B")); // only exactly "True" is true

    TStorageTank noName;
    EXPECT_THROW(noName.fromSS(L("StorageTank¤Open\r\nInteger¤A¤1\r\n")), TError);
    EXPECT_EQ(noName.name(), "");
    EXPECT_EQ(noName.getInteger("A"), 1);

    t.remove("");
    EXPECT_EQ(t.count(), 3);
    t.remove("A");
    EXPECT_EQ(t.count(), 2);
}

TEST_F(StorageTankTest, WrongHeaderGivesAnEmptyStoreAndAReadError) {
    TStorageTank t("Keep", &prompt);
    t.setValue("X", int32_t{1});
    try {
        t.fromSS(L("\r\nSettings¤x¤\r\nInteger¤A¤1\r\n"));
        FAIL() << "a wrong header must fail the read";
    } catch (const TError& e) {
        EXPECT_EQ(e.what(),
                  L("StorageTank: Expected \"StorageTank\", got \"Settings\" in \"Settings¤x¤\""));
    }
    EXPECT_EQ(t.count(), 0);
    EXPECT_TRUE(prompt.messages.empty()); // whoever reads reports it, once
    try {
        t.fromSS(std::string(100000, 'x')); // garbage without a line break
        ADD_FAILURE() << "garbage must fail the read";
    } catch (const TError& e) {
        EXPECT_LT(std::string(e.what()).size(), 210u);
    }
}

TEST_F(StorageTankTest, BadLinesAreSkippedAndTheRestIsRead) {
    TStorageTank t;
    const std::string text =
        Lines({"StorageTank¤S¤", "Integer¤A¤1", "StorageTank¤Open¤", "Integer¤Kept¤3",
               "Colour¤Hue¤red", "Integer¤B¤x1", "Timer¤Long¤1000000000000 days 0 hours",
               "StorageTankEnd", "StorageTankEnd¤", "Integer¤After¤4", "no separator at all"});
    try {
        t.fromSS(text);
        FAIL() << "the bad lines must fail the read";
    } catch (const TError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Unknown eType in STElement.fromSS: \"Colour\", name: \"Hue\"\n"
                  "'x1' is not a valid integer value\n"
                  "'1000000000000 days 0 hours' is not a valid duration\n"
                  "Unknown eType in STElement.fromSS: \"\", name: \"\"\n"
                  "Unknown eType in STElement.fromSS: \"\", name: \"\"\n"
                  "StorageTank: The text ends before \"StorageTankEnd\" of store \"S\"");
    }
    ASSERT_EQ(t.count(), 3);
    EXPECT_EQ(t.getInteger("A"), 1);
    ASSERT_NE(t.getTank("Open"), nullptr);
    EXPECT_EQ(t.getTank("Open")->count(), 1);
    EXPECT_EQ(t.getTank("Open")->getInteger("Kept"), 3);
    EXPECT_EQ(t.getInteger("After"), 4);

    std::string many = L("StorageTank¤S¤\r\n");
    for (int i = 0; i < 12; ++i)
        many += L("Integer¤N¤x\r\n");
    try {
        t.fromSS(many);
    } catch (const TError& e) {
        const std::string message = e.what();
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 10); // ten faults, then "..."
        EXPECT_EQ(message.substr(message.size() - 4), "\n...");
    }
}

TEST_F(StorageTankTest, DeepNestingIsReadWrittenAndFreedWithoutExhaustingTheStack) {
    // 30,000 nested stores, as a damaged or hostile file may hold
    std::string text;
    for (int i = 0; i < 30000; ++i)
        text += L("StorageTank¤Deep¤\r\nInteger¤Level¤") + std::to_string(i) + "\r\n";
    text += L("StorageTankEnd¤\r\n");
    auto t = std::make_unique<TStorageTank>();
    EXPECT_THROW(t->fromSS(text), TError);
    int depth = 1;
    for (TStorageTank* inner = t->getTank("Deep"); inner; inner = inner->getTank("Deep"))
        EXPECT_EQ(inner->getInteger("Level", -1), depth++);
    EXPECT_EQ(depth, 64); // deeper stores are refused, and the tree writes and reads again
    TStorageTank again;
    again.fromSS(t->toString());
    EXPECT_EQ(again.toString(), t->toString());
    t.reset();

    // a tree built that deep by code is freed without recursion too
    auto root = std::make_unique<TStorageTank>("Root");
    TStorageTank* leaf = root.get();
    for (int i = 0; i < 200000; ++i) {
        auto inner = std::make_unique<TStorageTank>("Deep");
        TStorageTank* next = inner.get();
        leaf->add(std::move(inner));
        leaf = next;
    }
    root.reset();
}

TEST_F(StorageTankTest, EveryValueWrittenReadsBack) {
    struct Case {
        const char* name;
        std::function<void(TStorageTank&)> set;
    };
    const Case cases[] = {
        {"largest double", [](TStorageTank& t) { t.setDouble("V", 1.7976931348623157e308); }},
        {"lowest double", [](TStorageTank& t) { t.setDouble("V", -1.7976931348623157e308); }},
        {"infinity", [](TStorageTank& t) { t.setDouble("V", HUGE_VAL); }},
        {"minus infinity", [](TStorageTank& t) { t.setDouble("V", -HUGE_VAL); }},
        {"not a number", [](TStorageTank& t) { t.setDouble("V", std::nan("")); }},
        {"tiny double", [](TStorageTank& t) { t.setDouble("V", 4.9e-324); }},
        {"lowest integer", [](TStorageTank& t) { t.setValue("V", INT32_MIN); }},
        {"timer from text",
         [](TStorageTank& t) {
             t.fromSS(L("StorageTank¤T¤\r\nTimer¤V¤10000000 days 0 hours 0 minutes 0 seconds "
                        "0 milliseconds\r\nStorageTankEnd¤\r\n"));
         }},
    };
    for (const Case& c : cases) {
        TStorageTank t("T");
        c.set(t);
        t.setValue("After", int32_t{5});
        const std::string written = t.toString();
        TStorageTank back;
        EXPECT_NO_THROW(back.fromSS(written)) << c.name << ": " << written;
        EXPECT_EQ(back.getInteger("After"), 5) << c.name;
        EXPECT_EQ(back.toString(), written) << c.name;
    }
    // longer durations than the reader takes are written as the longest it takes
    for (double days : {1e7, 1e7 + 0.5, 1e12, 1e300})
        EXPECT_NO_THROW(TextToDuration(DurationToText(days))) << days;
    EXPECT_DOUBLE_EQ(TextToDuration(DurationToText(1e12)), 1e7);
    EXPECT_DOUBLE_EQ(TextToDuration("1 day 0 hours 0 minutes 0 seconds 500 milliseconds"),
                     1 + 500.0 / 86400000);
}

TEST_F(StorageTankTest, DateTimeAndTimerValuesReadAndWriteAgain) {
    TStorageTank t;
    t.fromSS(Lines({"StorageTank¤S¤", "DateTime¤Midnight¤Jan 5 2007",
                    "DateTime¤Noon¤Jan 5 2007, 14:05:09", "DateTime¤Bad¤Feb 30 2007",
                    "Timer¤Run¤1 day 2 hours 1 minute 0 seconds 15 milliseconds",
                    "Timer¤Short¤0 hours 5 minutes 3 seconds 0 milliseconds", "StorageTankEnd¤"}));
    const auto days = [&](const char* name) {
        return std::get<TDateTime>(static_cast<TStorageElement*>(t.find(name))->value()).days;
    };
    EXPECT_DOUBLE_EQ(days("Midnight"), 39087.0);
    EXPECT_DOUBLE_EQ(days("Bad"), 2147483647.0);
    const std::string written = t.toString();
    EXPECT_NE(written.find(L("DateTime¤Midnight¤Jan 5 2007\r\n")), std::string::npos);
    EXPECT_NE(written.find(L("DateTime¤Noon¤Jan 5 2007, 14:05:09\r\n")), std::string::npos);
    EXPECT_NE(written.find(L("Timer¤Run¤1 day 2 hours 1 minute 0 seconds 15 milliseconds\r\n")),
              std::string::npos);
    EXPECT_NE(written.find(L("Timer¤Short¤0 hours 5 minutes 3 seconds 0 milliseconds\r\n")),
              std::string::npos);
}

TEST_F(StorageTankTest, NamesWithUmlautsSurviveAndOldLatin1FilesRead) {
    TStorageTank t("Größe");
    t.setValue("Bänder", "Käse¤"); // the text "¤" as a character, not the separator
    t.saveToFile(dir.file("u.ini"));
    TStorageTank back;
    back.loadFromFile(dir.file("u.ini"));
    EXPECT_EQ(back.name(), "Größe");
    EXPECT_EQ(back.getString("BÄNDER"), "Käse¤");

    // "Bänder" and "Käse" in Windows-1252, as an older program wrote them
    WriteFileBytes(dir.file("old.ini"), "StorageTank\xA4Gr\xF6\xDF"
                                        "e\xA4\r\n"
                                        "String\xA4"
                                        "B\xE4nder\xA4K\xE4se \x80\r\n"
                                        "StorageTankEnd\xA4\r\n");
    TStorageTank old;
    old.loadFromFile(dir.file("old.ini"));
    EXPECT_EQ(old.name(), "Größe");
    EXPECT_EQ(old.getString("bänder"), "Käse €");
}

TEST_F(StorageTankTest, AFileThatCannotBeReadIsAnErrorNotAnEmptyFile) {
    const std::string path = dir.file("locked.ini");
    WriteFileBytes(path, L("StorageTank¤S¤\r\nInteger¤A¤1\r\n"));
    TStorageTank t("T");
    if (geteuid() != 0) { // root reads everything
        chmod(path.c_str(), 0);
        EXPECT_THROW(t.loadFromFile(path), TError);
        chmod(path.c_str(), 0600);
    }
    try {
        t.loadFromFile(dir.path()); // a folder where the file should be
        FAIL() << "a folder must not read as settings";
    } catch (const TError& e) {
        EXPECT_EQ(e.what(), "Cannot open file \"" + dir.path() + "\". Is a directory");
    }
    EXPECT_EQ(t.name(), "T");
}

TEST_F(StorageTankTest, LoadingAMissingFileChangesNothing) {
    TStorageTank t("T");
    t.setValue("A", int32_t{1});
    t.loadFromFile(dir.file("absent.ini"));
    EXPECT_EQ(t.name(), "T");
    EXPECT_EQ(t.getInteger("A"), 1);
}

TEST_F(StorageTankTest, SavingReplacesTheFileWholeOrNotAtAll) {
    TStorageTank t("T");
    t.setValue("A", int32_t{1});
    const std::string target = dir.file("s.ini");
    WriteFileBytes(target, "old content");
    chmod(target.c_str(), 0640);
    t.saveToFile(target);
    EXPECT_EQ(ReadFileBytes(target), t.toString());
    struct stat st;
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    if (geteuid() != 0) { // root may write anywhere
        chmod(dir.path().c_str(), 0500);
        t.setValue("A", int32_t{2});
        EXPECT_THROW(t.saveToFile(target), TError);
        chmod(dir.path().c_str(), 0700);
        EXPECT_EQ(ReadFileBytes(target), L("StorageTank¤T¤\r\nInteger¤A¤1\r\nStorageTankEnd¤\r\n"));
    }
    EXPECT_THROW(t.saveToFile(dir.file("no/such/folder/s.ini")), TError);
}

TEST_F(StorageTankTest, NewFilesFollowTheUmaskFifosAreNotWaitedOnAndLinksToNothingStay) {
    TStorageTank t("T");
    for (const mode_t mask : {mode_t{077}, mode_t{022}}) {
        const std::string path = dir.file("new" + std::to_string(mask) + ".ini");
        const mode_t old = umask(mask);
        t.saveToFile(path);
        umask(old);
        struct stat st;
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << mask;
    }
    ASSERT_EQ(mkfifo(dir.file("fifo.ini").c_str(), 0600), 0);
    EXPECT_THROW(t.loadFromFile(dir.file("fifo.ini")), TError);
    // a link to nothing is refused, not replaced by a plain file
    std::filesystem::create_symlink("gone/t.ini", dir.file("dangling.ini"));
    EXPECT_THROW(t.saveToFile(dir.file("dangling.ini")), TError);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("dangling.ini")));
}
