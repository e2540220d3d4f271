#include "jobs/OutputNames.h"

#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "jobs/CropPlan.h"

namespace fs = std::filesystem;

namespace {
TCropPlanPhoto Photo(const std::string& source, const std::string& name) {
    TCropPlanPhoto photo;
    photo.Source = source;
    photo.DestinationName = name;
    return photo;
}

TEST(OutputNamesTest, KeySetHoldsEveryKeyOnceThroughItsGrowth) {
    TKeySet keys;
    std::set<uint64_t> reference;
    // neighbouring keys, the key 0 that marks a free slot, and keys that share low bits
    for (uint64_t i = 0; i < 5000; ++i)
        for (const uint64_t key : {i, i << 40, ~i}) {
            EXPECT_EQ(keys.Insert(key), reference.insert(key).second) << key;
        }
    EXPECT_EQ(keys.Size(), reference.size());
    for (uint64_t i = 0; i < 5000; ++i) {
        EXPECT_TRUE(keys.Contains(i << 40));
        EXPECT_FALSE(keys.Contains((i << 40) + 1 + (uint64_t(1) << 39)));
    }
}

TEST(OutputNamesTest, ANameGivenOftenTakesTheNextFreeNumberOnDiskAndInTheRun) {
    TTempDir dir;
    for (const char* name : {"a.jpg", "a (3).jpg", "noext", "noext (2)"})
        WriteFileBytes(dir.file(name), "taken");
    const auto onDisk = [](const std::string& p) { return fs::exists(p); };
    TOutputNames names;
    const std::string a = dir.file("a.jpg");
    struct TCase {
        std::string path;
        std::string expected;
    };
    const TCase cases[] = {
        {a, dir.file("a (2).jpg")},
        {a, dir.file("a (4).jpg")},
        {a, dir.file("a (5).jpg")},
        {dir.file("b.jpg"), dir.file("b.jpg")},
        {dir.file("b.jpg"), dir.file("b (2).jpg")},
        {dir.file("noext"), dir.file("noext (3)")},
    };
    for (const TCase& c : cases) {
        const std::string free = names.FreeName(c.path, onDisk);
        EXPECT_EQ(free, c.expected);
        names.Add(free);
    }
}

// A run planned in parts gives the names one plan would give: the second part
// knows what the first gave out, and no output replaces a photo of an earlier part.
TEST(OutputNamesTest, PartsOfARunPlannedOneAfterTheOtherNeverShareAName) {
    TTempDir dir;
    for (const char* name : {"one/a.jpg", "two/a.jpg", "three/a.jpg", "out/b.jpg"}) {
        fs::create_directories(fs::path(dir.file(name)).parent_path());
        WriteFileBytes(dir.file(name), "photo");
    }
    TOutputNames names;
    TCropPlanOptions options{dir.file("out"), false, false};
    options.Names = &names;
    const auto answer = [](const TCropQuestion&) { return TAnswer::No; };
    std::vector<std::string> outputs;
    for (const char* part : {"one/a.jpg", "two/a.jpg", "out/b.jpg", "three/a.jpg"}) {
        const TCropPlan plan = PlanCrops({Photo(dir.file(part), "a.jpg")}, options, answer);
        outputs.push_back(plan.Photos.at(0).What == TPlannedCrop::Crop ? plan.Photos[0].Output
                                                                       : plan.Photos[0].Reason);
    }
    EXPECT_EQ(outputs,
              (std::vector<std::string>{dir.file("out/a.jpg"), dir.file("out/a (2).jpg"),
                                        dir.file("out/a (3).jpg"), dir.file("out/a (4).jpg")}));
    // an earlier part's photo is never an output
    const TCropPlan late = PlanCrops({Photo(dir.file("one/a.jpg"), "b.jpg")}, options, answer);
    EXPECT_EQ(late.Photos.at(0).What, TPlannedCrop::Refused);
    EXPECT_EQ(late.Photos[0].Reason,
              "The output file is another photo named: " + dir.file("out/b.jpg"));
}
} // namespace
