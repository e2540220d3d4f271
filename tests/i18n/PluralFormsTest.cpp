#include "i18n/PluralForms.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

// The rules catalogues carry, read from their header line, give each number
// its form; a rule that cannot be read leaves English's.
TEST(PluralFormsTest, RulesGiveEachNumberItsForm) {
    struct TCase {
        const char* header;
        unsigned long count;
        std::vector<unsigned long> forms; // by the numbers below
    };
    const unsigned long numbers[] = {0, 1, 2, 3, 4, 5, 11, 12, 21, 22, 112};
    const TCase cases[] = {
        {"Plural-Forms: nplurals=2; plural=(n != 1);\n", 2, {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"Plural-Forms: nplurals=1; plural=0;\n", 1, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"Plural-Forms: nplurals=3; plural=(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<12 || "
         "n%100>14) ? 1 : 2);\n",
         3,
         {2, 0, 1, 1, 1, 2, 2, 2, 2, 1, 2}},
        // French counts 0 as singular; no blanks at all
        {"Content-Type: text/plain\nPlural-Forms:nplurals=2;plural=n>1;\n",
         2,
         {0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        // Russian-style, with !, - and * mixed in to exercise the operators
        {"Plural-Forms: nplurals=3; plural=n%10==1 && n%100!=11 ? 0 : !(n%10<2 || n%10>4) && "
         "(n%100<10 || n%100>=20) ? 1 : 2*1-0+0;",
         3,
         {2, 0, 1, 1, 1, 2, 2, 2, 0, 1, 2}},
        // broken rules: English's stays
        {"Plural-Forms: nplurals=2; plural=(n != 1;\n", 2, {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"Plural-Forms: nplurals=2; plural=n % 0;\n", 2, {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"Plural-Forms: nplurals=0; plural=0;\n", 2, {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"Plural-Forms: nplurals=2; plural=n ? m : 1;\n", 2, {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {"", 2, {1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
        // a form past the count is the first
        {"Plural-Forms: nplurals=2; plural=n;\n", 2, {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const TCase& c : cases) {
        const TPluralForms rule = TPluralForms::FromHeader(c.header);
        EXPECT_EQ(rule.Count(), c.count) << c.header;
        for (std::size_t i = 0; i < std::size(numbers); ++i)
            EXPECT_EQ(rule.FormOf(numbers[i]), c.forms[i]) << c.header << " n=" << numbers[i];
    }
}
