#include "cli/OrderRun.h"

#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "CommandRun.h"
#include "TempDir.h"
#include "cli/BatchRun.h"
#include "jpeg/JpegThumbnail.h"

namespace fs = std::filesystem;

namespace {

class OrderRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir.file("shoot/day2"));
        WriteFileBytes(dir.file("settings.ini"), SettingsText(""));
        for (const char* name : {"a.jpg", "day2/b.jpg", "day2/c.jpg"}) {
            const std::string path = dir.file(std::string("shoot/") + name);
            MakeJpeg(path, 96, 64);
            TOrderPhoto photo;
            photo.Source = ReadJpegLayout(path);
            photo.Choice.File = path;
            photo.Choice.DestName = "print-" + fs::path(path).filename().string();
            photo.Choice.Crop = {16, 0, 48, 64};
            photo.Choice.Rotation = photos.size() == 1 ? 90 : 0;
            photo.Kind = "free";
            photos.push_back(photo);
        }
        settings.Destination = dir.file("lab");
        SaveOrderFile(order(), settings, photos);
    }
    std::string order() const { return dir.file("shoot/order.tvorder"); }

    // The exit status and the report of a run with the given arguments after --crop.
    std::pair<int, std::string> Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--crop", "-q", "--settings", dir.file("settings.ini")});
        std::ostringstream out, err;
        const int status = RunCommandLine(args, out, err, false);
        return {status, out.str() + err.str()};
    }

    TTempDir dir;
    std::vector<TOrderPhoto> photos;
    TOrderSettings settings;
};

TEST_F(OrderRunTest, TheOrderGoesToItsOwnFolderUnderItsOwnNamesAndPathsChooseAmongIt) {
    auto [status, report] = Run({"--order", order()});
    EXPECT_EQ(status, 0) << report;
    for (const char* name : {"print-a.jpg", "print-b.jpg", "print-c.jpg"})
        EXPECT_TRUE(fs::exists(dir.file(std::string("lab/") + name))) << name << report;
    // turned: the 48x64 area of b comes out 64 high and 48 wide, as it was chosen
    const TJpegLayout b = ReadJpegLayout(dir.file("lab/print-b.jpg"));
    EXPECT_EQ(b.width, 48);
    EXPECT_EQ(b.height, 64);

    // one machine's share: named from the order's folder in a list, or from here
    WriteFileBytes(dir.file("part"), "day2/c.jpg\n");
    std::tie(status, report) = Run({"--order", order(), "--files-from", dir.file("part"),
                                    dir.file("shoot/a.jpg"), "--output", dir.file("m1")});
    EXPECT_EQ(status, 0) << report;
    EXPECT_TRUE(fs::exists(dir.file("m1/print-a.jpg")));
    EXPECT_FALSE(fs::exists(dir.file("m1/print-b.jpg")));
    EXPECT_EQ(ReadFileBytes(dir.file("m1/print-c.jpg")),
              ReadFileBytes(dir.file("lab/print-c.jpg")));
}

TEST_F(OrderRunTest, WhatCannotBeCutIsReportedOnceEachAndTheRunFails) {
    fs::remove(dir.file("shoot/day2/b.jpg"));
    const struct {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> says;
    } cases[] = {
        {"a photo gone and a path not in the order",
         {"--order", order(), "--dry-run", "--format", "jsonl", "shoot/day2/b.jpg", "x.jpg",
          dir.file("shoot/a.jpg")},
         1,
         {"missing: moved, renamed or deleted", "not a photo of the print order",
          "\"status\":\"planned\"", "jpegtran"}},
        {"no order file", {"--order", dir.file("none.tvorder")}, 1, {"cannot be read"}},
        {"a photo as the order", {"--order", dir.file("shoot/a.jpg")}, 1, {"is not a print order"}},
    };
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    for (const auto& c : cases) {
        const auto [status, report] = Run(c.args);
        EXPECT_EQ(status, c.status) << c.what << "\n" << report;
        for (const std::string& text : c.says)
            EXPECT_NE(report.find(text), std::string::npos) << c.what << ": " << text << "\n"
                                                            << report;
    }
    fs::current_path(before);
    // the dry run wrote nothing
    EXPECT_FALSE(fs::exists(dir.file("lab/print-a.jpg")));
}

} // namespace
