#include "core/StringController.h"

#include <gtest/gtest.h>

#include "core/Error.h"

TEST(StringControllerTest, ReplaceAllAndPosFrom) {
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("", "a", "x"), "");
    EXPECT_EQ(ReplaceAll("&File &Edit", "&", ""), "File Edit");
    EXPECT_EQ(ReplaceAll("ab", "b", "bb"), "abb"); // replacements are not scanned again
    EXPECT_EQ(ReplaceAll("Ab", "a", "x"), "Ab");
    EXPECT_EQ(PosFrom("b", "abab", 3), 4u);
    EXPECT_EQ(PosFrom("abc", "ab", 1), 0u);
    EXPECT_EQ(PosFrom("a", "abab", 5), 0u);
}

TEST(StringControllerTest, RemoveExtraSpaces) {
    EXPECT_EQ(RemoveExtraSpaces("   "), "");
    EXPECT_EQ(RemoveExtraSpaces("\r\n"), "\n");
    EXPECT_EQ(RemoveExtraSpaces(" 15 "), "15");
    EXPECT_EQ(RemoveExtraSpaces(" "), "");
    EXPECT_EQ(RemoveExtraSpaces("x"), "x");
    EXPECT_EQ(RemoveExtraSpaces("\n a b \r\n"), "a b");
}

TEST(StringControllerTest, MarkupEscapeMakesOneLineAndUnescapeRestoresIt) {
    const std::string text = "a&b\r\nc\xA4"
                             "d <x>";
    const std::string line = MarkupEscape(text);
    EXPECT_EQ(line, "a&amp;b<Br>c&sep;d &lt;x&gt;");
    EXPECT_EQ(MarkupUnescape(line), text);
    EXPECT_EQ(MarkupUnescape("&amp;lt;"), "&lt;");
    EXPECT_EQ(MarkupEscape("lone\rcr\nlf"), "lone&#13;cr&#10;lf");
    EXPECT_EQ(MarkupUnescape("lone&#13;cr&#10;lf"), "lone\rcr\nlf");
    EXPECT_EQ(MarkupUnescape(MarkupEscape("&#13;")), "&#13;");
    // "ä" ends in the separator byte but is a letter, not a separator
    EXPECT_EQ(MarkupEscape("K\xC3\xA4se"), "K\xC3\xA4se");
}

TEST(StringControllerTest, FormatDecimal) {
    const std::pair<double, const char*> cases[] = {
        {12.7, "12.7"}, {8.89, "8.89"},   {0.05, "0.05"}, {3, "3"},      {1.23456, "1.2346"},
        {0.00004, "0"}, {15.24, "15.24"}, {76.2, "76.2"}, {0.00005, "0"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(FormatDecimal(4, value), text) << value;
    EXPECT_EQ(FormatDecimal(4, -2.5), "-2.5");
    EXPECT_EQ(FormatDecimal(0, 2.5), "2"); // halves go to the even neighbour
    EXPECT_EQ(FormatDecimal(0, 3.5), "4");
    EXPECT_EQ(FormatDecimal(4, 300000.25), "300000.25");
    EXPECT_EQ(ZeroPad(7, 3), "007");
    EXPECT_EQ(ZeroPad(-7, 3), "-07");
    EXPECT_EQ(ZeroPad(1234, 2), "1234");
}

TEST(StringControllerTest, ReadDecimalAcceptsBothSeparators) {
    EXPECT_DOUBLE_EQ(ReadDecimal("10,16"), 10.16);
    EXPECT_DOUBLE_EQ(ReadDecimal("10.16"), 10.16);
    EXPECT_DOUBLE_EQ(ReadDecimal(" -2,5 "), -2.5);
    EXPECT_DOUBLE_EQ(ReadDecimal("+1e3"), 1000.0);
    for (const char* bad : {"1,234.5", "", "abc", "12cm", "inf", "nan", "1..2", "+"})
        EXPECT_THROW(ReadDecimal(bad), TConvertError) << bad;
    EXPECT_EQ(ReadInteger("-42"), -42);
    for (const char* bad : {"", "4.5", "x", "99999999999"})
        EXPECT_THROW(ReadInteger(bad), TConvertError) << bad;
}

TEST(StringControllerTest, DateTexts) {
    double days = 0;
    ASSERT_TRUE(EncodeDateTime(2007, 1, 5, 14, 5, 9, &days));
    EXPECT_EQ(DateTimeToText(days), "Jan 5 2007, 14:05:09");
    EXPECT_DOUBLE_EQ(TextToDateTime("Jan 5 2007, 14:05:09"), days);
    EXPECT_EQ(DateTimeToText(0), "Dec 30 1899");
    EXPECT_EQ(DateTimeToText(39087), "Jan 5 2007");
    EXPECT_DOUBLE_EQ(TextToDateTime("JAN 5 2007"), 39087);
    EXPECT_DOUBLE_EQ(TextToDateTime("Feb 30 2007"), 2147483647.0);
    EXPECT_DOUBLE_EQ(TextToDateTime("5 2007"), 2147483647.0); // no month
    EXPECT_DOUBLE_EQ(TextToDateTime("Feb 29 2008, 23:59:59"),
                     TextToDateTime("Feb 29 2008") + 86399.0 / 86400.0);
    EXPECT_DOUBLE_EQ(TextToDateTime("Jan 1 2000, 24:00:00"), 2147483647.0);
}

TEST(StringControllerTest, DurationTextsReadBackToTheMillisecond) {
    const double fiveMinutes = (5 * 60 + 3) / 86400.0;
    EXPECT_EQ(DurationToText(fiveMinutes), "0 hours 5 minutes 3 seconds 0 milliseconds");
    EXPECT_EQ(DurationToText(1 + 1 / 24.0 + 1 / 1440.0 + 1 / 86400.0 + 0.001 / 86400.0),
              "1 day 1 hour 1 minute 1 second 1 millisecond");
    for (double d : {0.0, fiveMinutes, 3.25, 12345.678901, 1.0 / 86400000.0}) {
        const double back = TextToDuration(DurationToText(d));
        EXPECT_NEAR(back * 86400000.0, d * 86400000.0, 0.5) << DurationToText(d);
    }
    EXPECT_THROW(TextToDuration("five minutes"), TConvertError);
    EXPECT_THROW(TextToDuration(""), TConvertError);
    EXPECT_THROW(TextToDuration("3 fortnights"), TConvertError);
}
