#include "jobs/CropPlan.h"

#include <algorithm>
#include <filesystem>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "TempDir.h"

namespace fs = std::filesystem;

namespace {
/// What a case expects of one photo: what becomes of it, the output's name
/// in the destination folder (or ""), and the start of the reason.
struct TExpected {
    TPlannedCrop::TWhat What;
    std::string Output;
    std::string Reason = "";
};

class CropPlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"one", "two", "out"})
            fs::create_directories(dir.file(folder));
        for (const char* name : {"one/a.jpg", "two/a.jpg", "one/b.jpg", "one/c.jpg"})
            WriteFileBytes(dir.file(name), "photo");
    }
    TCropPlanPhoto Photo(const std::string& source, const std::string& name = "") const {
        return {dir.file(source), name.empty() ? fs::path(source).filename().string() : name};
    }
    /// Plans with scripted answers, recording the questions as "title|text".
    TCropPlan Plan(const std::vector<TCropPlanPhoto>& photos, TCropPlanOptions options,
                   std::vector<TAnswer> answers, const std::function<bool()>& stop = {}) {
        if (options.Folder.empty()) options.Folder = dir.file("out/");
        asked.clear();
        return PlanCrops(
            photos, options,
            [&](const TCropQuestion& q) {
                asked.push_back(q.Title + "|" + q.Text);
                if (answers.empty()) return TAnswer::Cancel;
                const TAnswer a = answers.front();
                answers.erase(answers.begin());
                return a;
            },
            stop);
    }
    void Expect(const TCropPlan& plan, const std::vector<TExpected>& expected) const {
        ASSERT_EQ(plan.Photos.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(i);
            const TPlannedCrop& p = plan.Photos[i];
            EXPECT_EQ(p.What, expected[i].What);
            if (!expected[i].Output.empty())
                EXPECT_EQ(p.Output, dir.file("out/" + expected[i].Output));
            EXPECT_EQ(p.Reason.substr(0, expected[i].Reason.size()), expected[i].Reason);
        }
    }

    TTempDir dir;
    std::vector<std::string> asked;
};
} // namespace

// Photos of two folders with one name, a name taken on disk, and names no
// job may write: each photo gets one output, and nothing is asked about a
// photo that is refused anyway.
TEST_F(CropPlanTest, NamesAreGivenOnceAndRefusalsComeBeforeQuestions) {
    WriteFileBytes(dir.file("out/a (2).jpg"), "someone's");
    WriteFileBytes(dir.file("one/self.jpg"), "photo");
    const auto plan = Plan({Photo("one/a.jpg"), Photo("two/a.jpg"), Photo("one/b.jpg", ".."),
                            Photo("one/missing.jpg"), Photo("one/c.jpg", "a.jpg")},
                           {}, {});
    Expect(plan, {{TPlannedCrop::Crop, "a.jpg"},
                  {TPlannedCrop::Crop, "a (3).jpg"}, // "a (2).jpg" is someone else's
                  {TPlannedCrop::Refused, "", "The destination file name \"..\" names no file"},
                  {TPlannedCrop::Refused, "", "Unable to read " + dir.file("one/missing.jpg")},
                  {TPlannedCrop::Crop, "a (4).jpg"}});
    EXPECT_TRUE(plan.Questions.empty());
    EXPECT_FALSE(plan.Photos[0].Replace);

    // the destination folder is the photos' own: the photo itself and another
    // photo of the run are refused, though their files exist and would be asked about
    const TCropPlan own = Plan({Photo("one/self.jpg"), Photo("two/a.jpg"), Photo("one/a.jpg")},
                               {dir.file("one"), true}, {TAnswer::Yes, TAnswer::Yes});
    const auto itself = [&](const std::string& name) {
        return "The output file " + dir.file(name) + " is the source file itself";
    };
    Expect(own, {{TPlannedCrop::Refused, "", itself("one/self.jpg")},
                 {TPlannedCrop::Refused, "",
                  "The output file is another photo named: " + dir.file("one/a.jpg")},
                 {TPlannedCrop::Refused, "", itself("one/a.jpg")}});
    EXPECT_TRUE(asked.empty());
}

// The answers, table-driven: existing "a.jpg" and read-only "b.jpg" in the
// destination folder; both photos named a.jpg come first.
TEST_F(CropPlanTest, EachAnswerSettlesItsPhoto) {
    WriteFileBytes(dir.file("out/a.jpg"), "old");
    WriteFileBytes(dir.file("out/b.jpg"), "old");
    chmod(dir.file("out/b.jpg").c_str(), 0444);
    const std::string exists = "File exists|Overwrite ";
    const std::string readOnly = "READ ONLY|File b.jpg is read only.\n\nOverwrite anyway?";
    struct TCase {
        const char* name;
        bool ask;
        std::vector<TAnswer> answers;
        std::vector<std::string> questions;
        std::vector<TExpected> expected;
        bool cancelled;
    };
    const TCase cases[] = {
        {"yes to all",
         true,
         {TAnswer::Yes, TAnswer::Yes, TAnswer::Yes},
         {exists + "a.jpg?", exists + "b.jpg?", readOnly},
         {{TPlannedCrop::Crop, "a.jpg"},
          {TPlannedCrop::Crop, "a (2).jpg"},
          {TPlannedCrop::Crop, "b.jpg"}},
         false},
        // a photo skipped leaves its name to the next one, which is asked again
        {"no, then yes",
         true,
         {TAnswer::No, TAnswer::Yes, TAnswer::Yes, TAnswer::No},
         {exists + "a.jpg?", exists + "a.jpg?", exists + "b.jpg?", readOnly},
         {{TPlannedCrop::Skipped, "a.jpg", "File exists"},
          {TPlannedCrop::Crop, "a.jpg"},
          {TPlannedCrop::Skipped, "b.jpg", "The output file is read only"}},
         false},
        {"cancel ends the plan there",
         true,
         {TAnswer::Yes, TAnswer::Cancel},
         {exists + "a.jpg?", exists + "b.jpg?"},
         {{TPlannedCrop::Crop, "a.jpg"},
          {TPlannedCrop::Crop, "a (2).jpg"},
          {TPlannedCrop::NotReached, "b.jpg"}},
         true},
        // an answer for the rest of the run is not asked for again; the read-only
        // question is a question of its own
        {"yes to all answers the rest",
         true,
         {TAnswer::YesToAll, TAnswer::Yes},
         {exists + "a.jpg?", readOnly},
         {{TPlannedCrop::Crop, "a.jpg"},
          {TPlannedCrop::Crop, "a (2).jpg"},
          {TPlannedCrop::Crop, "b.jpg"}},
         false},
        {"no to all answers the rest",
         true,
         {TAnswer::NoToAll},
         {exists + "a.jpg?"},
         {{TPlannedCrop::Skipped, "a.jpg", "File exists"},
          {TPlannedCrop::Skipped, "a.jpg", "File exists"},
          {TPlannedCrop::Skipped, "b.jpg", "File exists"}},
         false},
        // the file there stays, the photo takes the first name free on disk and in the run
        {"keep both",
         true,
         {TAnswer::KeepBoth, TAnswer::KeepBoth, TAnswer::KeepBoth},
         {exists + "a.jpg?", exists + "a.jpg?", exists + "b.jpg?"},
         {{TPlannedCrop::Crop, "a (2).jpg"},
          {TPlannedCrop::Crop, "a (3).jpg"},
          {TPlannedCrop::Crop, "b (2).jpg"}},
         false},
        {"keep both a read-only file",
         false,
         {TAnswer::KeepBoth},
         {readOnly},
         {{TPlannedCrop::Crop, "a.jpg"},
          {TPlannedCrop::Crop, "a (2).jpg"},
          {TPlannedCrop::Crop, "b (2).jpg"}},
         false},
        // "Overwrite" asks only about the read-only file
        {"overwrite without asking",
         false,
         {TAnswer::Yes},
         {readOnly},
         {{TPlannedCrop::Crop, "a.jpg"},
          {TPlannedCrop::Crop, "a (2).jpg"},
          {TPlannedCrop::Crop, "b.jpg"}},
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TCropPlan plan = Plan({Photo("one/a.jpg"), Photo("two/a.jpg"), Photo("one/b.jpg")},
                                    {"", c.ask}, c.answers);
        Expect(plan, c.expected);
        EXPECT_EQ(asked, c.questions);
        EXPECT_EQ(plan.Cancelled, c.cancelled);
        ASSERT_EQ(plan.Questions.size(), c.questions.size());
        for (std::size_t i = 0; i < plan.Questions.size(); ++i)
            EXPECT_EQ(plan.Questions[i].Answer, c.answers[i]);
        // only an output that is there is replaced; one kept beside it never is
        std::size_t keptBoth = 0;
        for (const TPlannedCrop& p : plan.Photos) {
            if (p.What != TPlannedCrop::Crop) continue;
            keptBoth += p.KeptBoth;
            EXPECT_EQ(p.Replace, fs::exists(p.Output)) << p.Output;
            EXPECT_EQ(p.ClearReadOnly, p.Output == dir.file("out/b.jpg")) << p.Output;
        }
        EXPECT_EQ(keptBoth,
                  std::size_t(std::count(c.answers.begin(), c.answers.end(), TAnswer::KeepBoth)));
    }
    // the plan only looks: the read-only file is still so
    EXPECT_EQ(ReadFileBytes(dir.file("out/b.jpg")), "old");
    struct stat st;
    ASSERT_EQ(stat(dir.file("out/b.jpg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST_F(CropPlanTest, StopEndsThePlanBeforeTheNextPhoto) {
    int seen = 0;
    const TCropPlan plan = Plan({Photo("one/a.jpg"), Photo("one/b.jpg"), Photo("one/c.jpg")}, {},
                                {}, [&] { return ++seen > 1; });
    Expect(plan, {{TPlannedCrop::Crop, "a.jpg"},
                  {TPlannedCrop::NotReached, ""},
                  {TPlannedCrop::NotReached, ""}});
    EXPECT_TRUE(plan.Cancelled);
}

TEST(DestinationFolderTest, OneTrailingSeparatorGoesButTheRootStays) {
    const std::pair<const char*, const char*> cases[] = {
        {"out/", "out"}, {"out\\", "out"}, {"out//", "out/"}, {"/", "/"}, {"", ""}, {"out", "out"}};
    for (const auto& [typed, folder] : cases)
        EXPECT_EQ(DestinationFolder(typed), folder) << typed;
}

// A photo whose data ends early is asked about by its own name before its
// output is settled: No leaves the name to the next photo, Cancel ends the plan.
TEST_F(CropPlanTest, AnIncompletePhotoIsAskedAboutFirst) {
    const std::vector<std::string> question = {
        "Incomplete photo|c.jpg is incomplete: its lower part is grey. Crop it anyway?"};
    struct TCase {
        TAnswer answer;
        std::vector<TExpected> expected;
    };
    const TCase cases[] = {
        {TAnswer::No,
         {{TPlannedCrop::Skipped, "", "incomplete: the lower part is grey"},
          {TPlannedCrop::Crop, "a.jpg"}}},
        {TAnswer::Yes, {{TPlannedCrop::Crop, "a.jpg"}, {TPlannedCrop::Crop, "a (2).jpg"}}},
        {TAnswer::Cancel, {{TPlannedCrop::NotReached, ""}, {TPlannedCrop::NotReached, ""}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        TCropPlanPhoto incomplete = Photo("one/c.jpg", "a.jpg");
        incomplete.Incomplete = true;
        const TCropPlan plan = Plan({incomplete, Photo("one/a.jpg")}, {}, {c.answer});
        Expect(plan, c.expected);
        EXPECT_EQ(asked, question);
        EXPECT_EQ(plan.Cancelled, c.answer == TAnswer::Cancel);
    }
}
