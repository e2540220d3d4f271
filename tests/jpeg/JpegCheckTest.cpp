#include "jpeg/JpegCheck.h"

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "TempDir.h"

// A photo is whole only up to its end-of-image marker: cut anywhere before
// it (headers, tables, scan data, the marker itself) it is not, whatever
// follows the marker does not matter, and stuffed bytes and restart markers
// inside the scan are no end.
TEST(JpegCheckTest, OnlyAPhotoThatReachesItsEndIsWhole) {
    TTempDir dir;
    for (const std::string sampling : {"2x2", "1x1"}) {
        SCOPED_TRACE(sampling);
        samples::MakePhoto(dir.file("p.jpg"), 96, 64, sampling);
        samples::Run("jpegtran",
                     {"-restart", "1", "-outfile", dir.file("r.jpg"), dir.file("p.jpg")});
        samples::Run("jpegtran",
                     {"-progressive", "-outfile", dir.file("g.jpg"), dir.file("p.jpg")});
        for (const char* name : {"p.jpg", "r.jpg", "g.jpg"}) {
            const std::string whole = ReadFileBytes(dir.file(name));
            ASSERT_GT(whole.size(), 200u) << name;
            EXPECT_TRUE(IsCompleteJpegData(whole)) << name;
            EXPECT_TRUE(IsCompleteJpeg(dir.file(name))) << name;
            EXPECT_TRUE(IsCompleteJpegData(whole + "trailing data")) << name;
            for (std::size_t cut = 0; cut < whole.size(); cut += 7)
                EXPECT_FALSE(IsCompleteJpegData(whole.substr(0, cut))) << name << " " << cut;
            EXPECT_FALSE(IsCompleteJpegData(whole.substr(0, whole.size() - 1))) << name;
        }
    }
    // an end marker with no picture before it is no photo
    EXPECT_FALSE(IsCompleteJpegData(std::string("\xFF\xD8\xFF\xD9", 4)));
    EXPECT_FALSE(IsCompleteJpeg(dir.file("missing.jpg")));
}
