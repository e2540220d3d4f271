#include "faces/FaceFinder.h"

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "TempDir.h"
#include "core/FilesystemController.h"

namespace fs = std::filesystem;

// Whatever a file holds, finding its faces neither fails nor changes it: a damaged
// or foreign file has none, and faces the photo names are taken without a look.
TEST(FaceFinderTest, EveryFileGivesItsFacesOrNoneAndStaysAsItWas) {
    TTempDir dir;
    samples::MakePhoto(dir.file("photo.jpg"), 320, 240);
    const std::string photo = ReadFileBytes(dir.file("photo.jpg"));
    WriteFileBytes(dir.file("cut short.jpg"), photo.substr(0, photo.size() / 3));
    WriteFileBytes(dir.file("header only.jpg"), photo.substr(0, photo.find("\xFF\xDA")));
    WriteFileBytes(dir.file("text.jpg"), "no JPEG here");
    WriteFileBytes(dir.file("empty.jpg"), "");
    samples::MakePhoto(dir.file("grey.jpg"), 200, 150, "grey");
    samples::MakePhoto(dir.file("fine.jpg"), 330, 200, "4x1");
    samples::Run("convert", {dir.file("photo.jpg"), "-colorspace", "CMYK", dir.file("cmyk.jpg")});
    samples::MakePhoto(dir.file("named ä.jpg"), 320, 240);
    samples::NameFaces(dir.file("named ä.jpg"), 320, 240, {{0.25, 0.5, 0.1, 0.2}, {0.75, 0.5, 0.1, 0.2}});
    // stored sideways: the regions are in the stored picture's pixels all the same
    WriteFileBytes(dir.file("named sideways.jpg"),
                   samples::WithSegment(ReadFileBytes(dir.file("named ä.jpg")),
                                        samples::OrientationExif(6)));

    struct TCase {
        std::string file;
        bool looked; // the detector looked at a picture
        std::vector<TCropRect> named;
    };
    const std::vector<TCropRect> named{{64, 96, 32, 48}, {224, 96, 32, 48}};
    for (const TCase& c : std::vector<TCase>{
             {"photo.jpg", true, {}},
             {"cut short.jpg", true, {}},
             {"header only.jpg", false, {}},
             {"text.jpg", false, {}},
             {"empty.jpg", false, {}},
             {"missing.jpg", false, {}},
             {"grey.jpg", true, {}},
             {"fine.jpg", true, {}},
             {"cmyk.jpg", false, {}},
             {"named ä.jpg", false, named},
             {"named sideways.jpg", false, named},
         }) {
        const std::string path = dir.file(c.file);
        const std::string before = fs::exists(path) ? ReadFileBytes(path) : "";
        const uint64_t looks = FaceDetections();
        const TFoundFaces found = FindFaces(path);
        EXPECT_EQ(FaceDetections() > looks, c.looked) << c.file;
        EXPECT_EQ(found.Named, !c.named.empty()) << c.file;
        if (found.Named) {
            ASSERT_EQ(found.Faces.size(), c.named.size()) << c.file;
            for (std::size_t i = 0; i < c.named.size(); ++i) {
                EXPECT_NEAR(found.Faces[i].x, c.named[i].x, 1) << c.file;
                EXPECT_NEAR(found.Faces[i].y, c.named[i].y, 1) << c.file;
                EXPECT_NEAR(found.Faces[i].width, c.named[i].width, 1) << c.file;
                EXPECT_NEAR(found.Faces[i].height, c.named[i].height, 1) << c.file;
            }
        } else {
            EXPECT_TRUE(found.Faces.empty()) << c.file << ": a pattern has no faces";
        }
        if (!before.empty()) EXPECT_TRUE(ReadFileBytes(path) == before) << c.file;
    }
}

// On a photo of people (with face boxes drawn by others), the faces found are theirs,
// in the stored picture's pixels, also when the photo is stored sideways.
TEST(FaceFinderTest, FindsPeoplesFacesWhereTheyAre) {
    const fs::path people = fs::path(TRIMVALE_FACE_PHOTOS) / "images/dlib_2008_002470_full.jpg";
    if (!fs::exists(people)) GTEST_SKIP() << "no photos of people at " << people;
    // 1600x1062
    const std::vector<TCropRect> truth{{877, 579, 166, 170}, {176, 499, 141, 141},
                                       {467, 531, 118, 118}, {1053, 176, 141, 141},
                                       {746, 237, 141, 141}, {570, 275, 118, 118}};
    const auto centreIn = [](const TCropRect& a, const TCropRect& b) {
        const int x = a.x + a.width / 2, y = a.y + a.height / 2;
        return x >= b.x && x <= b.x + b.width && y >= b.y && y <= b.y + b.height;
    };
    TTempDir dir;
    // the same picture stored turned a quarter left, with the orientation that shows it upright
    samples::Run("jpegtran",
                 {"-rotate", "270", "-trim", "-outfile", dir.file("stored.jpg"), people.string()});
    WriteFileBytes(dir.file("sideways.jpg"),
                   samples::WithSegment(ReadFileBytes(dir.file("stored.jpg")),
                                        samples::OrientationExif(6)));
    struct TCase {
        std::string file;
        bool sideways;
    };
    for (const TCase& c : {TCase{people.string(), false}, TCase{dir.file("sideways.jpg"), true}}) {
        const TFoundFaces found = FindFaces(c.file);
        EXPECT_FALSE(found.Named);
        EXPECT_GE(found.Faces.size(), truth.size() / 2) << c.file;
        for (TCropRect f : found.Faces) {
            // back into the upright picture, whose stored top is its left
            if (c.sideways) f = {1600 - f.y - f.height, f.x, f.height, f.width};
            bool matched = false;
            for (const TCropRect& t : truth)
                matched = matched || (centreIn(f, t) && centreIn(t, f));
            EXPECT_TRUE(matched) << c.file << ": a face found at " << f.x << "," << f.y;
        }
    }
}
