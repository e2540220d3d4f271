#include "model/CropAspectList.h"

#include <gtest/gtest.h>

#include "EventRecorder.h"
#include "core/Error.h"
#include "core/StorageTank.h"

namespace {

std::unique_ptr<TCropAspect> NewAspect(const std::string& description, double h = 3, double v = 2) {
    auto aspect = std::make_unique<TCropAspect>();
    aspect->SetAll(description, "cm", h, v);
    return aspect;
}

// Appends aspects with the given descriptions.
void Fill(TCropAspectList& list, std::initializer_list<const char*> descriptions) {
    for (const char* d : descriptions)
        list.Add(NewAspect(d));
}

std::string Order(const TCropAspectList& list) {
    std::string text;
    for (int i = 0; i < list.Count(); ++i)
        text += list.Items(i).Description();
    return text;
}

TEST(CropAspectList, ChangesAnnounceTheirEventsAndValues) {
    TCropAspectList list;
    TEventRecorder recorder;
    list.Attach(&recorder);

    list.Add(NewAspect("a"));
    list.Add(NewAspect("b"));
    list.SetName("Mine");
    list.SetName("Mine");
    list.SetDefault(1);
    list.Delete(0);
    ASSERT_EQ(recorder.events.size(), 5u);
    const char* names[] = {"AspectListChanged", "AspectListChanged", "AspectListChanged",
                           "NewDefaultAspect", "AspectListChanged"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(recorder.events[i].name, names[i]);
        EXPECT_EQ(recorder.events[i].sender, &list);
    }
    EXPECT_EQ(std::get<std::string>(recorder.events[0].value), "");
    EXPECT_EQ(std::get<std::string>(recorder.events[2].value), "Mine");
    EXPECT_EQ(std::get<int32_t>(recorder.events[3].value), 1);
    EXPECT_EQ(std::get<std::string>(recorder.events[4].value), "");

    // the default stays where it was, even past the end, and reads clamped
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.DefaultIndex(), 0);
    list.Add(NewAspect("c"));
    EXPECT_EQ(list.DefaultIndex(), 1);

    recorder.events.clear();
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.DefaultIndex(), 0);
    EXPECT_TRUE(recorder.events.empty());
}

TEST(CropAspectList, AspectChangesArriveAsListChangesFromTheAspect) {
    TCropAspectList list;
    Fill(list, {"a", "b"});
    TEventRecorder recorder;
    list.Attach(&recorder);
    TCropAspect& second = list.Items(1);
    second.SetDescription("renamed");
    second.SetVertical(2); // no change: nothing relayed
    second.SetVertical(1.5);
    ASSERT_EQ(recorder.events.size(), 2u);
    EXPECT_EQ(recorder.events[0].name, "AspectListChanged");
    EXPECT_EQ(recorder.events[0].sender, &second);
    EXPECT_DOUBLE_EQ(std::get<double>(recorder.events[0].value), 1.5);
    EXPECT_DOUBLE_EQ(std::get<double>(recorder.events[1].value), 2.0);
}

TEST(CropAspectList, RefusedRequestsChangeAndAnnounceNothing) {
    TCropAspectList list;
    Fill(list, {"a", "b", "c"});
    TEventRecorder recorder;
    list.Attach(&recorder);

    EXPECT_FALSE(list.MoveUp(0));
    EXPECT_FALSE(list.MoveUp(3));
    EXPECT_FALSE(list.MoveUp(-1));
    EXPECT_FALSE(list.MoveDown(2));
    EXPECT_FALSE(list.MoveDown(-1));
    EXPECT_FALSE(list.MoveDown(3));
    list.SetDefault(0); // already the default
    list.SetDefault(-1);
    list.SetDefault(3);
    EXPECT_TRUE(recorder.events.empty());
    EXPECT_EQ(Order(list), "abc");

    EXPECT_THROW(list.Items(3), TError);
    EXPECT_THROW(list.Items(-1), TError);
    EXPECT_THROW(list.Delete(3), TError);
    EXPECT_EQ(list.Count(), 3);
}

TEST(CropAspectList, MovesSwapNeighboursAndLeaveTheDefaultInPlace) {
    TCropAspectList list;
    Fill(list, {"a", "b", "c"});
    list.SetDefault(1);
    TEventRecorder recorder;
    list.Attach(&recorder);

    EXPECT_TRUE(list.MoveDown(1));
    EXPECT_EQ(Order(list), "acb");
    EXPECT_EQ(list.Items(list.DefaultIndex()).Description(), "c");
    EXPECT_TRUE(list.MoveUp(2));
    EXPECT_EQ(Order(list), "abc");
    EXPECT_TRUE(list.MoveDown(0));
    EXPECT_EQ(Order(list), "bac");
    EXPECT_EQ(recorder.Count("AspectListChanged"), 3);

    // moved aspects still report to the list
    recorder.events.clear();
    list.Items(0).SetDescription("B");
    EXPECT_EQ(recorder.Count("AspectListChanged"), 1);
    EXPECT_EQ(list.Descriptions(), "B\r\na\r\nc\r\n");
}

TEST(CropAspectList, StoreRoundTripKeepsNameDefaultAndAspects) {
    TCropAspectList list;
    list.SetName("Prints");
    Fill(list, {"a", "b", "c"});
    list.SetDefault(2);
    const auto store = list.SaveToTank();
    EXPECT_EQ(store->name(), "Prints");
    EXPECT_EQ(store->getInteger("DefaultAspect", -1), 2);
    ASSERT_NE(store->getTank("SingleAspects"), nullptr);
    EXPECT_EQ(store->getTank("SingleAspects")->count(), 3);

    TStorageTank reread;
    reread.fromSS(store->toString());
    TCropAspectList copy;
    TEventRecorder recorder;
    copy.Attach(&recorder);
    copy.LoadFromTank(reread);
    EXPECT_EQ(copy.Name(), "Prints");
    EXPECT_EQ(copy.DefaultIndex(), 2);
    EXPECT_EQ(copy.Descriptions(), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(copy.SaveToTank()->toString(), store->toString());
    ASSERT_FALSE(recorder.events.empty());
    EXPECT_EQ(std::get<std::string>(recorder.events.back().value), "");

    // the aspects read are observed like added ones
    recorder.events.clear();
    copy.Items(1).SetHorizontal(9);
    EXPECT_EQ(recorder.Count("AspectListChanged"), 1);
}

TEST(CropAspectList, ReadsTheOlderLayoutAndClampsStoredDefaults) {
    // aspects directly in the list's store; a plain value among them is skipped
    TStorageTank old("Old");
    old.add(NewAspect("x")->SaveToTank());
    old.setValue("DefaultAspect", TVariant(int32_t{1}));
    old.add(NewAspect("y")->SaveToTank());
    TCropAspectList list;
    list.LoadFromTank(old);
    EXPECT_EQ(list.Descriptions(), "x\r\ny\r\n");
    EXPECT_EQ(list.DefaultIndex(), 0);

    // a default beyond the end reads as the last position
    TStorageTank far("Far");
    far.setValue("DefaultAspect", TVariant(int32_t{30}));
    auto single = std::make_unique<TStorageTank>("SingleAspects");
    single->add(NewAspect("p")->SaveToTank());
    single->add(NewAspect("q")->SaveToTank());
    far.add(std::move(single));
    TCropAspectList clamped;
    clamped.LoadFromTank(far);
    EXPECT_EQ(clamped.DefaultIndex(), 1);
    EXPECT_EQ(clamped.SaveToTank()->getInteger("DefaultAspect", -1), 30);

    // "SingleAspects" as a plain value holds no aspects
    TStorageTank odd("Odd");
    odd.setValue("SingleAspects", TVariant(std::string("x")));
    TCropAspectList empty;
    empty.LoadFromTank(odd);
    EXPECT_EQ(empty.Count(), 0);
}

} // namespace
