// Decoded thumbnails kept within a byte budget, the least recently seen going first.
#include <string>

#include <gtest/gtest.h>

#include "grid/ThumbnailCache.h"

namespace {
TThumbnail Thumb(int32_t w, int32_t h) {
    TThumbnail t;
    t.thumbWidth = w;
    t.thumbHeight = h;
    t.bitmap = TBitmap(w, h, 24);
    return t;
}
bool Has(TThumbnailCache& cache, const std::string& file) {
    return cache.Find(file, 0, 100, true).has_value();
}
} // namespace

TEST(ThumbnailCacheTest, KeepsWithinItsBudgetDroppingTheLeastRecentlySeen) {
    const std::size_t one = TBitmap(100, 100, 24).FileImage().size();
    TThumbnailCache cache(3 * one + 3 * 512); // three of them and what they are kept by
    for (const char* file : {"a", "b", "c"})
        cache.Keep(file, 0, 100, true, Thumb(100, 100));
    EXPECT_EQ(cache.Count(), 3u);
    EXPECT_LE(cache.Bytes(), cache.Budget());

    // "a" seen again: "b" is now the oldest and goes for "d"
    EXPECT_TRUE(Has(cache, "a"));
    cache.Keep("d", 0, 100, true, Thumb(100, 100));
    EXPECT_TRUE(Has(cache, "a"));
    EXPECT_FALSE(Has(cache, "b"));
    EXPECT_TRUE(Has(cache, "c"));
    EXPECT_TRUE(Has(cache, "d"));

    // the same file at another turn, height or orientation is another thumbnail
    EXPECT_FALSE(cache.Find("a", 90, 100, true));
    EXPECT_FALSE(cache.Find("a", 0, 200, true));
    EXPECT_FALSE(cache.Find("a", 0, 100, false));
    // what comes back is the picture kept
    const auto found = cache.Find("d", 0, 100, true);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->bitmap.Width(), 100);

    // kept again, a file replaces its old thumbnail and counts once
    cache.Keep("d", 0, 100, true, Thumb(50, 50));
    EXPECT_EQ(cache.Find("d", 0, 100, true)->bitmap.Width(), 50);
    EXPECT_EQ(cache.Count(), 3u);

    // one larger than the whole budget is not kept, and drops nothing
    cache.Keep("huge", 0, 100, true, Thumb(1000, 1000));
    EXPECT_FALSE(Has(cache, "huge"));
    EXPECT_EQ(cache.Count(), 3u);

    // a smaller budget lets the oldest go at once
    cache.SetBudget(one + 512);
    EXPECT_LE(cache.Bytes(), cache.Budget());
    EXPECT_EQ(cache.Count(), 1u);
    EXPECT_TRUE(Has(cache, "d"));
}
