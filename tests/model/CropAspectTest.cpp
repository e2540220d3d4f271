#include "model/CropAspect.h"

#include <gtest/gtest.h>

#include <limits>

#include "EventRecorder.h"
#include "core/StorageTank.h"
#include "core/StringController.h"

namespace {

std::unique_ptr<TCropAspect> MakeAspect(const std::string& unit, double h, double v) {
    auto aspect = std::make_unique<TCropAspect>();
    aspect->SetAll("", unit, h, v);
    return aspect;
}

struct PpiCase {
    const char* unit;
    double h, v;
    int32_t pixels;
    bool flipped;
    int32_t expected;
};

TEST(CropAspect, GetPPIRoundsHalvesToEvenAndRefusesSizelessAspects) {
    const PpiCase cases[] = {
        {"cm", 15.24, 10.16, 1800, false, 300},
        {"cm", 15.24, 10.16, 1800, true, 450},
        {"inches", 2, 1, 5, false, 2}, // 2.5
        {"inches", 2, 1, 7, false, 4}, // 3.5
        {"inches", 2, 1, 3, true, 3},
        {"mm", 100, 150, 1181, false, 300},
        {"", 2, 1, 3, false, 2}, // unknown units count as inches: 1.5
        {"Centimeters", 4, 1, 10, false, 2},
        {"inches", -2, 1, 5, false, -2}, // -2.5
        {"inches", -2, 1, 7, false, -4},
        {"pixels", 640, 480, 640, false, -1},
        {"none", 4, 3, 4000, false, -1},
        {"free", 4, 3, 4000, false, -1},
        {"nocrop", 4, 3, 4000, false, -1},
        {"cm", 0, 10, 1800, true, -1},
        {"cm", 15, 0, 1800, false, -1},
        {"CM", 2.54, 1, 300, false, 118}, // unit names are case-sensitive: factor 1
    };
    for (const PpiCase& c : cases) {
        EXPECT_EQ(MakeAspect(c.unit, c.h, c.v)->GetPPI(c.pixels, c.flipped), c.expected)
            << c.unit << " " << c.h << "x" << c.v << " " << c.pixels
            << (c.flipped ? " flipped" : "");
    }
}

TEST(CropAspect, GetPPIStaysInRangeForDegenerateSizes) {
    EXPECT_EQ(MakeAspect("mm", 1e-300, 1)->GetPPI(5000, false),
              std::numeric_limits<int32_t>::max());
    EXPECT_EQ(MakeAspect("mm", -1e-300, 1)->GetPPI(5000, false),
              std::numeric_limits<int32_t>::min());
    EXPECT_EQ(MakeAspect("cm", std::numeric_limits<double>::quiet_NaN(), 1)->GetPPI(10, false), -1);
    EXPECT_EQ(MakeAspect("cm", std::numeric_limits<double>::infinity(), 1)->GetPPI(10, false), 0);
}

TEST(CropAspect, RatioGuardsAgainstNonPositiveVertical) {
    EXPECT_DOUBLE_EQ(MakeAspect("none", 4, 3)->Ratio(), 4.0 / 3.0);
    EXPECT_EQ(MakeAspect("none", 4, 0)->Ratio(), 0.0);
    EXPECT_EQ(MakeAspect("none", 4, -3)->Ratio(), 0.0);
}

TEST(CropAspect, SettersAnnounceOnlyRealChangesWithTheNewRatio) {
    TCropAspect aspect;
    aspect.SetAll("4:3", "none", 4, 2);
    TEventRecorder recorder;
    aspect.Attach(&recorder);

    aspect.SetHorizontal(4);
    aspect.SetVertical(2);
    aspect.SetUnit("none");
    aspect.SetDescription("4:3");
    aspect.SetAll("4:3", "none", 4, 2);
    EXPECT_TRUE(recorder.events.empty());

    aspect.SetVertical(3);
    ASSERT_EQ(recorder.events.size(), 1u);
    EXPECT_EQ(recorder.events[0].name, "AspectChanged");
    EXPECT_EQ(recorder.events[0].sender, &aspect);
    EXPECT_DOUBLE_EQ(std::get<double>(recorder.events[0].value), 4.0 / 3.0);

    aspect.SetHorizontal(6);
    aspect.SetUnit("cm");
    aspect.SetDescription("6x3");
    EXPECT_EQ(recorder.Count("AspectChanged"), 4);
    EXPECT_DOUBLE_EQ(std::get<double>(recorder.events.back().value), 2.0);

    recorder.events.clear();
    aspect.SetAll("other", "cm", 6, 3); // only the description differs
    aspect.SetAll("other", "mm", 60, 30);
    ASSERT_EQ(recorder.events.size(), 2u);
    EXPECT_EQ(aspect.Unit(), "mm");
    EXPECT_EQ(aspect.Horizontal(), 60);
    aspect.Detach(&recorder);
}

TEST(CropAspect, SaveToTankWritesTheStoredLayout) {
    SetDecimalSeparator('.');
    TCropAspect aspect;
    aspect.SetAll("10x15 cm", "cm", 15.24, 10.16);
    const std::string expected =
        StoredLine("StorageTank||") + StoredLine("Double|Horizontal|15.240000000000000") +
        StoredLine("Double|Vertical|10.160000000000000") + StoredLine("String|Unit|cm") +
        StoredLine("String|Description|10x15 cm") + StoredLine("Integer|SnapL|16") +
        StoredLine("Integer|SnapT|16") + StoredLine("Integer|SnapW|1") +
        StoredLine("Integer|SnapH|1") + StoredLine("Integer|SnapR|1") +
        StoredLine("Integer|SnapB|1") + StoredLine("StorageTankEnd|");
    EXPECT_EQ(aspect.SaveToTank()->toString(), expected);
    SetDecimalSeparator(0);
}

TEST(CropAspect, LoadFromTankFillsGapsAndAnnouncesNothing) {
    TStorageTank sizesOnly;
    sizesOnly.setValue("Horizontal", TVariant(5.0));
    sizesOnly.setValue("Vertical", TVariant(3.0));
    TCropAspect fresh;
    TEventRecorder recorder;
    fresh.Attach(&recorder);
    fresh.LoadFromTank(sizesOnly);
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(fresh.Horizontal(), 5.0);
    EXPECT_EQ(fresh.Vertical(), 3.0);
    EXPECT_EQ(fresh.Unit(), "");
    EXPECT_EQ(fresh.Description(), "");
    for (int32_t step :
         {fresh.SnapL(), fresh.SnapT(), fresh.SnapW(), fresh.SnapH(), fresh.SnapR(), fresh.SnapB()})
        EXPECT_EQ(step, 16);
    fresh.Detach(&recorder);

    // a left step alone sets the others; a mistyped value keeps what was there
    TStorageTank partial;
    partial.setValue("SnapL", TVariant(int32_t{8}));
    partial.setValue("SnapH", TVariant(int32_t{2}));
    partial.setValue("Horizontal", TVariant(std::string("wide")));
    partial.setValue("Unit", TVariant(int32_t{3}));
    TCropAspect known;
    known.SetAll("d", "cm", 7, 5);
    known.LoadFromTank(partial);
    EXPECT_EQ(known.Horizontal(), 7.0);
    EXPECT_EQ(known.Unit(), "cm");
    EXPECT_EQ(known.SnapL(), 8);
    EXPECT_EQ(known.SnapT(), 8);
    EXPECT_EQ(known.SnapH(), 2);
    EXPECT_EQ(known.SnapB(), 8);

    // what was read is written back unchanged
    TCropAspect copy;
    copy.LoadFromTank(*known.SaveToTank());
    EXPECT_EQ(copy.SaveToTank()->toString(), known.SaveToTank()->toString());
}

struct LegacyCase {
    const char* line;
    const char* units;
    bool ok;
    const char* description;
    const char* unit;
    double h, v;
};

TEST(CropAspect, ParseLegacyReadsOldAspectLines) {
    const LegacyCase cases[] = {
        {"15:10:Photo", "Centimeters", true, "15:10 (Photo)", "cm", 15, 10},
        {"15:10:Photo", "Inches", true, "15:10 (Photo)", "inches", 15, 10},
        {" 4 : 3 : Monitor ", "Inches", true, "4:3 (Monitor)", "none", 4, 3},
        {"5:4:photo", "Inches", true, "5:4 (photo)", "none", 5, 4},
        {"7:5:Photo", "Millimeters", true, "7:5 (Photo)", "cm", 7, 5},
        {"3:2:", "Centimeters", true, "3:2 ()", "none", 3, 2},
        {"16:9:Wide:screen", "Inches", true, "16:9 (Wide:screen)", "none", 16, 9},
        // refused before anything was set
        {"16:9", "Inches", false, "old", "mm", 1, 2},
        {"no colon", "Inches", false, "old", "mm", 1, 2},
        {"3.5:5:Photo", "Inches", false, "old", "mm", 1, 2},
        {"3:x:Photo", "Inches", false, "old", "mm", 1, 2},
        {":3:Photo", "Inches", false, "old", "mm", 1, 2},
        {"", "Inches", false, "old", "mm", 1, 2},
    };
    for (const LegacyCase& c : cases) {
        TCropAspect aspect;
        aspect.SetAll("old", "mm", 1, 2);
        EXPECT_EQ(aspect.ParseLegacy(c.line, c.units), c.ok) << c.line;
        EXPECT_EQ(aspect.Description(), c.description) << c.line;
        EXPECT_EQ(aspect.Unit(), c.unit) << c.line;
        EXPECT_EQ(aspect.Horizontal(), c.h) << c.line;
        EXPECT_EQ(aspect.Vertical(), c.v) << c.line;
    }
}

} // namespace
