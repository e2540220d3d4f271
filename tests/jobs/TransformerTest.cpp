#include "jobs/Transformer.h"

#include <filesystem>

#include <unistd.h>

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "TempDir.h"

using namespace samples;

TEST(TransformerTest, BuildsArgumentStringsAndTheVectorsPassed) {
    struct Case {
        std::string name;
        TTransformCall call;
        std::string text;
        std::vector<std::string> args;
    };
    const TCropSpec turned{16, 32, 1600, 1200, 90, "defined"};
    const TCropSpec whole{0, 0, 4000, 3000, 0, "nocrop"};
    const TCropSpec upsideDown{0, 0, 640, 480, 180, "nocrop"};
    const TCropSpec free{0, 8, 7, 100, 0, "free"};
    const Case cases[] = {
        {"both options, rotation and crop",
         CropCall(TransformOptions(true, true), turned, "a.jpg", "b.jpg"),
         " -copy all -optimize -rotate 90 -trim -crop 1600x1200+16+32 \"a.jpg\" \"b.jpg\"",
         {"-copy", "all", "-optimize", "-rotate", "90", "-trim", "-crop", "1600x1200+16+32",
          "-outfile", "b.jpg", "a.jpg"}},
        {"whole image, no options",
         CropCall(TransformOptions(false, false), whole, "/p/a b.jpg", "/q/c.jpg"),
         " \"/p/a b.jpg\" \"/q/c.jpg\"",
         {"-outfile", "/q/c.jpg", "/p/a b.jpg"}},
        {"optimize only, turned without crop",
         CropCall(TransformOptions(false, true), upsideDown, "s", "d"),
         " -optimize -rotate 180 -trim \"s\" \"d\"",
         {"-optimize", "-rotate", "180", "-trim", "-outfile", "d", "s"}},
        {"metadata only, free crop",
         CropCall(TransformOptions(true, false), free, "s", "d"),
         " -copy all -crop 7x100+0+8 \"s\" \"d\"",
         {"-copy", "all", "-crop", "7x100+0+8", "-outfile", "d", "s"}},
        {"landscape turn",
         LandscapeTurnCall(TransformOptions(true, true), "/o/x.jpg"),
         " -copy all -optimize -rotate 90 \"/o/x.jpg\" \"/o/x.jpg\"",
         {"-copy", "all", "-optimize", "-rotate", "90", "-outfile", "/o/x.jpg", "/o/x.jpg"}},
        {"preview",
         PreviewCall(turned, "/s/a.jpg", "/tmp/CropPreview.jpg"),
         " -rotate 90 -trim -crop 1600x1200+16+32 \"/s/a.jpg\" \"/tmp/CropPreview.jpg\"",
         {"-rotate", "90", "-trim", "-crop", "1600x1200+16+32", "-outfile", "/tmp/CropPreview.jpg",
          "/s/a.jpg"}},
        {"preview of the whole image",
         PreviewCall(whole, "s.jpg", "p.jpg"),
         " \"s.jpg\" \"p.jpg\"",
         {"-outfile", "p.jpg", "s.jpg"}},
        // a relative source starting with a dash must not be taken for a switch
        {"dashed names",
         CropCall(TransformOptions(false, false), whole, "-in.jpg", "-out.jpg"),
         " \"-in.jpg\" \"-out.jpg\"",
         {"-outfile", "-out.jpg", "./-in.jpg"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call.ArgumentString(), c.text) << c.name;
        EXPECT_EQ(c.call.Arguments(), c.args) << c.name;
    }
    EXPECT_EQ(TransformArguments(turned).ArgumentString(),
              " -rotate 90 -trim -crop 1600x1200+16+32");
    EXPECT_EQ(TransformArguments(whole).ArgumentString(), "");
    // the EXIF orientation shown upright, then the user's turn on top: one switch
    const std::pair<TCropSpec, const char*> upright[] = {
        {{0, 0, 0, 0, 90, "nocrop", 6}, " -rotate 180 -trim"},
        {{0, 0, 0, 0, 270, "nocrop", 6}, ""},
        {{0, 0, 0, 0, 0, "nocrop", 8}, " -rotate 270 -trim"},
        {{0, 0, 0, 0, 0, "nocrop", 2}, " -flip horizontal -trim"},
        {{0, 0, 0, 0, 90, "nocrop", 2}, " -transverse -trim"},
        {{0, 0, 0, 0, 0, "nocrop", 4}, " -flip vertical -trim"},
        {{16, 0, 8, 8, 0, "free", 5}, " -transpose -crop 8x8+16+0"}, // nothing to trim
        {{0, 0, 0, 0, 0, "nocrop", 9}, ""},                          // no such orientation
    };
    for (const auto& [cut, text] : upright)
        EXPECT_EQ(TransformArguments(cut).ArgumentString(), text) << cut.Orientation;
}

TEST(TransformerTest, FindsTheTransformerAndRunsItOnAwkwardNames) {
    const std::string tool = FindTransformer();
    ASSERT_FALSE(tool.empty());
    EXPECT_EQ(tool.substr(tool.size() - 8), "jpegtran");

    TTempDir dir;
    const std::string names[] = {"with space.jpg", "quote\"d 'x'.jpg", "$(touch pwned).jpg",
                                 "-dash.jpg", "Fötö äöü 写真.jpg"};
    MakePhoto(dir.file("src.jpg"), 64, 48);
    const std::string cwd = std::filesystem::current_path();
    ASSERT_EQ(chdir(dir.path().c_str()), 0); // relative names reach the tool as they are
    for (const std::string& name : names) {
        std::filesystem::copy_file("src.jpg", name);
        const std::string out = "out " + name;
        RunTransformer(tool, CropCall(TransformOptions(true, true),
                                      TCropSpec{16, 16, 32, 16, 0, "defined"}, name, out));
        const TPixels p = Decode(out);
        EXPECT_EQ(p.Width, 32) << name;
        EXPECT_EQ(p.Height, 16) << name;
        // a dashed relative output name is still a name, not a switch
        const std::string dashed = "-" + name;
        RunTransformer(tool, CropCall(TransformOptions(false, false), TCropSpec{}, name, dashed));
        EXPECT_EQ(Decode("./" + dashed).Width, 64) << name;
    }
    EXPECT_FALSE(std::filesystem::exists("pwned"));
    for (const std::string& name : names)
        EXPECT_EQ(ReadFileBytes(name), ReadFileBytes("src.jpg"));
    ASSERT_EQ(chdir(cwd.c_str()), 0);
}
