// trimvale --crop writes, photo for photo, what the window's crop of a freshly
// added frame writes, and settles the same names with the same questions.
#include <filesystem>
#include <map>
#include <sstream>

#include <sys/stat.h>

#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include "CropRunWait.h"
#include "JpegSamples.h"
#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "cli/BatchOptions.h"
#include "cli/BatchRun.h"
#include "core/StorageTank.h"
#include "core/StringController.h"
#include "frames/IFrame.h"
#include "jobs/CropPlan.h"
#include "model/CropAspects.h"
#include "ui/FrameList.h"
#include "ui/MainForm.h"

namespace fs = std::filesystem;

namespace {
std::map<std::string, std::string> FilesIn(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::directory_iterator(folder))
        files[e.path().filename().string()] = ReadFileBytes(e.path().string());
    return files;
}
} // namespace

TEST(CommandLineCropTest, WritesWhatTheWindowWritesForAFreshFrame) {
    TTempDir dir;
    fs::create_directories(dir.file("prog"));
    fs::create_directories(dir.file("photos"));
    std::vector<std::string> photos;
    struct TPhoto {
        const char* name;
        int width, height;
        const char* sampling;
    };
    for (const TPhoto& p : {TPhoto{"wide.jpg", 1000, 700, "2x2"},
                            {"tall.jpg", 700, 1000, "2x2"},
                            {"Odd Café.jpg", 333, 251, "1x1"},
                            {"small.jpg", 100, 80, "2x1"}}) {
        photos.push_back(dir.file("photos/") + p.name);
        samples::MakePhoto(photos.back(), p.width, p.height, p.sampling);
    }
    // a camera's photo stored sideways with a turn in its EXIF data, and 4:1:1
    samples::MakePhoto(dir.file("photos/sideways.jpg"), 1000, 700);
    WriteFileBytes(dir.file("photos/sideways.jpg"),
                   samples::WithSegment(ReadFileBytes(dir.file("photos/sideways.jpg")),
                                        samples::OrientationExif(6)));
    samples::MakePhoto(dir.file("photos/fine.jpg"), 650, 410, "4x1");
    photos.push_back(dir.file("photos/sideways.jpg"));
    photos.push_back(dir.file("photos/fine.jpg"));
    // faces a photo manager named at the top, and people whose faces are found
    samples::MakePhoto(dir.file("photos/named.jpg"), 800, 600);
    samples::NameFaces(dir.file("photos/named.jpg"), 800, 600, {{0.2, 0.06, 0.08, 0.08}});
    photos.push_back(dir.file("photos/named.jpg"));
    const fs::path people = fs::path(TRIMVALE_FACE_PHOTOS) / "dlib_2008_001322_3-2_1.jpg";
    if (fs::exists(people)) {
        fs::copy_file(people, dir.file("photos/people.jpg"));
        photos.push_back(dir.file("photos/people.jpg"));
    }

    // the built-in settings, a fixed pixel size with other options, and
    // portrait results turned to landscape with the EXIF turn left alone
    std::vector<std::unique_ptr<TStorageTank>> variants;
    variants.push_back(std::make_unique<TStorageTank>("Settings"));
    auto other = std::make_unique<TStorageTank>("Settings");
    other->setValue("TransformFilename", true);
    other->setValue("TransformTemplate", std::string("crop_%n.jpg"));
    other->setValue("CopyMetadats", false);
    other->setValue("AutoRotateCrop", false);
    other->setValue("AutoRotateToLandscapeAfterCrop", true);
    TCropAspects registry;
    registry.LoadDefaults();
    registry.CurrentList().SetDefault(13); // 640x480 pixels
    other->add(registry.SaveToTank());
    variants.push_back(std::move(other));
    auto turning = std::make_unique<TStorageTank>("Settings");
    turning->setValue("AutoRotateToLandscapeAfterCrop", true);
    turning->setValue("HonourOrientation", false);
    variants.push_back(std::move(turning));

    for (std::size_t v = 0; v < variants.size(); ++v) {
        SCOPED_TRACE("settings variant " + std::to_string(v));
        const std::string ini = dir.file("prog/Trimvale.ini");
        variants[v]->saveToFile(ini);
        const std::string byWindow = dir.file("window" + std::to_string(v));
        const std::string byCommand = dir.file("command" + std::to_string(v));
        {
            TScriptedPrompt prompt;
            TMainForm window(TSettingsFile(dir.file("prog"), dir.file("cfg")), photos, &prompt);
            window.show();
            for (int i = 0; i < 200 && window.Images().size() < photos.size(); ++i)
                QTest::qWait(20);
            ASSERT_EQ(window.Images().size(), photos.size());
            // the areas slide to the faces once they are found
            for (int i = 0; i < 1500 && window.List().LookingForFaces(); ++i)
                QTest::qWait(20);
            ASSERT_FALSE(window.List().LookingForFaces());
            for (const TIFrame* frame : window.Images())
                if (frame->SourceFileName() == dir.file("photos/named.jpg"))
                    EXPECT_EQ(frame->Cropper()->Area().GetCrop().y, 0) << "the face stays whole";
            window.DirEdit()->setText(QString::fromStdString(byWindow));
            window.CropImagesActionExecute();
            WaitForCropRun(window);
            EXPECT_TRUE(window.Images().empty());
            EXPECT_TRUE(prompt.messages.empty());
            // ended as the user ends it: the next variant's window finds no order to restore
            window.close();
        }
        std::vector<std::string> args = {"--crop", "--settings", ini, "--output", byCommand};
        args.insert(args.end(), photos.begin(), photos.end());
        std::ostringstream out, err;
        EXPECT_EQ(RunCommandLine(args, out, err, false), 0) << err.str();

        const auto expected = FilesIn(byWindow);
        ASSERT_EQ(expected.size(), photos.size());
        const auto written = FilesIn(byCommand);
        ASSERT_EQ(written.size(), expected.size());
        for (const auto& [name, bytes] : expected) {
            ASSERT_TRUE(written.count(name)) << name;
            EXPECT_TRUE(written.at(name) == bytes) << name << " differs";
        }
    }
}

namespace {
/// One set of photos to crop into the folder of some of them: photos of two
/// folders with one name, an existing output, a read-only one, and a photo
/// whose output is the photo itself.
struct TCropSet {
    std::string root;
    std::string into;                ///< the destination folder: the folder of self.jpg
    std::vector<std::string> photos; ///< in the window's list order

    explicit TCropSet(const std::string& at) : root(at), into(at + "/photos") {
        for (const char* folder : {"/photos", "/one", "/two"})
            fs::create_directories(root + folder);
        const std::pair<const char*, int> shapes[] = {
            {"/photos/self.jpg", 320}, {"/one/dup.jpg", 400}, {"/two/dup.jpg", 240},
            {"/one/ro.jpg", 336},      {"/one/old.jpg", 352}, {"/one/fresh.jpg", 368}};
        for (const auto& [name, width] : shapes) {
            photos.push_back(root + name);
            samples::MakePhoto(photos.back(), width, 600 - width);
        }
        WriteFileBytes(into + "/old.jpg", "old");
        WriteFileBytes(into + "/ro.jpg", "read only");
        chmod((into + "/ro.jpg").c_str(), 0444);
    }
    ~TCropSet() { chmod((into + "/ro.jpg").c_str(), 0644); }
    /// Every file of the destination folder, by name.
    std::map<std::string, std::string> Outputs() const { return FilesIn(into); }
    /// A text with this set's folder written as "@", to compare it with another set's.
    std::string Neutral(const std::string& text) const { return ReplaceAll(text, root, "@"); }
};
} // namespace

TEST(CommandLineCropTest, SettlesTheSameNamesRefusalsAndQuestionsAsTheWindow) {
    TTempDir dir;
    fs::create_directories(dir.file("prog"));
    TStorageTank("Settings").saveToFile(dir.file("prog/Trimvale.ini"));
    const TCropSet byWindow(dir.file("window")), byCommand(dir.file("command"));

    // the window asks, and is answered as the command line's options answer
    TScriptedPrompt prompt;
    prompt.answers = {TAnswer::Yes, TAnswer::No, TAnswer::Yes};
    std::vector<std::string> left;
    {
        TMainForm window(TSettingsFile(dir.file("prog"), dir.file("cfg")), byWindow.photos,
                         &prompt);
        window.show();
        for (int i = 0; i < 200 && window.Images().size() < byWindow.photos.size(); ++i)
            QTest::qWait(20);
        ASSERT_EQ(window.Images().size(), byWindow.photos.size());
        window.DirEdit()->setText(QString::fromStdString(byWindow.into));
        QSignalSpy ended(&window, &TMainForm::cropRunFinished);
        window.CropImagesActionExecute();
        ASSERT_TRUE(ended.count() == 1 || ended.wait(30000));
        for (TIFrame* frame : window.Images())
            left.push_back(byWindow.Neutral(frame->SourceFileName()));
    }

    // the command line takes the photos in the window's run order: the list's
    std::vector<std::string> args = {
        "--crop",   "--existing",  "overwrite", "--settings", dir.file("prog/Trimvale.ini"),
        "--output", byCommand.into};
    args.insert(args.end(), byCommand.photos.begin(), byCommand.photos.end());
    const TBatchOptions options = ParseBatchArguments(args);
    std::vector<TCropQuestion> answered;
    std::ostringstream out, err;
    EXPECT_EQ(RunBatch(options, out, err, false, &answered), 1) << err.str();

    // the same questions, in the same order, with the same answers
    ASSERT_EQ(answered.size(), prompt.questions.size());
    for (std::size_t i = 0; i < answered.size(); ++i) {
        EXPECT_EQ(answered[i].Title, prompt.titles[i]);
        EXPECT_EQ(answered[i].Text, prompt.questions[i]);
    }
    EXPECT_EQ(answered.size(), 3u);
    EXPECT_EQ(answered[1].Answer, TAnswer::No); // the read-only one

    // the same refusal: the photo itself; the read-only file stays in both, the
    // window keeps its frame and the command line, which cannot ask, fails it
    // the window tells it in the run's account
    EXPECT_TRUE(prompt.errors.empty());
    ASSERT_EQ(prompt.summaries.size(), 1u);
    const std::string& summary = prompt.summaries[0];
    const std::size_t at = summary.find("\nself.jpg: ");
    ASSERT_NE(at, std::string::npos) << summary;
    const std::size_t from = at + std::strlen("\nself.jpg: ");
    const std::string itself =
        byWindow.Neutral(summary.substr(from, summary.find('\n', from) - from));
    EXPECT_EQ(itself, "The output file @/photos/self.jpg is the source file itself");
    std::vector<std::string> failed;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("failed: ", 0) == 0) failed.push_back(byCommand.Neutral(line));
    EXPECT_EQ(failed,
              (std::vector<std::string>{
                  "failed: @/photos/self.jpg -> @/photos/self.jpg: " + itself,
                  "failed: @/one/ro.jpg -> @/photos/ro.jpg: The output file is read only"}));
    EXPECT_EQ(left, (std::vector<std::string>{"@/photos/self.jpg", "@/one/ro.jpg"}));

    // byte for byte the same files under the same names; the later of the two
    // "dup.jpg" gets "dup (2).jpg"
    const auto written = byWindow.Outputs();
    EXPECT_EQ(written.size(), 6u);
    EXPECT_TRUE(written.count("dup (2).jpg"));
    EXPECT_EQ(written.at("ro.jpg"), "read only");
    EXPECT_NE(written.at("old.jpg"), "old");
    EXPECT_EQ(written.at("self.jpg"), ReadFileBytes(byWindow.photos[0]));
    EXPECT_TRUE(byCommand.Outputs() == written);
    // one/dup.jpg, the wider, came first in the list and kept the name
    EXPECT_GT(samples::Decode(byWindow.into + "/dup.jpg").Width,
              samples::Decode(byWindow.into + "/dup (2).jpg").Width);
}
