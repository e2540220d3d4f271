// A photo edited without a frame: its record and its crop area move together.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "model/CropAspectList.h"
#include "model/PhotoEdit.h"

namespace {
void FillAspects(TCropAspectList& list) {
    const auto add = [&list](const char* description, const char* unit, double h, double v) {
        auto aspect = std::make_unique<TCropAspect>();
        aspect->SetAll(description, unit, h, v);
        list.Add(std::move(aspect));
    };
    add("10x15 cm", "cm", 15, 10);
    add("Square", "ratio", 1, 1);
    add("Free", "free", 0, 0);
    add("Whole", "nocrop", 0, 0);
}

TJpegLayout Layout(int32_t w, int32_t h, int orientation = 1) {
    TJpegLayout layout;
    layout.width = w;
    layout.height = h;
    layout.blockWidth = layout.blockHeight = 16;
    layout.orientation = orientation;
    return layout;
}
} // namespace

TEST(PhotoEditTest, ANewPhotoTakesTheDefaultAspectFlippedForPortraitAndTurnsBackExactly) {
    TCropAspectList aspects;
    FillAspects(aspects);
    struct TCase {
        const char* name;
        TJpegLayout layout;
        bool autoFlip;
        bool flipped;        // the first choice
        TCropRect first;     // its area, centred
    } cases[] = {
        {"landscape", Layout(3000, 2000), true, false, {0, 0, 3000, 2000}},
        {"portrait", Layout(2000, 3000), true, true, {0, 0, 2000, 3000}},
        {"portrait, no flip", Layout(2000, 3000), false, false, {0, 832, 2000, 1333}},
        // stored sideways, shown upright: a portrait view
        {"orientation 6", Layout(3000, 2000, 6), true, true, {0, 0, 2000, 3000}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TCropArea area;
        TOrderPhoto photo =
            NewPhoto("p.jpg", c.layout, false, aspects, {c.autoFlip, true, false}, "p.jpg", area);
        EXPECT_EQ(photo.Choice.Flipped, c.flipped);
        EXPECT_EQ(photo.Choice.Crop, c.first);
        EXPECT_EQ(photo.Choice.Aspect, "10x15 cm");
        EXPECT_EQ(photo.Kind, "defined");
        // the record alone gives the same area back
        EXPECT_EQ(AreaOfPhoto(photo, aspects, false).GetCrop(), area.GetCrop());

        // four quarter turns: the area and the flip come back as they were
        const TOrderPhoto first = photo;
        for (int32_t to : {90, 180, 270, 0}) {
            TurnPhoto(photo, area, aspects, to);
            EXPECT_EQ(photo.Choice.Rotation, to);
            EXPECT_EQ(photo.Choice.Crop, area.GetCrop());
            // the record of a turned photo gives its area back too
            EXPECT_EQ(AreaOfPhoto(photo, aspects, false).GetCrop(), area.GetCrop()) << to;
            if (to == 90) EXPECT_NE(photo.Choice.Flipped, first.Choice.Flipped);
        }
        EXPECT_EQ(photo.Choice.Crop, first.Choice.Crop);
        EXPECT_EQ(photo.Choice.Flipped, first.Choice.Flipped);
    }
}

TEST(PhotoEditTest, AnAspectAndAFlipProposeTheLargestAreaKeepingTheFaces) {
    TCropAspectList aspects;
    FillAspects(aspects);
    TCropArea area;
    TOrderPhoto photo =
        NewPhoto("p.jpg", Layout(3000, 2000), false, aspects, {true, true, false}, "p", area);
    struct TCase {
        const char* name;
        int aspect;      // -1: flip instead
        TCropRect crop;
        const char* kind;
        bool flipped;
    } cases[] = {
        {"square", 1, {496, 0, 2000, 2000}, "defined", false},
        {"flipped square", -1, {496, 0, 2000, 2000}, "defined", true},
        {"free", 2, {0, 0, 3000, 2000}, "free", false},
        {"no crop", 3, {0, 0, 3000, 2000}, "nocrop", false},
        {"10x15 again", 0, {0, 0, 3000, 2000}, "defined", false},
        {"10x15 flipped", -1, {832, 0, 1333, 1999}, "defined", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.aspect < 0)
            ToggleFlip(photo, area, aspects);
        else
            ChooseAspect(photo, area, aspects, c.aspect, true);
        EXPECT_EQ(photo.Choice.Crop.width, c.crop.width);
        EXPECT_EQ(photo.Choice.Crop.height, c.crop.height);
        EXPECT_EQ(photo.Kind, c.kind);
        EXPECT_EQ(photo.Choice.Flipped, c.flipped);
        EXPECT_EQ(AreaOfPhoto(photo, aspects, false).GetCrop(), photo.Choice.Crop);
    }
    // a face at the right edge: the portrait area goes to it, and slides no further
    photo.Faces = {{2700, 800, 200, 200}};
    ChooseAspect(photo, area, aspects, 0, false);
    ToggleFlip(photo, area, aspects);
    EXPECT_GE(photo.Choice.Crop.x + photo.Choice.Crop.width, 2900);
    const TCropRect slid = photo.Choice.Crop;
    SlidePhotoToFaces(photo, area, aspects);
    EXPECT_EQ(photo.Choice.Crop, slid);
    // an aspect the list no longer has: the area's own proportions stand in for it
    photo.Choice.Aspect = "Gone";
    photo.Choice.AspectIndex = 9;
    EXPECT_EQ(AreaOfPhoto(photo, aspects, false).GetCrop(), slid);
}
