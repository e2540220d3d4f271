#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/PrintOrder.h"

namespace {
TOrderPhoto Photo(const std::string& file, int x = 0) {
    TOrderPhoto p;
    p.Choice.File = file;
    p.Choice.DestName = file + ".jpg";
    p.Choice.Crop = {x, 0, 100, 50};
    return p;
}

TOrderPhoto Moved(TOrderPhoto p, int x) {
    p.Choice.Crop.x = x;
    return p;
}

/// What a view following the order sees: the files in order.
struct TView : IOrderListener {
    explicit TView(const TPrintOrder& order) : order(order) {
        for (const TOrderPhoto& p : order.Photos())
            files.push_back(p.File());
    }
    void PhotoInserted(std::size_t i) override {
        files.insert(files.begin() + static_cast<std::ptrdiff_t>(i), order.At(i).File());
    }
    void PhotoRemoved(std::size_t i, const TOrderPhoto& p) override {
        EXPECT_EQ(files[i], p.File());
        files.erase(files.begin() + static_cast<std::ptrdiff_t>(i));
    }
    void PhotoChanged(std::size_t) override { ++changes; }
    const TPrintOrder& order;
    std::vector<std::string> files;
    int changes = 0;
};

std::vector<std::string> Files(const TPrintOrder& order) {
    std::vector<std::string> files;
    for (const TOrderPhoto& p : order.Photos())
        files.push_back(p.File());
    return files;
}

std::vector<int> Xs(const TPrintOrder& order) {
    std::vector<int> xs;
    for (const TOrderPhoto& p : order.Photos())
        xs.push_back(p.Choice.Crop.x);
    return xs;
}
} // namespace

// Each kind of step undone gives the order before it, done again the order after
// it, and a view that follows the changes shows the same list throughout.
TEST(PrintOrderTest, EachStepUndoneAndRedoneGivesTheOrderBeforeAndAfterIt) {
    struct TCase {
        const char* name;
        void (*step)(TPrintOrder&);
    };
    const TCase cases[] = {
        {"add two in the middle",
         [](TPrintOrder& o) {
             o.Insert(1, Photo("x"));
             o.Insert(2, Photo("y"));
         }},
        {"remove first and last",
         [](TPrintOrder& o) {
             o.Remove(0);
             o.Remove(o.Count() - 1);
         }},
        {"edit two, one twice",
         [](TPrintOrder& o) {
             o.Update(0, Moved(o.At(0), 16));
             o.Update(2, Moved(o.At(2), 32));
             o.Update(0, Moved(o.At(0), 48));
         }},
        {"edit, then remove what was edited",
         [](TPrintOrder& o) {
             o.Update(1, Moved(o.At(1), 16));
             o.Remove(1);
         }},
        {"remove, then edit the one that took its place",
         [](TPrintOrder& o) {
             o.Remove(0);
             o.Update(0, Moved(o.At(0), 64));
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TPrintOrder order;
        for (const char* f : {"a", "b", "c"})
            order.Insert(order.Count(), Photo(f));
        order.EndStep();
        const auto filesBefore = Files(order);
        const auto xsBefore = Xs(order);
        c.step(order);
        ASSERT_TRUE(order.EndStep());
        const auto filesAfter = Files(order);
        const auto xsAfter = Xs(order);

        TView view(order);
        order.Undo(view);
        EXPECT_EQ(Files(order), filesBefore);
        EXPECT_EQ(Xs(order), xsBefore);
        EXPECT_EQ(view.files, filesBefore);
        order.Redo(view);
        EXPECT_EQ(Files(order), filesAfter);
        EXPECT_EQ(Xs(order), xsAfter);
        EXPECT_EQ(view.files, filesAfter);
    }
}

TEST(PrintOrderTest, StepsHoldOnlyWhatTheUserChose) {
    TPrintOrder order;
    order.Insert(0, Photo("a"));
    order.EndStep();
    // a new name or a result is no step, and an edit undone by hand is none either
    TOrderPhoto renamed = order.At(0);
    renamed.Choice.DestName = "other.jpg";
    order.Update(0, renamed);
    order.SetResult(0, TPhotoState::Failed, "why");
    EXPECT_FALSE(order.EndStep());
    order.Update(0, Moved(order.At(0), 16));
    order.Update(0, Moved(order.At(0), 0));
    EXPECT_FALSE(order.EndStep());

    // an undone edit keeps the name given since
    order.Update(0, Moved(order.At(0), 16));
    order.EndStep();
    renamed = order.At(0);
    renamed.Choice.DestName = "last.jpg";
    order.Update(0, renamed);
    TView view(order);
    order.Undo(view);
    EXPECT_EQ(order.At(0).Choice.Crop.x, 0);
    EXPECT_EQ(order.At(0).Choice.DestName, "last.jpg");
    EXPECT_EQ(view.changes, 1);
}

TEST(PrintOrderTest, AStepAfterAnUndoDropsTheRedoAndOnlyTheNewestStepsAreKept) {
    TPrintOrder order(2);
    TView view(order);
    order.Insert(0, Photo("a"));
    order.EndStep();
    order.Remove(0);
    order.EndStep();
    order.Undo(view);
    order.Insert(1, Photo("b"));
    order.EndStep();
    EXPECT_FALSE(order.CanRedo());
    // two more steps push out the ones that held "a"'s removal and addition
    order.Update(0, Moved(order.At(0), 16));
    order.EndStep();
    order.Update(0, Moved(order.At(0), 32));
    order.EndStep();
    EXPECT_TRUE(order.CanUndo());
    order.Undo(view);
    order.Undo(view);
    EXPECT_FALSE(order.CanUndo());
    EXPECT_EQ(Files(order), (std::vector<std::string>{"a", "b"}));
}
