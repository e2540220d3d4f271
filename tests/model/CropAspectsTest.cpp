#include "model/CropAspects.h"

#include <gtest/gtest.h>

#include "EventRecorder.h"
#include "core/Error.h"
#include "core/StorageTank.h"
#include "core/StringController.h"

namespace {

// The eleven stored lines of one aspect with the initial snap steps.
std::string AspectLines(const std::string& h, const std::string& v, const std::string& unit,
                        const std::string& description) {
    return StoredLine("StorageTank||") + StoredLine("Double|Horizontal|" + h) +
           StoredLine("Double|Vertical|" + v) + StoredLine("String|Unit|" + unit) +
           StoredLine("String|Description|" + description) + StoredLine("Integer|SnapL|16") +
           StoredLine("Integer|SnapT|16") + StoredLine("Integer|SnapW|1") +
           StoredLine("Integer|SnapH|1") + StoredLine("Integer|SnapR|1") +
           StoredLine("Integer|SnapB|1") + StoredLine("StorageTankEnd|");
}

TEST(CropAspects, DefaultsAreStoredLineForLine) {
    SetDecimalSeparator('.');
    struct Row {
        const char *h, *v, *unit, *description;
    };
    const Row rows[] = {
        {"12.700000000000000", "8.890000000000000", "cm", "9x13 cm"},
        {"15.240000000000000", "10.160000000000000", "cm", "10x15 cm"},
        {"17.780000000000000", "12.700000000000000", "cm", "13x18 cm"},
        {"19.050000000000000", "12.700000000000000", "cm", "13x19 cm"},
        {"20.320000000000000", "15.240000000000000", "cm", "15x20 cm"},
        {"27.000000000000000", "17.780000000000000", "cm", "18x27 cm"},
        {"30.480000000000000", "20.320000000000000", "cm", "20x30 cm"},
        {"45.720000000000000", "30.480000000000000", "cm", "30x45 cm"},
        {"60.960000000000000", "40.640000000000000", "cm", "40x60 cm"},
        {"76.200000000000000", "50.800000000000000", "cm", "50x75 cm"},
        {"4.000000000000000", "3.000000000000000", "none", "4:3 Monitor"},
        {"0.000000000000000", "0.000000000000000", "free", "Free"},
        {"0.000000000000000", "0.000000000000000", "nocrop", "No crop"},
        {"640.000000000000000", "480.000000000000000", "pixels", "640x480"},
        {"5.000000000000000", "3.000000000000000", "inches", "3\" x 5\""},
        {"5.000000000000000", "3.500000000000000", "inches", "3.5\" x 5\""},
        {"6.000000000000000", "3.500000000000000", "inches", "3.5\" x 6\""},
        {"5.000000000000000", "4.000000000000000", "inches", "4\" x 5\""},
        {"6.000000000000000", "4.000000000000000", "inches", "4\" x 6\""},
        {"7.000000000000000", "4.000000000000000", "inches", "4\" x 7\""},
        {"10.000000000000000", "4.000000000000000", "inches", "4\" x 10\""},
        {"7.000000000000000", "5.000000000000000", "inches", "5\" x 7\""},
        {"10.000000000000000", "8.000000000000000", "inches", "8\" x 10\""},
        {"14.000000000000000", "11.000000000000000", "inches", "11\" x 14\""},
    };
    std::string expected =
        StoredLine("StorageTank|Aspects|") + StoredLine("Integer|CurrentAspectList|0") +
        StoredLine("StorageTank|Lists|") + StoredLine("StorageTank|Custom|") +
        StoredLine("Integer|DefaultAspect|1") + StoredLine("StorageTank|SingleAspects|");
    for (const Row& r : rows)
        expected += AspectLines(r.h, r.v, r.unit, r.description);
    for (int i = 0; i < 4; ++i)
        expected += StoredLine("StorageTankEnd|");

    TCropAspects registry;
    registry.LoadDefaults();
    EXPECT_EQ(registry.SaveToTank()->toString(), expected);

    // and the same text read back gives the same registry
    TStorageTank settings;
    settings.fromSS(expected);
    TCropAspects reread;
    reread.LoadFromTank(settings);
    EXPECT_EQ(reread.SaveToTank()->toString(), expected);
    SetDecimalSeparator(0);
}

TEST(CropAspects, LoadDefaultsAnnouncesTwiceAndStartsAtTenByFifteen) {
    TCropAspects registry;
    TEventRecorder recorder;
    registry.Attach(&recorder);
    registry.LoadDefaults();
    ASSERT_EQ(recorder.events.size(), 2u);
    for (const auto& e : recorder.events) {
        EXPECT_EQ(e.name, "AspectListChanged");
        EXPECT_EQ(e.sender, &registry);
        EXPECT_EQ(std::get<std::string>(e.value), "");
    }
    ASSERT_EQ(registry.Count(), 1);
    EXPECT_EQ(registry.CurrentIndex(), 0);
    const TCropAspectList& list = registry.CurrentList();
    EXPECT_EQ(list.Name(), "Custom");
    EXPECT_EQ(list.Count(), 24);
    EXPECT_EQ(list.DefaultIndex(), 1);
    EXPECT_EQ(list.Descriptions().rfind("9x13 cm\r\n10x15 cm\r\n", 0), 0u);
    EXPECT_EQ(list.Items(list.DefaultIndex()).GetPPI(1800, false), 300);

    // loading again replaces, it does not add
    registry.LoadDefaults();
    EXPECT_EQ(registry.Count(), 1);
    registry.Detach(&recorder);
}

TEST(CropAspects, RelaysEveryChangeOfItsListsAndAspects) {
    TCropAspects registry;
    registry.LoadDefaults();
    TEventRecorder recorder;
    registry.Attach(&recorder);
    TCropAspectList& list = registry.CurrentList();
    TCropAspect& aspect = list.Items(10);

    aspect.SetDescription("Screen");
    list.SetDefault(3);
    list.MoveUp(5);
    ASSERT_EQ(recorder.events.size(), 3u);
    EXPECT_EQ(recorder.events[0].name, "AspectListChanged");
    EXPECT_EQ(recorder.events[0].sender, &aspect);
    EXPECT_DOUBLE_EQ(std::get<double>(recorder.events[0].value), 4.0 / 3.0);
    EXPECT_EQ(recorder.events[1].name, "NewDefaultAspect");
    EXPECT_EQ(recorder.events[1].sender, &list);
    EXPECT_EQ(std::get<int32_t>(recorder.events[1].value), 3);
    EXPECT_EQ(recorder.events[2].sender, &list);

    recorder.events.clear();
    registry.AddList(std::make_unique<TCropAspectList>());
    EXPECT_EQ(registry.Count(), 2);
    ASSERT_EQ(recorder.events.size(), 1u);
    EXPECT_EQ(recorder.events[0].sender, &registry);
    registry.Lists(1).SetName("Second");
    EXPECT_EQ(std::get<std::string>(recorder.events.back().value), "Second");
    EXPECT_THROW(registry.Lists(2), TError);
    registry.Detach(&recorder);
}

TEST(CropAspects, StoreRoundTripKeepsEveryList) {
    TCropAspects registry;
    registry.LoadDefaults();
    registry.CurrentList().SetDefault(7);
    registry.CurrentList().Delete(0);
    auto second = std::make_unique<TCropAspectList>();
    second->SetName("Odd sizes");
    TStorageTank snaps;
    snaps.setValue("Horizontal", TVariant(1.5));
    snaps.setValue("Vertical", TVariant(1.0));
    snaps.setValue("Unit", TVariant(std::string("mm")));
    snaps.setValue("Description", TVariant(std::string("Tiny \xC3\xA4 \xC2\xA4 & <x>")));
    snaps.setValue("SnapL", TVariant(int32_t{8}));
    snaps.setValue("SnapB", TVariant(int32_t{3}));
    auto aspect = std::make_unique<TCropAspect>();
    aspect->LoadFromTank(snaps);
    second->Add(std::move(aspect));
    registry.AddList(std::move(second));

    const std::string text = registry.SaveToTank()->toString();
    TStorageTank settings;
    settings.fromSS(text);
    TCropAspects copy;
    TEventRecorder recorder;
    copy.Attach(&recorder);
    copy.LoadFromTank(settings);
    EXPECT_EQ(recorder.events.size(), 1u);
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Lists(0).DefaultIndex(), 7);
    EXPECT_EQ(copy.Lists(0).Count(), 23);
    const TCropAspect& tiny = copy.Lists(1).Items(0);
    EXPECT_EQ(tiny.Description(), "Tiny \xC3\xA4 \xC2\xA4 & <x>");
    EXPECT_EQ(tiny.SnapT(), 8);
    EXPECT_EQ(tiny.SnapB(), 3);
    EXPECT_EQ(copy.SaveToTank()->toString(), text);
    copy.Detach(&recorder);
}

TEST(CropAspects, StoreWithoutListsGivesTheBuiltInAspects) {
    TStorageTank noLists("Aspects");
    noLists.setValue("CurrentAspectList", TVariant(int32_t{0}));
    TStorageTank emptyLists("Aspects");
    emptyLists.add(std::make_unique<TStorageTank>("Lists"));
    emptyLists.getTank("Lists")->setValue("stray", TVariant(int32_t{1}));
    for (const TStorageTank* store : {&noLists, &emptyLists}) {
        TCropAspects registry;
        TEventRecorder recorder;
        registry.Attach(&recorder);
        registry.LoadFromTank(*store);
        EXPECT_EQ(recorder.events.size(), 1u);
        ASSERT_EQ(registry.Count(), 1);
        EXPECT_EQ(registry.CurrentList().Count(), 24);
        EXPECT_EQ(registry.CurrentList().DefaultIndex(), 1);
        // the built-in list is observed like any other
        registry.CurrentList().Items(0).SetVertical(9);
        EXPECT_EQ(recorder.events.size(), 2u);
        registry.Detach(&recorder);
    }
}

TEST(CropAspects, ImportLegacyKeepsEveryLineAsAnAspect) {
    TCropAspects registry;
    TEventRecorder recorder;
    registry.Attach(&recorder);
    registry.ImportLegacy("15:10:Photo\r\n4:3:Monitor", 1, "Inches");
    EXPECT_EQ(recorder.events.size(), 1u);
    ASSERT_EQ(registry.Count(), 1);
    const TCropAspectList& list = registry.CurrentList();
    EXPECT_EQ(list.Name(), "Custom");
    EXPECT_EQ(list.Descriptions(), "15:10 (Photo)\r\n4:3 (Monitor)\r\n");
    EXPECT_EQ(list.Items(0).Unit(), "inches");
    EXPECT_EQ(list.Items(1).Unit(), "none");
    EXPECT_EQ(list.DefaultIndex(), 1);

    // an empty or broken line still takes its place; a default out of range is ignored
    registry.ImportLegacy("15:10:Photo\n\nbroken\r16:9:Wide", 9, "Centimeters");
    const TCropAspectList& second = registry.CurrentList();
    EXPECT_EQ(registry.Count(), 1);
    EXPECT_EQ(second.Descriptions(), "15:10 (Photo)\r\n\r\n\r\n16:9 (Wide)\r\n");
    EXPECT_EQ(second.Items(0).Unit(), "cm");
    EXPECT_EQ(second.Items(1).Unit(), "");
    EXPECT_EQ(second.Items(1).Horizontal(), 0.0);
    EXPECT_EQ(second.DefaultIndex(), 0);
    registry.Detach(&recorder);
}

TEST(CropAspects, TheApplicationRegistryIsOne) {
    TCropAspects& first = GetCropAspects();
    EXPECT_EQ(&first, &GetCropAspects());
    EXPECT_EQ(first.SaveToTank()->getInteger("CurrentAspectList", -1), 0);
}

} // namespace
