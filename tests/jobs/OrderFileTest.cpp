#include "jobs/OrderFile.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include "TempDir.h"
#include "jpeg/JpegThumbnail.h"

namespace fs = std::filesystem;

namespace {

// A photo of the order as the window makes it of a file on disk.
TOrderPhoto PhotoOf(const std::string& path, TCropRect crop, int turn, bool flip,
                    const std::string& aspect, const std::string& kind, int resolution) {
    TOrderPhoto photo;
    photo.Source = ReadJpegLayout(path);
    photo.Orientation = photo.Source.orientation;
    photo.Choice.File = path;
    photo.Choice.DestName = fs::path(path).stem().string() + "-cut.jpg";
    photo.Choice.Crop = crop;
    photo.Choice.Rotation = turn;
    photo.Choice.Flipped = flip;
    photo.Choice.Aspect = aspect;
    photo.Kind = kind;
    photo.Resolution = resolution;
    photo.ContentCheck = ContentCheckOf(path);
    return photo;
}

void ExpectSame(const TOrderPhoto& want, const TOrderPhoto& got) {
    EXPECT_EQ(want.File(), got.File());
    EXPECT_TRUE(want.Choice.SameEdit(got.Choice)) << got.File();
    EXPECT_EQ(want.Choice.DestName, got.Choice.DestName);
    EXPECT_EQ(want.Kind, got.Kind);
    EXPECT_EQ(want.Resolution, got.Resolution);
    EXPECT_EQ(want.Orientation, got.Orientation);
    EXPECT_EQ(want.Incomplete, got.Incomplete);
    EXPECT_EQ(want.ContentCheck, got.ContentCheck);
    EXPECT_EQ(want.Source.width, got.Source.width);
    EXPECT_EQ(want.Source.height, got.Source.height);
    EXPECT_EQ(want.Source.blockWidth, got.Source.blockWidth);
    EXPECT_EQ(want.Source.blockHeight, got.Source.blockHeight);
    EXPECT_EQ(want.Source.fileSize, got.Source.fileSize);
    EXPECT_EQ(want.Source.modifiedNs, got.Source.modifiedNs);
}

struct TMixedOrder {
    std::vector<TOrderPhoto> photos;
    TOrderSettings settings;
};

// Photos turned, flipped, free and without crop, one beside the order, one in
// a folder below it, one with a name that is not UTF-8, one outside the folder.
TMixedOrder MixedOrder(const std::string& folder, const std::string& outside) {
    fs::create_directories(folder + "/2024/Juni");
    fs::create_directories(outside);
    const std::string names[] = {folder + "/beach.jpg", folder + "/2024/Juni/Ærø.jpg",
                                 folder + "/odd\xff\xfe.jpg", outside + "/far.jpg"};
    MakeJpeg(names[0], 96, 64);
    MakeJpeg(names[1], 64, 96);
    MakeJpeg(names[2], 80, 48);
    MakeJpeg(names[3], 48, 48);
    TMixedOrder order;
    order.photos = {
        PhotoOf(names[0], {16, 0, 64, 48}, 90, true, "10x15 cm", "defined", 254),
        PhotoOf(names[1], {0, 16, 33, 71}, 0, false, "free", "free", -1),
        PhotoOf(names[2], {0, 0, 80, 48}, 270, false, "no crop", "nocrop", -1),
        PhotoOf(names[3], {0, 0, 32, 32}, 180, false, "Quadrat \"1:1\"", "defined", 72)};
    order.photos[2].Incomplete = true;
    order.settings.Destination = "/home/ann/Bilder/Beschnitten";
    order.settings.Options.HuffmanOptimize = false;
    order.settings.Options.AutoRotateToLandscapeAfterCrop = true;
    order.settings.Options.CopyFileDates = true;
    order.settings.Aspects = {{"10x15 cm", 15, 10, "cm"}, {"Quadrat \"1:1\"", 1, 1, "none"}};
    return order;
}

TEST(OrderFileTest, WhatIsSavedOpensAgainAlsoAfterTheFolderMoved) {
    TTempDir dir;
    const std::string folder = dir.file("holiday"), order = folder + "/order.tvorder";
    const TMixedOrder mixed = MixedOrder(folder, dir.file("elsewhere"));
    SaveOrderFile(order, mixed.settings, mixed.photos);

    const std::string text = ReadFileBytes(order);
    // below the order's folder relative, elsewhere absolute; a name of any bytes in hex
    EXPECT_NE(text.find("\"source\":\"beach.jpg\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"source\":\"2024/Juni/Ærø.jpg\""), std::string::npos);
    EXPECT_NE(text.find("\"source_hex\":\"6f6464fffe2e6a7067\""), std::string::npos);
    EXPECT_NE(text.find("\"source\":\"" + dir.file("elsewhere/far.jpg") + "\""), std::string::npos);
    EXPECT_EQ(text.rfind("{\"format\": \"trimvale-order\", \"version\": 1,", 0), 0u);

    const auto check = [&](const std::string& from, const std::string& base) {
        const TOpenedOrder opened = OpenOrderFile(from);
        EXPECT_TRUE(opened.Dropped.empty());
        EXPECT_EQ(opened.Settings.Destination, mixed.settings.Destination);
        EXPECT_FALSE(opened.Settings.Options.HuffmanOptimize);
        EXPECT_TRUE(opened.Settings.Options.AutoRotateToLandscapeAfterCrop);
        EXPECT_TRUE(opened.Settings.Options.CopyFileDates);
        EXPECT_TRUE(opened.Settings.Options.CopyMetadats);
        EXPECT_EQ(opened.Settings.Aspects, mixed.settings.Aspects);
        ASSERT_EQ(opened.Photos.size(), mixed.photos.size());
        for (std::size_t i = 0; i < mixed.photos.size(); ++i) {
            TOrderPhoto want = mixed.photos[i];
            if (i < 3) want.Choice.File = base + want.File().substr(folder.size());
            ExpectSame(want, opened.Photos[i]);
        }
    };
    check(order, folder);
    // the folder with its order moves; the photo outside it stays where it was
    fs::rename(folder, dir.file("moved"));
    check(dir.file("moved/order.tvorder"), dir.file("moved"));
}

TEST(OrderFileTest, PhotosMissingOrChangedAreLeftOutOnceWithTheirReason) {
    TTempDir dir;
    const std::string order = dir.file("o.tvorder");
    std::vector<TOrderPhoto> photos;
    for (const char* name : {"kept.jpg", "touched.jpg", "gone.jpg", "changed.jpg", "folder.jpg"}) {
        MakeJpeg(dir.file(name), 64, 64);
        photos.push_back(PhotoOf(dir.file(name), {0, 0, 64, 64}, 0, false, "free", "free", -1));
    }
    SaveOrderFile(order, {}, photos);

    // a new time with the same bytes is kept and takes the new time
    const utimbuf later{2000000000, 2000000000};
    ASSERT_EQ(utime(dir.file("touched.jpg").c_str(), &later), 0);
    fs::remove(dir.file("gone.jpg"));
    // same size, other bytes near the end
    std::string bytes = ReadFileBytes(dir.file("changed.jpg"));
    bytes[bytes.size() - 10] ^= 0x5a;
    WriteFileBytes(dir.file("changed.jpg"), bytes);
    ASSERT_EQ(utime(dir.file("changed.jpg").c_str(), &later), 0);
    fs::remove(dir.file("folder.jpg"));
    fs::create_directory(dir.file("folder.jpg"));

    const TOpenedOrder opened = OpenOrderFile(order);
    ASSERT_EQ(opened.Photos.size(), 2u);
    EXPECT_EQ(opened.Photos[0].File(), dir.file("kept.jpg"));
    EXPECT_EQ(opened.Photos[1].File(), dir.file("touched.jpg"));
    EXPECT_EQ(opened.Photos[1].Source.modifiedNs, 2000000000LL * 1000000000LL);
    ASSERT_EQ(opened.Dropped.size(), 3u);
    EXPECT_EQ(opened.Dropped[0].File, dir.file("gone.jpg"));
    EXPECT_NE(opened.Dropped[0].Reason.find("missing"), std::string::npos);
    EXPECT_EQ(opened.Dropped[1].File, dir.file("changed.jpg"));
    EXPECT_NE(opened.Dropped[1].Reason.find("changed"), std::string::npos);
    EXPECT_EQ(opened.Dropped[2].File, dir.file("folder.jpg"));
    EXPECT_NE(opened.Dropped[2].Reason.find("no longer"), std::string::npos);
}

TEST(OrderFileTest, FilesThatAreNoOrderOrCannotBeTrustedAreRefusedWithOneMessageEach) {
    TTempDir dir;
    MakeJpeg(dir.file("a.jpg"), 32, 32);
    const std::vector<TOrderPhoto> photos = {
        PhotoOf(dir.file("a.jpg"), {0, 0, 32, 32}, 0, false, "free", "free", -1)};
    const std::string good = OrderFileText(dir.file("o.tvorder"), {}, photos);
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    MakeJpeg(dir.file("photo.jpg"), 16, 16);
    const struct {
        const char* what;
        std::string text;
        const char* says;
    } cases[] = {
        {"cut short", good.substr(0, good.size() / 2), "is damaged"},
        {"a byte gone", replaced("\"crop\":[", "\"crop\":"), "is damaged"},
        {"a crop of three", replaced("\"crop\":[0,", "\"crop\":["), "is damaged"},
        {"a negative size", replaced("\"crop\":[0,0,32", "\"crop\":[0,0,-32"), "is damaged"},
        {"a turn of 45", replaced("\"turn\":0", "\"turn\":45"), "is damaged"},
        {"a text as a number", replaced("\"resolution\":-1", "\"resolution\":\"-1\""),
         "is damaged"},
        {"no photos", replaced("\"photos\"", "\"pictures\""), "is damaged"},
        {"an aspect of no size",
         replaced("\"aspects\": []", "\"aspects\": [{\"description\": \"x\"}]"), "is damaged"},
        {"no version", replaced("\"version\": 1", "\"versio\": 1"), "is damaged"},
        {"a newer version", replaced("\"version\": 1", "\"version\": 7"), "newer version"},
        {"a photo", ReadFileBytes(dir.file("photo.jpg")), "is not a print order"},
        {"other JSON", "{\"format\": \"something-else\", \"version\": 1}", "is not a print order"},
        {"a list", "[1, 2, 3]", "is not a print order"},
        {"nothing", "", "is not a print order"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file("case.tvorder");
        WriteFileBytes(path, c.text);
        try {
            OpenOrderFile(path);
            ADD_FAILURE() << c.what << " opened";
        } catch (const TOrderFileError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(c.says), std::string::npos) << c.what << ": " << message;
            EXPECT_NE(message.find(path), std::string::npos) << c.what;
            if (std::string(c.what) == "a newer version") {
                EXPECT_NE(message.find("format 7"), std::string::npos) << message;
            }
        }
    }
    EXPECT_THROW(OpenOrderFile(dir.file("none.tvorder")), TOrderFileError);
    EXPECT_THROW(OpenOrderFile(dir.path()), TOrderFileError);
}

TEST(OrderFileTest, SavingReplacesTheFileWholeOrLeavesTheOldOne) {
    TTempDir dir;
    const std::string order = dir.file("o.tvorder");
    WriteFileBytes(order, "old");
    WriteFileAtomically(order, "new text");
    EXPECT_EQ(ReadFileBytes(order), "new text");
    // nothing of the write stays beside it
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1);
    // a folder that is not there: an error with the reason, and nothing written
    try {
        SaveOrderFile(dir.file("no/o.tvorder"), {}, {});
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const TError& e) {
        EXPECT_NE(std::string(e.what()).find(dir.file("no/o.tvorder")), std::string::npos);
    }
    // a name taken by a folder is not replaced
    fs::create_directory(dir.file("taken"));
    EXPECT_THROW(WriteFileAtomically(dir.file("taken"), "x"), TError);
    EXPECT_TRUE(fs::is_directory(dir.file("taken")));
}

TEST(OrderFileTest, TheContentCheckSeesTheStartTheEndAndTheSize) {
    TTempDir dir;
    std::string bytes(300 * 1024, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 % 251);
    WriteFileBytes(dir.file("base"), bytes);
    const std::string base = ContentCheckOf(dir.file("base"));
    ASSERT_EQ(base.size(), 16u);
    const auto checkOf = [&](std::string changed) {
        WriteFileBytes(dir.file("other"), changed);
        return ContentCheckOf(dir.file("other"));
    };
    EXPECT_EQ(checkOf(bytes), base);
    std::string first = bytes, last = bytes, middle = bytes;
    first[0] ^= 1;
    last[last.size() - 1] ^= 1;
    middle[150 * 1024] ^= 1; // unseen by design: the check is cheap
    EXPECT_NE(checkOf(first), base);
    EXPECT_NE(checkOf(last), base);
    EXPECT_EQ(checkOf(middle), base);
    EXPECT_NE(checkOf(bytes + '\0'), base);
    EXPECT_NE(checkOf("short"), checkOf("shorT"));
    EXPECT_EQ(ContentCheckOf(dir.file("missing")), "");
    EXPECT_EQ(ContentCheckOf(dir.path()), "");
}

} // namespace
