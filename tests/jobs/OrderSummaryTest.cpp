#include "jobs/OrderSummary.h"

#include <gtest/gtest.h>

namespace {

TOrderPhoto Print(const std::string& file, const std::string& aspect, int ppi) {
    TOrderPhoto photo;
    photo.Choice.File = file;
    photo.Choice.Aspect = aspect;
    photo.Resolution = ppi;
    return photo;
}

TEST(OrderSummaryTest, CountsPrintsPerSizeAndListsThoseBelowTheThreshold) {
    const std::vector<TOrderPhoto> photos = {
        Print("/p/a.jpg", "10x15 cm", 300),         Print("/p/b.jpg", "13x18 cm", 149),
        Print("/p/c.jpg", "10x15 cm", 150),         Print("/p/d.jpg", "Free", -1),
        Print("/p/e, \"odd\".jpg", "10x15 cm", 72), Print("/p/f.jpg", "", -1)};
    const TOrderSummary summary = SummariseOrder(photos, 150);
    ASSERT_EQ(summary.Sizes.size(), 4u);
    EXPECT_EQ(summary.Sizes[0].Aspect, "10x15 cm");
    EXPECT_EQ(summary.Sizes[0].Prints, 3);
    EXPECT_EQ(summary.Sizes[1].Prints, 1);
    // 150 is enough; a size without a physical size has no resolution to judge
    ASSERT_EQ(summary.Low.size(), 2u);
    EXPECT_EQ(summary.Low[0].File, "/p/b.jpg");
    EXPECT_EQ(summary.Low[1].Ppi, 72);

    EXPECT_EQ(OrderSummaryText(summary), "Prints per size:\n"
                                         "  10x15 cm: 3\n"
                                         "  13x18 cm: 1\n"
                                         "  Free: 1\n"
                                         "  (no aspect): 1\n"
                                         "Below 150 ppi at their print size:\n"
                                         "  /p/b.jpg (13x18 cm): 149 ppi\n"
                                         "  /p/e, \"odd\".jpg (10x15 cm): 72 ppi");
    EXPECT_EQ(OrderSummaryCsv(summary),
              "kind,size,prints,file,ppi\r\n"
              "size,10x15 cm,3,,\r\n"
              "size,13x18 cm,1,,\r\n"
              "size,Free,1,,\r\n"
              "size,,1,,\r\n"
              "low resolution,13x18 cm,,/p/b.jpg,149\r\n"
              "low resolution,10x15 cm,,\"/p/e, \"\"odd\"\".jpg\",72\r\n");
    EXPECT_EQ(OrderSummaryText(SummariseOrder({photos[0]}, 150)),
              "Prints per size:\n  10x15 cm: 1\nNo photo is below 150 ppi at its print size.");
}

TEST(OrderSummaryTest, AnAspectNamesAFolderThatStaysInsideTheDestination) {
    const std::pair<const char*, const char*> cases[] = {
        {"10x15 cm", "10x15 cm"},
        {"3.5\" x 5\"", "3.5\" x 5\""},
        {"4/3", "4_3"},
        {"..", "_.."},
        {".", "_."},
        {"", "_"},
        {"  A4  ", "A4"},
        {"a\\b\nc", "a_b_c"},
    };
    for (const auto& [aspect, folder] : cases)
        EXPECT_EQ(AspectFolderName(aspect), folder) << aspect;
}

} // namespace
