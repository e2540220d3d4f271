#include "core/ObserverPattern2.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {
std::vector<std::string> gLog;

struct TRecorder : TObserver {
    std::string id;
    std::function<void()> onUpdate;
    explicit TRecorder(std::string name) : id(std::move(name)) {}
    void Update(TObject*, const std::string& event, const TVariant&) override {
        gLog.push_back(id + ":" + event);
        if (onUpdate) onUpdate();
    }
};

class ObserverTest : public ::testing::Test {
protected:
    void SetUp() override { gLog.clear(); }
    TSubject subject;
    TRecorder a{"A"}, b{"B"}, c{"C"};
};
} // namespace

TEST_F(ObserverTest, NotifiesInAttachOrderAndDetachMovesTheLastEntry) {
    subject.Attach(&a);
    subject.Attach(&b);
    subject.Attach(&c);
    subject.Notify(&subject, "e", std::string());
    EXPECT_EQ(gLog, (std::vector<std::string>{"A:e", "B:e", "C:e"}));
    gLog.clear();
    subject.Detach(&a);
    subject.Notify(&subject, "e", std::string());
    EXPECT_EQ(gLog, (std::vector<std::string>{"C:e", "B:e"}));
}

TEST_F(ObserverTest, DoubleAttachDeliversTwiceAndOneDetachRemovesBoth) {
    subject.Attach(&a);
    subject.Attach(&a);
    subject.Notify(nullptr, "e", true);
    EXPECT_EQ(gLog.size(), 2u);
    subject.Detach(&a);
    subject.Detach(&b); // not attached: nothing changes
    EXPECT_EQ(subject.ObserverCount(), 0u);
}

TEST_F(ObserverTest, ObserversAttachedDuringAPassHearOnlyTheNextEventWhateverTheArrayBecomes) {
    subject.Attach(&a);
    a.onUpdate = [&] {
        subject.Attach(&b);
        a.onUpdate = nullptr;
    };
    subject.Notify(nullptr, "first", std::string());
    subject.Notify(nullptr, "second", std::string());
    EXPECT_EQ(gLog, (std::vector<std::string>{"A:first", "A:second", "B:second"}));

    // twenty more attached by the first observer's call outgrow the array twice
    // in the middle of a pass: the pass goes on in the new array, in order
    gLog.clear();
    subject.Attach(&c);
    std::vector<std::unique_ptr<TRecorder>> many;
    a.onUpdate = [&] {
        for (int i = 0; i < 20; ++i) {
            many.push_back(std::make_unique<TRecorder>(std::to_string(i)));
            subject.Attach(many.back().get());
        }
        a.onUpdate = nullptr;
    };
    subject.Notify(nullptr, "e", int32_t{1});
    EXPECT_EQ(gLog, (std::vector<std::string>{"A:e", "B:e", "C:e"}));
    gLog.clear();
    subject.Notify(nullptr, "f", int32_t{1});
    ASSERT_EQ(gLog.size(), 23u);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(gLog[std::size_t(i) + 3], std::to_string(i) + ":f");
}

TEST_F(ObserverTest, ErrorInAnObserverStopsThePass) {
    subject.Attach(&a);
    subject.Attach(&b);
    subject.Attach(&c);
    b.onUpdate = [] { throw std::runtime_error("boom"); };
    EXPECT_THROW(subject.Notify(nullptr, "e", 1.5), std::runtime_error);
    EXPECT_EQ(gLog, (std::vector<std::string>{"A:e", "B:e"}));
    EXPECT_EQ(subject.ObserverCount(), 3u);
}

TEST_F(ObserverTest, DetachDuringAPassSkipsOnlyThoseDetached) {
    subject.Attach(&a);
    subject.Attach(&b);
    subject.Attach(&c);
    a.onUpdate = [&] { subject.Detach(&b); };
    subject.Notify(nullptr, "e", std::string());
    EXPECT_EQ(gLog, (std::vector<std::string>{"A:e", "C:e"}));

    // an observer leaving during its own call lets everyone after it hear the event
    gLog.clear();
    a.onUpdate = [&] { subject.Detach(&a); };
    subject.Attach(&b);
    subject.Notify(nullptr, "f", std::string());
    EXPECT_EQ(gLog, (std::vector<std::string>{"A:f", "C:f", "B:f"}));
    EXPECT_EQ(subject.ObserverCount(), 2u);
    gLog.clear();
    subject.Notify(nullptr, "g", std::string());
    EXPECT_EQ(gLog, (std::vector<std::string>{"B:g", "C:g"})); // the last took the first place
}

TEST_F(ObserverTest, ReceiverCanTestTheSendersClassAndReadTheValue) {
    struct TSpecial : TObject {};
    TSpecial special;
    struct TProbe : TObserver {
        bool sawSpecial = false;
        int32_t value = 0;
        void Update(TObject* sender, const std::string&, const TVariant& v) override {
            sawSpecial = dynamic_cast<TSpecial*>(sender) != nullptr;
            value = std::get<int32_t>(v);
        }
    } probe;
    subject.Attach(&probe);
    subject.Notify(&special, "NewDefaultAspect", int32_t{3});
    EXPECT_TRUE(probe.sawSpecial);
    EXPECT_EQ(probe.value, 3);
    subject.DetachAll();
    subject.Notify(nullptr, "x", int32_t{4});
    EXPECT_EQ(probe.value, 3);
}
