#include "jobs/CropJob.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <numeric>
#include <sstream>
#include <thread>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "JpegSamples.h"
#include "TempDir.h"
#include "core/Error.h"
#include "core/StringController.h"
#include "i18n/gnugettext.h"
#include "jpeg/JpegThumbnail.h"
#include "model/CropArea.h"

using namespace samples;
namespace fs = std::filesystem;

namespace {
/// A job on a fresh photo in its own folder; checks at the end that the
/// source's bytes never changed and that no scratch file was left behind.
class TJobFixture {
public:
    explicit TJobFixture(const std::string& sourceName = "source.jpg", int w = 160, int h = 128,
                         const std::string& sampling = "2x2") {
        fs::create_directory(dir.file("out"));
        job.Tool = FindTransformer();
        job.Source = dir.file(sourceName);
        job.Output = dir.file("out/result.jpg");
        MakePhoto(job.Source, w, h, sampling);
        original = ReadFileBytes(job.Source);
    }
    ~TJobFixture() {
        EXPECT_EQ(ReadFileBytes(job.Source), original) << "the source changed";
        for (const auto& e : fs::directory_iterator(dir.file("out")))
            EXPECT_EQ(e.path().filename().string().find(".trimvale"), std::string::npos);
    }
    void AddExif(bool bigEndian) {
        original = original.substr(0, 2) + ExifSegment(ExifTiff(bigEndian)) + original.substr(2);
        WriteFileBytes(job.Source, original);
    }

    TTempDir dir;
    TCropJob job;
    std::string original;
};
} // namespace

TEST(CropJobTest, CutsLosslesslyOnBothSamplings) {
    for (const std::string sampling : {"1x1", "2x2"}) {
        SCOPED_TRACE(sampling);
        TJobFixture f("source.jpg", 160, 128, sampling);
        f.job.Crop = {32, 48, 96, 64, 0, "defined"};
        const TCropResult r = RunCropJob(f.job);
        ASSERT_EQ(r.Outcome, TCropOutcome::Written) << r.Reason();
        const TPixels cut = Decode(f.job.Output);
        ASSERT_EQ(cut.Width, 96);
        ASSERT_EQ(cut.Height, 64);
        EXPECT_TRUE(cut == Decode(f.job.Source).Region(32, 48, 96, 64));

        f.job.Crop = {0, 0, 0, 0, 0, "nocrop"}; // replaces the earlier result
        ASSERT_EQ(RunCropJob(f.job).Outcome, TCropOutcome::Written);
        EXPECT_TRUE(Decode(f.job.Output) == Decode(f.job.Source));
    }
}

TEST(CropJobTest, TurnsAndCropsInTheTurnedImage) {
    struct Case {
        TCropSpec crop;
        bool landscape;
        int width, height;
    };
    const Case cases[] = {
        {{16, 32, 64, 96, 90, "defined"}, false, 64, 96},
        {{16, 32, 64, 96, 0, "defined"}, true, 96, 64},    // portrait result turned to landscape
        {{0, 0, 64, 64, 0, "fixed"}, true, 64, 64},        // a square stays
        {{0, 0, 160, 128, 270, "nocrop"}, true, 128, 160}, // wider than high: not turned
        {{0, 16, 128, 112, 90, "free"}, true, 128, 112},
    };
    for (const Case& c : cases) {
        TJobFixture f;
        f.job.Crop = c.crop;
        f.job.Options.AutoRotateToLandscapeAfterCrop = c.landscape;
        ASSERT_EQ(RunCropJob(f.job).Outcome, TCropOutcome::Written);
        const TPixels p = Decode(f.job.Output);
        EXPECT_EQ(p.Width, c.width) << c.crop.Rotation << " " << c.crop.Kind;
        EXPECT_EQ(p.Height, c.height) << c.crop.Rotation << " " << c.crop.Kind;
    }
}

TEST(CropJobTest, WritesTheResolutionThroughExifOrJfif) {
    for (const bool big : {false, true}) {
        TJobFixture f;
        f.AddExif(big);
        f.job.Crop = {0, 0, 96, 64, 0, "defined"};
        f.job.Resolution = 300;
        ASSERT_EQ(RunCropJob(f.job).Outcome, TCropOutcome::Written);
        EXPECT_EQ(Tag(f.job.Output, "IFD0:XResolution"), "300");
        EXPECT_EQ(Tag(f.job.Output, "IFD0:YResolution"), "300");
        EXPECT_EQ(Markers(ReadFileBytes(f.job.Output))[0], 0xE1);
    }
    TJobFixture f;
    f.AddExif(false);
    f.job.Resolution = 254;
    f.job.Options.CopyMetadats = false; // EXIF dropped: the JFIF header carries it
    ASSERT_EQ(RunCropJob(f.job).Outcome, TCropOutcome::Written);
    EXPECT_EQ(Tag(f.job.Output, "IFD0:XResolution"), "");
    EXPECT_EQ(Tag(f.job.Output, "JFIF:XResolution"), "254");
    EXPECT_EQ(Tag(f.job.Output, "JFIF:ResolutionUnit"), "1");

    f.job.Options.UpdatePPI = false;
    ASSERT_EQ(RunCropJob(f.job).Outcome, TCropOutcome::Written);
    EXPECT_EQ(Tag(f.job.Output, "JFIF:XResolution"), "1"); // as the transformer wrote it
    f.job.Options.UpdatePPI = true;
    f.job.Resolution = -1;
    ASSERT_EQ(RunCropJob(f.job).Outcome, TCropOutcome::Written);
    EXPECT_EQ(Tag(f.job.Output, "JFIF:XResolution"), "1");
}

TEST(CropJobTest, CopiesTimesAndPermissionsWhenAsked) {
    TJobFixture f;
    const timespec times[2] = {{1000000000, 0}, {1200000000, 500}};
    ASSERT_EQ(utimensat(AT_FDCWD, f.job.Source.c_str(), times, 0), 0);
    chmod(f.job.Source.c_str(), 0440);
    f.job.Options.CopyFileDates = true;
    f.job.Options.CopyFilepermissions = true;
    ASSERT_EQ(RunCropJob(f.job).Outcome, TCropOutcome::Written);
    struct stat st;
    ASSERT_EQ(stat(f.job.Output.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(st.st_mode & 0777, 0440u);

    f.job.Options = TCropOptions{}; // a read-only earlier result is replaced and stays so
    ASSERT_EQ(RunCropJob(f.job).Outcome, TCropOutcome::Written);
    ASSERT_EQ(stat(f.job.Output.c_str(), &st), 0);
    EXPECT_NE(st.st_mtim.tv_sec, 1200000000);
    EXPECT_EQ(st.st_mode & 0777, 0440u);
}

TEST(CropJobTest, AFailedCallLeavesAnEarlierOutputAndReportsTheCall) {
    TJobFixture f;
    WriteFileBytes(f.job.Output, "an earlier result");
    const std::string good = f.job.Source;
    struct Case {
        std::string name, source, tool;
    };
    WriteFileBytes(f.dir.file("broken.jpg"), "not a jpeg");
    const Case cases[] = {
        {"not a jpeg", f.dir.file("broken.jpg"), f.job.Tool},
        {"no transformer", good, f.dir.file("jpegtran")},
    };
    for (const Case& c : cases) {
        TCropJob job = f.job;
        job.Source = c.source;
        job.Tool = c.tool;
        const TCropResult r = RunCropJob(job);
        EXPECT_EQ(r.Outcome, TCropOutcome::TransformFailed) << c.name;
        EXPECT_EQ(r.ArgumentString.substr(0, 23), " -copy all -optimize \"" + c.source.substr(0, 1))
            << c.name;
        EXPECT_NE(r.ArgumentString.find("\"" + c.source + "\""), std::string::npos) << c.name;
        // the call as the user would type it, not the scratch file it wrote into
        EXPECT_EQ(r.ArgumentString.substr(r.ArgumentString.size() - f.job.Output.size() - 3),
                  " \"" + f.job.Output + "\"")
            << c.name;
        EXPECT_EQ(ReadFileBytes(f.job.Output), "an earlier result") << c.name;
    }
    // a source deleted or turned into a FIFO since it was shown: the system's reason
    ASSERT_EQ(mkfifo(f.dir.file("fifo.jpg").c_str(), 0600), 0);
    for (const char* name : {"missing.jpg", "fifo.jpg"}) {
        TCropJob job = f.job;
        job.Source = f.dir.file(name);
        const TCropResult r = RunCropJob(job);
        EXPECT_EQ(r.Outcome, TCropOutcome::Refused) << name;
        EXPECT_EQ(r.Reason(), "Unable to read " + job.Source + ": " +
                                  (name[0] == 'm' ? std::strerror(ENOENT) : "Not a regular file"));
        EXPECT_EQ(ReadFileBytes(f.job.Output), "an earlier result") << name;
    }
}

TEST(CropJobTest, FailuresNameTheOutputAndTheReasonInTheChosenLanguage) {
    TJobFixture f;
    fs::create_directory(f.job.Output); // a folder where the file should go
    struct Case {
        std::string language, replace, noName;
    };
    const Case cases[] = {
        {"en_US", "Unable to replace %1: %2", "No output file name for %1"},
        {"de_DE", "%1 kann nicht ersetzt werden: %2", "Kein Name für die Ausgabedatei von %1"},
    };
    for (const Case& c : cases) {
        SelectLanguage(c.language);
        const TCropResult r = RunCropJob(f.job);
        EXPECT_EQ(r.Outcome, TCropOutcome::TransformFailed);
        EXPECT_EQ(r.ArgumentString,
                  " -copy all -optimize \"" + f.job.Source + "\" \"" + f.job.Output + "\"");
        EXPECT_EQ(r.Reason(), FillPlaceholders(c.replace, {f.job.Output, std::strerror(EISDIR)}));
        TCropJob unnamed = f.job;
        unnamed.Output = "";
        EXPECT_EQ(RunCropJob(unnamed).Reason(), FillPlaceholders(c.noName, {f.job.Source}));
    }
    SelectLanguage("en_US");
    fs::remove(f.job.Output);
    fs::create_symlink("result.jpg", f.job.Output); // a link onto itself
    const TCropResult loop = RunCropJob(f.job);
    EXPECT_EQ(loop.Outcome, TCropOutcome::Refused);
    EXPECT_EQ(loop.Reason(), "Unable to replace " + f.job.Output + ": " + std::strerror(ELOOP));
}

TEST(CropJobTest, AReplacedOutputKeepsItsModeAndItsLink) {
    struct Case {
        std::string link; // what the output links to, "" for a plain file
        bool copyPermissions;
        fs::perms expected;
    };
    const fs::perms rw = fs::perms::owner_read | fs::perms::owner_write;
    const Case cases[] = {
        {"", false, rw},
        {"", true, rw | fs::perms::group_read}, // the source's mode, when asked for
        {"../kept/real.jpg", false, rw},
        {"chain.jpg", false, rw}, // a link to an absolute link
        {"../kept/real.jpg", true, rw | fs::perms::group_read},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link + (c.copyPermissions ? " copying" : ""));
        TJobFixture f;
        chmod(f.job.Source.c_str(), 0640);
        fs::create_directory(f.dir.file("kept"));
        const std::string real = c.link.empty() ? f.job.Output : f.dir.file("kept/real.jpg");
        WriteFileBytes(real, "an earlier result");
        chmod(real.c_str(), 0600);
        fs::create_symlink(f.dir.file("kept/real.jpg"), f.dir.file("out/chain.jpg"));
        if (!c.link.empty()) fs::create_symlink(c.link, f.job.Output);
        f.job.Crop = {0, 0, 64, 48, 0, "defined"};
        f.job.Options.CopyFilepermissions = c.copyPermissions;
        ASSERT_EQ(RunCropJob(f.job).Outcome, TCropOutcome::Written);
        EXPECT_EQ(fs::is_symlink(f.job.Output), !c.link.empty());
        EXPECT_EQ(Decode(real).Width, 64);
        EXPECT_EQ(fs::status(real).permissions(), c.expected);
        EXPECT_EQ(std::distance(fs::directory_iterator(f.dir.file("kept")), {}),
                  c.link.empty() ? 0 : 1);
    }
}

TEST(CropJobTest, RefusesToWriteOverTheSource) {
    SelectLanguage("en_US");
    TJobFixture f;
    fs::create_symlink(f.job.Source, f.dir.file("out/link.jpg"));
    const std::string spellings[] = {f.job.Source, f.dir.path() + "/out/../source.jpg",
                                     f.dir.path() + "//./source.jpg", f.dir.file("out/link.jpg")};
    for (const std::string& output : spellings) {
        TCropJob job = f.job;
        job.Output = output;
        const TCropResult r = RunCropJob(job);
        EXPECT_EQ(r.Outcome, TCropOutcome::Refused) << output;
        EXPECT_NE(r.Reason().find("is the source file itself"), std::string::npos) << r.Reason();
    }
    TCropJob job = f.job;
    job.Output = f.dir.file("no such folder/x.jpg");
    EXPECT_EQ(RunCropJob(job).Outcome, TCropOutcome::Refused);
    job.Output = "";
    EXPECT_EQ(RunCropJob(job).Outcome, TCropOutcome::Refused);
}

TEST(CropJobTest, CutsFilesWithAwkwardNames) {
    for (const std::string name :
         {"a b 'c' \"d\".jpg", "$(touch pwned) `id`.jpg", "-dash.jpg", "Ærø Café 写真.jpeg"}) {
        TJobFixture f(name);
        f.job.Output = f.dir.file("out/" + name);
        f.job.Crop = {16, 16, 48, 32, 0, "defined"};
        f.job.Resolution = 300;
        ASSERT_EQ(RunCropJob(f.job).Outcome, TCropOutcome::Written) << name;
        EXPECT_EQ(Decode(f.job.Output).Width, 48) << name;
        EXPECT_EQ(Tag(f.job.Output, "JFIF:XResolution"), "300") << name;
        EXPECT_FALSE(fs::exists(f.dir.file("pwned")));
    }
}

namespace {
/// The area a frame shows on the file, turned by the given degrees.
void LoadFrameArea(TCropArea& area, const std::string& file, int rotation) {
    area.UseBlockGrid();
    area.Turn(rotation, TJpegView());
    area.Open(ViewOf(ReadJpegLayout(file), true, rotation));
    area.SetCropVisible(true);
}

/// The block (iMCU) of a photo that cjpeg made with "-sample HxV": 8 x H by 8 x V
/// pixels; one grey component has 8x8 blocks.
std::pair<int, int> BlockOf(const std::string& sampling) {
    if (sampling == "grey") return {8, 8};
    return {8 * (sampling[0] - '0'), 8 * (sampling[2] - '0')};
}

/// Where the stored pixel (x, y) of a w x h picture lands when the picture is
/// mirrored left to right (when asked), then turned clockwise by quarters x 90.
std::pair<int, int> Landing(bool mirror, int quarters, int w, int h, int x, int y) {
    if (mirror) x = w - 1 - x;
    for (int q = 0; q < quarters; ++q) {
        std::tie(x, y) = std::pair(h - 1 - y, x);
        std::swap(w, h);
    }
    return {x, y};
}

/// The strips a turned view leaves out at its left and top. Only the stored
/// right and bottom edges hold partial blocks (the size modulo the block on
/// that axis); jpegtran cannot move a partial block, so where the turn brings
/// such an edge to the left or the top, that strip cannot be cut.
std::pair<int, int> LeftOutStrips(bool mirror, int quarters, int w, int h, int bw, int bh) {
    int left = 0, top = 0;
    const auto edge = [&](std::pair<int, int> a, std::pair<int, int> b, int strip) {
        const auto [ax, ay] = Landing(mirror, quarters, w, h, a.first, a.second);
        const auto [bx, by] = Landing(mirror, quarters, w, h, b.first, b.second);
        if (ax == 0 && bx == 0) left = strip;
        if (ay == 0 && by == 0) top = strip;
    };
    edge({w - 1, 0}, {w - 1, h - 1}, w % bw); // the stored right edge
    edge({0, h - 1}, {w - 1, h - 1}, h % bh); // the stored bottom edge
    return {left, top};
}
} // namespace

// The core promise, swept in the way of libjpeg-turbo's croptest: for every
// sampling, with sizes that leave partial blocks on both axes, under every EXIF
// orientation and every turn, the whole view and a fixed area in three places
// (corner, middle, far corner; portrait ones also turned to landscape) come out
// as the same region of the truly turned photo.
TEST(CropJobTest, TurnedCutsMatchTheTrulyTurnedPhoto) {
    constexpr int kWidth = 123, kHeight = 85;
    for (const std::string sampling : {"1x1", "2x1", "2x2", "1x2", "4x1", "grey"}) {
        TJobFixture f("plain.jpg", kWidth, kHeight, sampling);
        const TPixels stored = Decode(f.job.Source);
        ASSERT_EQ(stored.Width, kWidth);
        const auto [bw, bh] = BlockOf(sampling);
        for (int orientation = 1; orientation <= 8; ++orientation) {
            const std::string source = f.dir.file("o" + std::to_string(orientation) + ".jpg");
            WriteFileBytes(source, WithSegment(f.original, OrientationExif(orientation)));
            const TTurn upright = OrientationTurn(orientation);
            for (int rotation = 0; rotation < 360; rotation += 90) {
                SCOPED_TRACE(sampling + " orientation " + std::to_string(orientation) +
                             " rotation " + std::to_string(rotation));
                TCropArea area;
                LoadFrameArea(area, source, rotation);
                const TTurn turn = upright.Then(rotation);
                const TPixels truth = stored.Turned(turn.mirror, turn.quarters);
                const auto [left, top] =
                    LeftOutStrips(turn.mirror, turn.quarters, kWidth, kHeight, bw, bh);
                ASSERT_EQ(area.ImageWidth(), truth.Width - left);
                ASSERT_EQ(area.ImageHeight(), truth.Height - top);
                // the cut starts on the block grid of the view as well as on the frame's
                const bool swaps = turn.quarters % 2 == 1;
                const int gridX = std::lcm(16, swaps ? bh : bw),
                          gridY = std::lcm(16, swaps ? bw : bh);
                // portrait results are turned to landscape in the cut: whole-block heights
                area.SetWholeBlockPortrait(true);
                const int w = area.ImageWidth(), h = area.ImageHeight();
                area.SetAspect("fixed", w - 40, h - 40);
                area.Maximize();
                struct Cut {
                    TCropRect rect;
                    const char* kind;
                    bool landscape;
                };
                std::vector<Cut> cuts{{{0, 0, w, h}, "nocrop", false}};
                for (const auto [x, y] : {std::pair(0, 0), std::pair(20, 20), std::pair(w, h)}) {
                    area.SetPosition(x, y);
                    const TCropRect r = area.GetCrop();
                    EXPECT_EQ(r.x % gridX, 0) << x;
                    EXPECT_EQ(r.y % gridY, 0) << y;
                    cuts.push_back({r, "fixed", false});
                }
                if (cuts.back().rect.height > cuts.back().rect.width)
                    cuts.push_back({cuts.back().rect, "fixed", true});
                for (const Cut& c : cuts) {
                    const TCropRect& r = c.rect;
                    SCOPED_TRACE(std::string(c.kind) + " at " + std::to_string(r.x) + "," +
                                 std::to_string(r.y) + (c.landscape ? " to landscape" : ""));
                    TCropJob job = f.job;
                    job.Source = source;
                    job.Crop = {r.x, r.y, r.width, r.height, rotation, c.kind, orientation};
                    job.Options.AutoRotateToLandscapeAfterCrop = c.landscape;
                    ASSERT_EQ(RunCropJob(job).Outcome, TCropOutcome::Written);
                    const TPixels cut = Decode(job.Output);
                    const TPixels expected = truth.Region(r.x + left, r.y + top, r.width, r.height)
                                                 .Turned(false, c.landscape);
                    ASSERT_EQ(cut.Width, expected.Width);
                    ASSERT_EQ(cut.Height, expected.Height);
                    // the same blocks decoded in another turn differ by rounding only
                    EXPECT_LE(cut.MaxDifference(expected), 6);
                    // as viewers show it (exiftool is slow: once per orientation)
                    if (sampling == "2x2" && rotation == 0 && &c == &cuts.front()) {
                        EXPECT_EQ(Tag(job.Output, "IFD0:Orientation"), "1");
                    }
                }
            }
        }
    }
}

// What a command line cuts without a window: a new frame's proposal from the header.
TEST(CropJobTest, ProposesWhatANewFrameWould) {
    TTempDir dir;
    struct Case {
        std::string sampling;
        int orientation;
        bool honour;
        TCropRect crop;
        bool flipped;
    };
    const Case cases[] = {
        // upright 128x211 (the partial rows that the turn cannot move left out): 10x15 portrait
        {"2x2", 6, true, {0, 0, 128, 192}, true},
        {"2x2", 6, false, {0, 0, 199, 132}, false}, // as stored: 15x10 across
        {"4x1", 1, true, {0, 0, 199, 132}, false},
        {"4x1", 3, true, {0, 0, 192, 128}, false}, // upside down: 4:1:1 blocks of 32 across
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sampling + " " + std::to_string(c.orientation));
        const std::string plain = dir.file("plain.jpg"), file = dir.file("photo.jpg");
        MakePhoto(plain, 211, 133, c.sampling);
        WriteFileBytes(file, WithSegment(ReadFileBytes(plain), OrientationExif(c.orientation)));
        const TCropProposal p = ProposeCrop(file, "cm", 15, 10, true, c.honour);
        EXPECT_EQ(p.crop, c.crop);
        EXPECT_EQ(p.flipped, c.flipped);
        EXPECT_EQ(p.kind, "defined");
        EXPECT_EQ(p.orientation, c.honour ? c.orientation : 1);
    }
    EXPECT_THROW(ProposeCrop(dir.file("missing.jpg"), "cm", 15, 10, true, true), TError);
}

namespace {
/// A stand-in for jpegtran: a shell script given its body; "$OUT" is the file
/// it was asked to write.
std::string StandIn(const TTempDir& dir, const std::string& name, const std::string& body) {
    const std::string path = dir.file(name);
    WriteFileBytes(path, "#!/bin/sh\nwhile [ $# -gt 1 ]; do [ \"$1\" = -outfile ] && OUT=$2; "
                         "shift; done\n" +
                             body + "\n");
    chmod(path.c_str(), 0755);
    return path;
}
} // namespace

// However the transformer fails, the earlier output stays as it was byte for
// byte, nothing is left beside it, and the reason is jpegtran's own.
TEST(CropJobTest, AFailingTransformerLeavesTheEarlierOutputAndSaysWhy) {
    SelectLanguage("en_US");
    struct Case {
        std::string name, body, reason;
    };
    const std::string half = "head -c 300 \"$0\" > \"$OUT\"; ";
    const Case cases[] = {
        {"exit 1", half + "echo 'jpegtran: bad things' >&2; exit 1", "jpegtran failed: bad things"},
        {"signal", half + "kill -SEGV $$", "jpegtran was ended by signal SIGSEGV"},
        {"time limit", half + "exec sleep 30", "jpegtran did not finish in 1 s"},
        {"full disk", half + "echo 'Output file write error --- out of disk space?' >&2; exit 1",
         "The disk holding %1 is full (jpegtran: Output file write error --- out of disk space?)"},
        {"status 0, half a file", "head -c 300 \"$IN\" > \"$OUT\"",
         "jpegtran wrote an incomplete file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TJobFixture f;
        WriteFileBytes(f.job.Output, "an earlier result");
        // the last case copies the real photo's start, so it looks like a JPEG
        f.job.Tool = StandIn(f.dir, "jpegtran", "IN=\"" + f.job.Source + "\"; " + c.body);
        f.job.Options.TransformerTimeout = 1;
        const auto start = std::chrono::steady_clock::now();
        const TCropResult r = RunCropJob(f.job);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        EXPECT_EQ(r.Outcome, TCropOutcome::TransformFailed);
        std::string reason = c.reason;
        if (const auto at = reason.find("%1"); at != std::string::npos)
            reason.replace(at, 2, f.dir.file("out"));
        EXPECT_EQ(r.Reason(), reason);
        EXPECT_EQ(ReadFileBytes(f.job.Output), "an earlier result");
    }
}

TEST(CropJobTest, WhatIsWrittenIsWhatWasPlanned) {
    SelectLanguage("en_US");
    struct Case {
        std::string name;
        std::function<void(TJobFixture&)> change; // between choosing the area and the job
        TCropOutcome outcome;
        std::string reason;
    };
    const std::string changed = "The photo %1 has changed since it was added";
    const Case cases[] = {
        {"turned by another program", [](TJobFixture& f) { MakePhoto(f.job.Source, 128, 160); },
         TCropOutcome::Refused, changed},
        {"rewritten at the same size",
         [](TJobFixture& f) { MakePhoto(f.job.Source, 160, 128, "1x1"); }, TCropOutcome::Refused,
         changed},
        {"area beyond a smaller picture, nothing known of the photo",
         [](TJobFixture& f) {
             f.job.Expected.reset();
             MakePhoto(f.job.Source, 96, 96);
         },
         TCropOutcome::Refused, changed},
        {"a transformer that copies the photo uncut",
         [](TJobFixture& f) {
             f.job.Tool =
                 StandIn(f.dir, "jpegtran", "IN=\"" + f.job.Source + "\"; cat \"$IN\" > \"$OUT\"");
         },
         TCropOutcome::TransformFailed,
         "jpegtran wrote a picture of 160x128 pixels where 96x64 were planned"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TJobFixture f;
        f.job.Crop = {16, 16, 96, 64, 0, "defined"};
        f.job.Expected = ReadJpegLayout(f.job.Source);
        std::this_thread::sleep_for(std::chrono::milliseconds(10)); // a new time for a new file
        c.change(f);
        f.original = ReadFileBytes(f.job.Source);
        const TCropResult r = RunCropJob(f.job);
        EXPECT_EQ(r.Outcome, c.outcome);
        std::string reason = c.reason;
        if (const auto at = reason.find("%1"); at != std::string::npos)
            reason.replace(at, 2, f.job.Source);
        EXPECT_EQ(r.Reason(), reason);
        EXPECT_FALSE(fs::exists(f.job.Output));
    }
}

// A source cut short before the cut fails with jpegtran's warning: its data
// would come out grey.
TEST(CropJobTest, ASourceThatEndsEarlyFails) {
    TJobFixture f("source.jpg", 320, 240);
    WriteFileBytes(f.job.Source, f.original.substr(0, f.original.size() * 2 / 3));
    f.original = ReadFileBytes(f.job.Source);
    const TCropResult r = RunCropJob(f.job);
    EXPECT_EQ(r.Outcome, TCropOutcome::TransformFailed);
    EXPECT_EQ(r.Reason(), "jpegtran failed: Premature end of JPEG file");
    EXPECT_FALSE(fs::exists(f.job.Output));
}

// Names in the output folder: a claimed name is never replaced unless asked,
// not even through a dangling link, and a link of someone else's is never
// written through.
TEST(CropJobTest, TakenNamesAndPlantedLinks) {
    struct Case {
        std::string name;
        bool replace;
        std::string target; // where the planted link points, "" for no link
        bool foreign;       // the link belongs to another user
        TCropOutcome outcome;
        bool targetWritten;
    };
    const Case cases[] = {
        {"free name", false, "", false, TCropOutcome::Written, false},
        {"dangling link, skip", false, "victim.jpg", false, TCropOutcome::Exists, false},
        {"foreign dangling link, replace", true, "victim.jpg", true, TCropOutcome::Written, false},
        {"own dangling link, replace", true, "victim.jpg", false, TCropOutcome::Written, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TJobFixture f;
        const std::string victim = f.dir.file(c.target.empty() ? "none" : c.target);
        if (!c.target.empty()) {
            fs::create_symlink(victim, f.job.Output);
            if (c.foreign && lchown(f.job.Output.c_str(), 65534, 65534) != 0)
                GTEST_SKIP() << "links of another user need root";
        }
        f.job.Replace = c.replace;
        const TCropResult r = RunCropJob(f.job);
        EXPECT_EQ(r.Outcome, c.outcome) << r.Reason();
        EXPECT_EQ(fs::exists(victim), c.targetWritten);
        const bool replaced = c.outcome == TCropOutcome::Written && !c.targetWritten;
        if (replaced) {
            EXPECT_FALSE(fs::is_symlink(f.job.Output)); // the link itself gave way
            EXPECT_EQ(Decode(f.job.Output).Width, 160);
        }
    }
}

// A new output is never more open than its source, whatever is asked.
TEST(CropJobTest, AnOutputIsNoMoreOpenThanItsSource) {
    struct Case {
        mode_t source;
        bool copy;
        mode_t expected;
    };
    const mode_t mask = umask(022);
    const Case cases[] = {{0600, false, 0600}, {0600, true, 0600}, {0640, false, 0640},
                          {0644, false, 0644}, {0604, true, 0604}, {0400, true, 0400}};
    for (const Case& c : cases) {
        TJobFixture f;
        chmod(f.job.Source.c_str(), c.source);
        f.job.Options.CopyFilepermissions = c.copy;
        ASSERT_EQ(RunCropJob(f.job).Outcome, TCropOutcome::Written);
        struct stat st;
        ASSERT_EQ(stat(f.job.Output.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, c.expected) << std::oct << c.source << " " << c.copy;
    }
    umask(mask);
}

// What a killed run left is cleared by the next job in that folder; what a
// living one holds is not.
TEST(CropJobTest, ScratchOfEndedRunsIsRemoved) {
    TJobFixture f;
    const std::string out = f.dir.file("out/");
    // a process id that no process has, and ours: neither holds its folder
    const std::string gone = ".trimvale-" + std::to_string(0x3FFFFFFF) + "-1-AbCdEf";
    const std::string ours = ".trimvale-" + std::to_string(getpid()) + "-1-AbCdEf";
    for (const std::string& name : {gone, ours}) {
        fs::create_directories(out + name);
        WriteFileBytes(out + name + "/result.jpg", "half a photo");
    }
    // a run of another process id namespace holds its folder locked: it lives on,
    // whatever its id names here
    const std::string alive = ".trimvale-" + std::to_string(0x3FFFFFFE) + "-1-AbCdEf";
    fs::create_directories(out + alive);
    const int lock = open((out + alive).c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);
    ASSERT_EQ(RunCropJob(f.job).Outcome, TCropOutcome::Written);
    EXPECT_FALSE(fs::exists(out + gone));
    EXPECT_FALSE(fs::exists(out + ours));
    EXPECT_TRUE(fs::exists(out + alive));
    close(lock);
    fs::remove(out + alive); // the fixture looks for leftovers
}
