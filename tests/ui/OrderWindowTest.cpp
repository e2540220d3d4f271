#include "ui/OrderKeeper.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include "CropRunWait.h"
#include "ScriptedPrompt.h"
#include "TempDir.h"
#include "cli/BatchRun.h"
#include "core/FilesystemController.h"
#include "core/StorageTank.h"
#include "frames/IFrame.h"
#include "jobs/CropPlan.h"
#include "jobs/OrderFile.h"
#include "jobs/SharedSettings.h"
#include "jobs/Transformer.h"
#include "model/CropAspect.h"
#include "model/CropAspectList.h"
#include "model/CropAspects.h"
#include "ui/FrameList.h"
#include "ui/MainForm.h"

namespace fs = std::filesystem;

namespace {

class OrderWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"prog", "cfg", "photos", "out", "reference"})
            fs::create_directories(dir.file(folder));
        MakeJpeg(photo("turned.jpg"), 320, 240);
        MakeJpeg(photo("flipped.jpg"), 320, 240);
        MakeJpeg(photo("free.jpg"), 240, 320);
        MakeJpeg(photo("whole.jpg"), 200, 136);
    }
    std::string photo(const std::string& name) const { return dir.file("photos/" + name); }

    std::unique_ptr<TMainForm> Start(std::vector<std::string> files = {}) {
        auto window = std::make_unique<TMainForm>(TSettingsFile(dir.file("prog"), dir.file("cfg")),
                                                  std::move(files), &prompt);
        window->show();
        QApplication::processEvents();
        return window;
    }
    static void WaitForImages(TMainForm& w, std::size_t n) {
        for (int i = 0; i < 200 && w.Images().size() < n; ++i)
            QTest::qWait(20);
        WaitForAddRun(w);
    }
    static int AspectIndex(const std::string& description) {
        const TCropAspectList& list = GetCropAspects().CurrentList();
        for (int i = 0; i < list.Count(); ++i)
            if (list.Items(i).Description() == description) return i;
        return -1;
    }
    // What the window would write for these photos, through the same plan and job
    // code, into the reference folder.
    void CutReference(const std::vector<TOrderPhoto>& photos) {
        std::vector<TCropPlanPhoto> planned;
        for (const TOrderPhoto& p : photos)
            planned.push_back(PlanPhotoOf(p));
        TCropPlanOptions options;
        options.Folder = dir.file("reference");
        const TCropPlan plan =
            PlanCrops(planned, options, [](const TCropQuestion&) { return TAnswer::Cancel; });
        TStorageTank defaults;
        for (std::size_t i = 0; i < planned.size(); ++i) {
            ASSERT_EQ(plan.Photos[i].What, TPlannedCrop::Crop) << plan.Photos[i].Reason;
            TCropJob job = PlannedJob(planned[i], plan.Photos[i]);
            job.Tool = FindTransformer();
            job.Options = CropOptionsFrom(defaults);
            const TCropResult result = RunCropJob(job);
            ASSERT_TRUE(fs::exists(job.Output)) << job.Output;
        }
    }
    void ExpectSameOutputs(const std::string& folder = "out") {
        int files = 0;
        for (const auto& entry : fs::directory_iterator(dir.file("reference"))) {
            const std::string name = entry.path().filename();
            EXPECT_EQ(ReadFileBytes(dir.file(folder + "/" + name)), ReadFileBytes(entry.path()))
                << folder << "/" << name;
            ++files;
        }
        EXPECT_EQ(files, 4);
    }
    static void ExpectSameChoices(const std::vector<TOrderPhoto>& want,
                                  const std::vector<TOrderPhoto>& got) {
        ASSERT_EQ(want.size(), got.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            EXPECT_TRUE(want[i].Choice.SameEdit(got[i].Choice)) << want[i].File();
            EXPECT_EQ(want[i].Choice.Crop, got[i].Choice.Crop) << want[i].File();
            EXPECT_EQ(want[i].Choice.DestName, got[i].Choice.DestName);
            EXPECT_EQ(want[i].Kind, got[i].Kind) << want[i].File();
            EXPECT_EQ(want[i].Resolution, got[i].Resolution) << want[i].File();
        }
    }

    TTempDir dir;
    TScriptedPrompt prompt;
};

// Photos turned, flipped, free with an area of their own under an aspect the
// user made, and not cut at all.
std::vector<TOrderPhoto> MakeMixedChoices(TMainForm& w) {
    auto custom = std::make_unique<TCropAspect>();
    custom->SetAll("Lab 7x5", "cm", 7, 5);
    GetCropAspects().CurrentList().Add(std::move(custom));
    const auto& frames = w.Images();
    TFrameList& list = w.List();
    list.SetCurrent(frames[0]);
    list.TurnChosen(90);
    const TCropAspectList& aspects = GetCropAspects().CurrentList();
    frames[1]->ChooseAspect(aspects.Count() - 1, false);
    frames[1]->ToggleFlip();
    for (int i = 0; i < aspects.Count(); ++i) {
        if (aspects.Items(i).Unit() == "free") frames[2]->ChooseAspect(i, false);
        if (aspects.Items(i).Unit() == "nocrop") frames[3]->ChooseAspect(i, false);
    }
    TFrameState free = frames[2]->State();
    free.Crop = {32, 48, 97, 131};
    frames[2]->Restore(free);
    list.Checkpoint();
    return list.Order().Photos();
}

TEST_F(OrderWindowTest, AnOrderSavedAndOpenedBringsBackEveryAreaAndCutsTheSameBytes) {
    std::vector<std::string> files = {photo("turned.jpg"), photo("flipped.jpg"), photo("free.jpg"),
                                      photo("whole.jpg")};
    auto w = Start(files);
    WaitForImages(*w, 4);
    ASSERT_EQ(w->Images().size(), 4u);
    const std::vector<TOrderPhoto> chosen = MakeMixedChoices(*w);
    EXPECT_EQ(chosen[0].Choice.Rotation, 90);
    EXPECT_TRUE(chosen[1].Choice.Flipped);
    EXPECT_EQ(chosen[1].Choice.Aspect, "Lab 7x5");
    EXPECT_EQ(chosen[2].Kind, "free");
    EXPECT_EQ(chosen[3].Kind, "nocrop");
    EXPECT_TRUE(w->Keeper().Modified());

    // saved where the photos lie, then the folder moves with its order; Save Order
    // asks for the file the first time only, and adds the extension
    std::vector<std::string> asked;
    w->Keeper().SetDesktop(
        [&](bool save, const std::string&) {
            asked.push_back(save ? "save" : "open");
            return dir.file("photos/holiday");
        },
        [](const std::string&) {});
    w->DirEdit()->setText(QString::fromStdString(dir.file("out")));
    EXPECT_EQ(w->Action("SaveOrderAction")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    w->Action("SaveOrderAction")->trigger();
    const std::string order = dir.file("photos/holiday.tvorder");
    EXPECT_EQ(w->Keeper().File(), order);
    EXPECT_FALSE(w->Keeper().Modified());
    w->Images()[3]->ToggleFlip();
    w->List().Checkpoint();
    EXPECT_TRUE(w->Keeper().Modified());
    w->Images()[3]->ToggleFlip();
    w->List().Checkpoint();
    EXPECT_FALSE(w->Keeper().Modified());
    w->Action("SaveOrderAction")->trigger();
    EXPECT_EQ(asked, std::vector<std::string>{"save"});
    // saved: a clean end asks nothing
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(prompt.questions.empty());
    w.reset();
    // the list of aspects is as it was before the one made for the lab
    fs::remove(dir.file("prog/Trimvale.ini"));

    fs::rename(dir.file("photos"), dir.file("moved"));
    std::vector<TOrderPhoto> moved = chosen;
    for (TOrderPhoto& p : moved)
        p.Choice.File = dir.file("moved/" + fs::path(p.File()).filename().string());
    CutReference(moved);

    // a new start: the custom aspect is gone from the list with the unsaved settings
    auto again = Start();
    EXPECT_LT(AspectIndex("Lab 7x5"), 0);
    ASSERT_TRUE(again->Keeper().OpenFile(dir.file("moved/holiday.tvorder")));
    EXPECT_TRUE(prompt.messages.empty()) << prompt.messages.front();
    EXPECT_GE(AspectIndex("Lab 7x5"), 0);
    ExpectSameChoices(moved, again->List().Order().Photos());
    EXPECT_FALSE(again->Keeper().Modified());
    EXPECT_EQ(again->DirEdit()->text().toStdString(), dir.file("out"));
    EXPECT_EQ(again->Keeper().Recent().front(), dir.file("moved/holiday.tvorder"));

    again->CropImagesActionExecute();
    WaitForCropRun(*again);
    ExpectSameOutputs();
    EXPECT_TRUE(again->Images().empty());
    EXPECT_TRUE(again->close());
    again.reset();

    // the command line cuts the same order to the same bytes, one report line a photo
    std::ostringstream out, err;
    EXPECT_EQ(RunCommandLine({"--crop", "--settings", dir.file("prog/Trimvale.ini"), "--order",
                              dir.file("moved/holiday.tvorder"), "--output", dir.file("cli"),
                              "--format", "jsonl"},
                             out, err, false),
              0)
        << err.str();
    ExpectSameOutputs("cli");
    const std::string report = out.str();
    EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 4) << report;
    EXPECT_NE(report.find("\"status\":\"written\""), std::string::npos) << report;
}

TEST_F(OrderWindowTest, AfterAKillTheNextStartOffersTheOrderAsItWas) {
    // the real program, started from a folder of its own so that its settings and
    // its autosave lie there, is killed once the photos are in and kept
    const std::string program = dir.file("prog/trimvale");
    fs::copy_file(TRIMVALE_PROGRAM, program);
    const std::vector<std::string> files = {photo("turned.jpg"), photo("flipped.jpg"),
                                            photo("free.jpg"), photo("whole.jpg")};
    const pid_t child = fork();
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        std::vector<char*> args = {const_cast<char*>(program.c_str())};
        for (const std::string& f : files)
            args.push_back(const_cast<char*>(f.c_str()));
        args.push_back(nullptr);
        execv(program.c_str(), args.data());
        _exit(127);
    }
    ASSERT_GT(child, 0);
    const std::string autosave = dir.file("prog/autosave.tvorder");
    const auto inOrder = [&] {
        try {
            return fs::exists(autosave) && OpenOrderFile(autosave).Photos.size() == 4;
        } catch (const TError&) {
            return false;
        }
    };
    const bool kept = QTest::qWaitFor(inOrder, 60000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(kept);
    EXPECT_TRUE(WIFSIGNALED(status));
    const std::vector<TOrderPhoto> before = OpenOrderFile(autosave).Photos;
    CutReference(before);

    // the next start: Show File shows the folder and asks again
    prompt.answers = {TAnswer::Cancel, TAnswer::Yes};
    auto w = Start();
    std::vector<std::string> shown;
    w->Keeper().SetDesktop([](bool, const std::string&) { return std::string(); },
                           [&](const std::string& folder) { shown.push_back(folder); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return prompt.questions.size() == 2; }, 5000));
    ASSERT_GE(prompt.questions.size(), 1u);
    EXPECT_NE(prompt.questions[0].find("Restore the print order from "), std::string::npos);
    EXPECT_NE(prompt.questions[0].find(", 4 photos?"), std::string::npos) << prompt.questions[0];
    EXPECT_EQ(shown, std::vector<std::string>{dir.file("prog")});
    ExpectSameChoices(before, w->List().Order().Photos());
    // restored is not saved: closing asks, and Cancel keeps the window
    prompt.answers = {TAnswer::Cancel};
    EXPECT_FALSE(w->close());
    EXPECT_NE(prompt.questions.back().find("not saved"), std::string::npos);

    w->DirEdit()->setText(QString::fromStdString(dir.file("out")));
    w->CropImagesActionExecute();
    WaitForCropRun(*w);
    ExpectSameOutputs();
    // a clean end leaves nothing to offer
    EXPECT_TRUE(w->close());
    EXPECT_FALSE(fs::exists(autosave));
}

TEST_F(OrderWindowTest, TheAutosaveFollowsChangesAndAnEndWithoutCloseKeepsIt) {
    auto w = Start({photo("turned.jpg"), photo("flipped.jpg")});
    WaitForImages(*w, 2);
    ASSERT_TRUE(w->Keeper().Autosaving());
    const std::string autosave = w->Keeper().AutosavePath();
    EXPECT_EQ(autosave, dir.file("prog/autosave.tvorder"));
    // a second window of the same folder keeps no autosave of its own
    {
        TScriptedPrompt other;
        TMainForm second(TSettingsFile(dir.file("prog"), dir.file("cfg")), {}, &other);
        EXPECT_FALSE(second.Keeper().Autosaving());
    }
    w->List().SetCurrent(w->Images()[1]);
    w->List().TurnChosen(270);
    EXPECT_TRUE(QTest::qWaitFor([&] { return fs::exists(autosave); }, 10000));
    w->Keeper().AutosaveNow();
    TOpenedOrder kept = OpenOrderFile(autosave);
    ASSERT_EQ(kept.Photos.size(), 2u);
    EXPECT_EQ(kept.Photos[1].Choice.Rotation, 270);
    // the window goes without its close: the copy stays for the next start
    w.reset();
    EXPECT_TRUE(fs::exists(autosave));
    prompt.answers = {TAnswer::No};
    auto next = Start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !prompt.questions.empty(); }, 5000));
    EXPECT_TRUE(next->Images().empty());
    // No throws the copy away
    EXPECT_FALSE(fs::exists(autosave));
}

TEST_F(OrderWindowTest, TheLabSeesThePrintsPerSizeAndTheSizesInFoldersOfTheirOwn) {
    WriteFileBytes(dir.file("prog/Trimvale.ini"),
                   "StorageTank\xA4Settings\xA4\r\n"
                   "Boolean\xA4SizeSubfolders\xA4True\r\n"
                   "Integer\xA4LowResolutionPPI\xA4\x36\x30\r\n" // 60
                   "StorageTankEnd\xA4\r\n");
    auto w = Start({photo("turned.jpg"), photo("flipped.jpg"), photo("whole.jpg")});
    WaitForImages(*w, 3);
    ASSERT_EQ(w->Images().size(), 3u);
    const TCropAspectList& aspects = GetCropAspects().CurrentList();
    w->Images()[2]->ChooseAspect(AspectIndex("Free"), false);
    w->List().Checkpoint();
    const std::vector<TOrderPhoto> photos = w->List().Order().Photos();
    ASSERT_EQ(photos[0].Choice.Aspect, aspects.Items(aspects.DefaultIndex()).Description());
    const std::string size = photos[0].Choice.Aspect;

    // the summary as the lab takes it, before anything is cut
    ASSERT_TRUE(w->Keeper().ExportSummary(dir.file("summary.csv"), 60));
    const std::string csv = ReadFileBytes(dir.file("summary.csv"));
    EXPECT_EQ(
        csv.rfind("kind,size,prints,file,ppi\r\nsize," + size + ",2,,\r\nsize,Free,1,,\r\n", 0), 0u)
        << csv;
    ASSERT_TRUE(w->Keeper().ExportSummary(dir.file("summary.txt"), 60));
    EXPECT_EQ(
        ReadFileBytes(dir.file("summary.txt")).rfind("Prints per size:\n  " + size + ": 2\n", 0),
        0u);

    w->DirEdit()->setText(QString::fromStdString(dir.file("out")));
    w->CropImagesActionExecute();
    WaitForCropRun(*w);
    ASSERT_EQ(prompt.summaries.size(), 1u);
    const std::string& account = prompt.summaries[0];
    EXPECT_NE(account.find("Prints per size:\n  " + size + ": 2\n  Free: 1\n"), std::string::npos)
        << account;
    // 320 pixels over 6 inches: 53 ppi
    EXPECT_NE(account.find("Below 60 ppi at their print size:\n  " + photo("turned.jpg") + " (" +
                           size + "): "),
              std::string::npos)
        << account;
    EXPECT_TRUE(fs::exists(dir.file("out/" + size + "/turned.jpg")));
    EXPECT_TRUE(fs::exists(dir.file("out/" + size + "/flipped.jpg")));
    EXPECT_TRUE(fs::exists(dir.file("out/Free/whole.jpg")));
}

TEST_F(OrderWindowTest, OpenRefusesWhatIsNoOrderWithOneMessageEach) {
    auto w = Start();
    const std::string damaged = dir.file("damaged.tvorder"), future = dir.file("future.tvorder"),
                      other = dir.file("photos/turned.jpg");
    WriteFileBytes(damaged, "{\"format\": \"trimvale-order\", \"version\": 1, \"photos\": [");
    WriteFileBytes(future, "{\"format\": \"trimvale-order\", \"version\": 2, \"photos\": []}");
    for (const std::string& path : {damaged, future, other}) {
        prompt.errors.clear();
        EXPECT_FALSE(w->Keeper().OpenFile(path));
        ASSERT_EQ(prompt.errors.size(), 1u) << path;
        EXPECT_NE(prompt.errors[0].find(path), std::string::npos);
    }
    EXPECT_NE(prompt.errors[0].find("not a print order"), std::string::npos);
    EXPECT_TRUE(w->Images().empty());
}

} // namespace
