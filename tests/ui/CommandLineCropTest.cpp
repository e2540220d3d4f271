// trimvale --crop writes, photo for photo, what the window's crop of a freshly
// added frame writes.
#include <filesystem>
#include <map>
#include <sstream>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "BatchRun.h"
#include "CropAspects.h"
#include "CropRunWait.h"
#include "IFrame.h"
#include "JpegSamples.h"
#include "MainForm.h"
#include "ScriptedPrompt.h"
#include "StorageTank.h"
#include "TempDir.h"

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
            window.DirEdit()->setText(QString::fromStdString(byWindow));
            window.CropImagesActionExecute();
            WaitForCropRun(window);
            EXPECT_TRUE(window.Images().empty());
            EXPECT_TRUE(prompt.messages.empty());
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
