// trimvale --crop on photos made here, through the real executable.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include <pwd.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "CommandRun.h"
#include "JpegSamples.h"
#include "TempDir.h"
#include "cli/BatchOptions.h"
#include "cli/BatchRun.h"
#include "cli/JsonText.h"
#include "core/ConsoleApp.h"
#include "core/FilesystemController.h"
#include "core/StorageTank.h"
#include "core/VersionController.h"
#include "model/SettingsFile.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {
class BatchTest : public TCommandTest {
protected:
    void SetUp() override {
        TCommandTest::SetUp();
        WriteSettings("");
    }

    /// A settings file holding the given element lines (each ending in CR LF).
    void WriteSettings(const std::string& elements) {
        WriteFileBytes(settings, SettingsText(elements));
    }
    static std::string Bool(const std::string& key, bool value) { return BooleanLine(key, value); }

    /// A shell script run with its arguments ("$0" is the program), both channels caught.
    static TRun Shell(const std::string& script, std::vector<std::string> args) {
        args.insert(args.begin(), {"-c", script + " 2>&1"});
        TRun run;
        run.Code = ExecuteConsoleApp("/bin/sh", args, run.Lines);
        return run;
    }

    TRun Crop(std::vector<std::string> args) {
        args.insert(args.begin(), {"--crop", "--settings", settings, "--output", out()});
        TRun run;
        run.Code = ExecuteConsoleApp(TRIMVALE_EXE, args, run.Lines);
        return run;
    }
};

/// A JPEG whose frame header claims the given size, over a small photo's data.
std::string ClaimingSize(const std::string& jpeg, int width, int height) {
    std::string bytes = jpeg;
    const std::size_t sof = bytes.find("\xFF\xC0");
    bytes[sof + 5] = static_cast<char>(height >> 8);
    bytes[sof + 6] = static_cast<char>(height & 0xFF);
    bytes[sof + 7] = static_cast<char>(width >> 8);
    bytes[sof + 8] = static_cast<char>(width & 0xFF);
    return bytes;
}
} // namespace

TEST_F(BatchTest, BadFilesAreNamedAndTheOthersWritten) {
    samples::MakePhoto(in("wide.jpg"), 320, 200);
    const std::string odd = "it's \"$(touch pwned)\" `id`.jpg";
    samples::MakePhoto(in(odd), 120, 200, "1x1");
    const std::string good = ReadFileBytes(in("wide.jpg"));
    WriteFileBytes(in("empty.jpg"), "");
    WriteFileBytes(in("text.jpg"), "no JPEG here");
    WriteFileBytes(in("truncated.jpg"), good.substr(0, good.size() / 2));
    WriteFileBytes(in("huge.jpg"), ClaimingSize(good, 60000, 60000));
    const std::string before = ReadFileBytes(in(odd));

    const TRun run = Crop({in(""), in("missing.jpg")});
    EXPECT_EQ(run.Code, 1u);
    const std::vector<std::string> expected = {
        "failed: " + in("empty.jpg") + " -> " + out("empty.jpg") + ": The file is empty",
        "failed: " + in("huge.jpg") + " -> " + out("huge.jpg") +
            ": The photo is too large to be read",
        "written: " + in(odd) + " -> " + out("it_s__S_touch_pwned____id_.jpg"),
        "failed: " + in("text.jpg") + " -> " + out("text.jpg") +
            ": The file is not a JPEG photo (Not a JPEG file: starts with 0x6e 0x6f)",
        "failed: " + in("truncated.jpg") + " -> " + out("truncated.jpg") +
            ": jpegtran failed: Premature end of JPEG file",
        "written: " + in("wide.jpg") + " -> " + out("wide.jpg"),
        "failed: " + in("missing.jpg") + ": No such file or folder",
    };
    EXPECT_EQ(run.Lines, expected);
    std::vector<std::string> written;
    for (const auto& e : fs::directory_iterator(out()))
        written.push_back(e.path().filename().string());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"it_s__S_touch_pwned____id_.jpg", "wide.jpg"}));
    EXPECT_FALSE(fs::exists("pwned"));
    EXPECT_FALSE(fs::exists(in("pwned")));
    EXPECT_EQ(ReadFileBytes(in(odd)), before);
    // the portrait photo is flipped: 10x15 cm upright on 120x200
    const samples::TPixels cut = samples::Decode(out("it_s__S_touch_pwned____id_.jpg"));
    EXPECT_EQ(cut.Width, 120);
    EXPECT_EQ(cut.Height, 180);
}

TEST_F(BatchTest, ExistingOutputsAreSkippedOrOverwrittenAsAsked) {
    samples::MakePhoto(in("a.jpg"), 160, 120);
    samples::MakePhoto(in("b.jpg"), 160, 120);
    const std::vector<std::string> both = {in("a.jpg"), in("b.jpg")};
    ASSERT_EQ(Crop(both).Code, 0u);

    const TRun again = Crop(both);
    EXPECT_EQ(again.Code, 0u);
    EXPECT_EQ(again.Lines[0], "skipped: " + in("a.jpg") + " -> " + out("a.jpg") + ": File exists");

    WriteFileBytes(out("a.jpg"), "stale");
    chmod(out("b.jpg").c_str(), 0444);
    const TRun over = Crop({"--existing", "overwrite", in("a.jpg"), in("b.jpg")});
    EXPECT_EQ(over.Code, 1u);
    EXPECT_EQ(over.Lines, (std::vector<std::string>{
                              "written: " + in("a.jpg") + " -> " + out("a.jpg"),
                              "failed: " + in("b.jpg") + " -> " + out("b.jpg") +
                                  ": The output file is read only",
                          }));
    EXPECT_NE(ReadFileBytes(out("a.jpg")), "stale");
}

TEST_F(BatchTest, NoOutputReplacesAPhotoOrAnotherOutput) {
    fs::create_directories(dir.file("in/sub"));
    samples::MakePhoto(in("a.jpg"), 160, 120);
    samples::MakePhoto(in("sub/a.jpg"), 160, 120);
    samples::MakePhoto(in("a_Crop.jpg"), 160, 120);
    WriteSettings(Bool("TransformFilename", true));
    const std::string before = ReadFileBytes(in("a_Crop.jpg"));

    TRun run;
    run.Code = ExecuteConsoleApp(TRIMVALE_EXE,
                                 {"--crop", "--recursive", "--existing", "overwrite", "--settings",
                                  settings, "--output", in(""), in("")},
                                 run.Lines);
    EXPECT_EQ(run.Code, 1u);
    EXPECT_EQ(run.Lines, (std::vector<std::string>{
                             "failed: " + in("a.jpg") + " -> " + in("a_Crop.jpg") +
                                 ": The output file is another photo named: " + in("a_Crop.jpg"),
                             "written: " + in("a_Crop.jpg") + " -> " + in("a_Crop_Crop.jpg"),
                             // kept in its subfolder, beside its source
                             "written: " + in("sub/a.jpg") + " -> " + in("sub/a_Crop.jpg"),
                         }));
    EXPECT_EQ(ReadFileBytes(in("a_Crop.jpg")), before);

    // photos of two folders with one name: the later gets a free name, as in the window
    WriteSettings("");
    const TRun same = Crop({in("a.jpg"), in("sub/a.jpg"), in("a.jpg")});
    EXPECT_EQ(same.Lines, (std::vector<std::string>{
                              "written: " + in("a.jpg") + " -> " + out("a.jpg"),
                              "written: " + in("sub/a.jpg") + " -> " + out("a (2).jpg"),
                          }));
}

TEST_F(BatchTest, AnInterruptionEndsTheRunBetweenPhotosAndLeavesNoScratch) {
    // the report stream is interrupted as Ctrl+C would, once the first line is out
    class TInterruptingBuffer : public std::stringbuf {
    protected:
        std::streamsize xsputn(const char* s, std::streamsize n) override {
            const std::streamsize written = std::stringbuf::xsputn(s, n);
            if (!raised_ && std::string(s, std::size_t(n)).find('\n') != std::string::npos) {
                raised_ = true;
                std::raise(SIGINT);
            }
            return written;
        }

    private:
        bool raised_ = false;
    } buffer;
    std::vector<std::string> args = {"--crop", "--jobs",   "1",  "--settings",
                                     settings, "--output", out()};
    for (const char* name : {"1.jpg", "2.jpg", "3.jpg", "4.jpg", "5.jpg"}) {
        samples::MakePhoto(in(name), 160, 120);
        args.push_back(in(name));
    }
    std::ostream report(&buffer);
    std::ostringstream err;
    // as a program ended by the signal, so that a shell stops its script
    EXPECT_EQ(RunCommandLine(args, report, err, false), 128 + SIGINT);
    std::istringstream lines(buffer.str());
    std::vector<std::string> got;
    for (std::string line; std::getline(lines, line);)
        got.push_back(line);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0], "written: " + in("1.jpg") + " -> " + out("1.jpg"));
    // the photo in flight ends; none starts after it
    for (int i = 2; i < 5; ++i) {
        const std::string name = std::to_string(i + 1) + ".jpg";
        EXPECT_EQ(got[std::size_t(i)],
                  "failed: " + in(name) + " -> " + out(name) + ": Cropping cancelled");
    }
    for (const auto& e : fs::directory_iterator(out()))
        EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
}

TEST_F(BatchTest, DryRunPrintsTheCallsAndWritesNothing) {
    samples::MakePhoto(in("a b.jpg"), 400, 300);
    WriteSettings(Bool("HuffmanOptimize", false));
    // without jpegtran nothing can be cut, but a dry run still says what would be
    const std::string path = getenv("PATH");
    setenv("PATH", dir.file("nowhere").c_str(), 1);
    const TRun missing = Crop({in("a b.jpg")});
    const TRun run = Crop({"--dry-run", "--aspect", "4:3 monitor", in("a b.jpg")});
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(missing.Code, 1u);
    EXPECT_TRUE(missing.Lines.empty());
    EXPECT_EQ(run.Code, 0u);
    // the output folder is made first; jpegtran's memory is bounded as the decoder's is
    EXPECT_EQ(run.Lines, (std::vector<std::string>{
                             "mkdir -p -- '" + out() + "'",
                             "jpegtran -copy all -maxmemory 1610612 -crop 400x300+0+0 -outfile '" +
                                 out("a_b.jpg") + "' '" + in("a b.jpg") + "'"}));
    EXPECT_FALSE(fs::exists(out()));

    // a folder without photos: nothing to do is no failure
    fs::create_directories(dir.file("none"));
    const TRun none = Crop({dir.file("none")});
    EXPECT_EQ(none.Code, 0u);
    EXPECT_TRUE(none.Lines.empty());
}

TEST_F(BatchTest, CommandLineMistakesExitWithTwoAndSayWhy) {
    struct TCase {
        std::vector<std::string> args;
        std::string message;
    };
    const TCase cases[] = {
        {{"--crop"}, "trimvale: No photos or folders named"},
        {{"--recursive", "x.jpg"}, "trimvale: Options need --crop"},
        {{"--crop", "--frob", "x.jpg"}, "trimvale: Unknown option --frob"},
        {{"--crop", "--output"}, "trimvale: --output needs a value"},
        {{"--crop", "--dry-run=yes", "x.jpg"}, "trimvale: --dry-run takes no value"},
        {{"--crop", "--existing", "ask", "x.jpg"},
         "trimvale: --existing takes overwrite or skip: ask"},
        {{"--crop", "--jobs", "0", "x.jpg"}, "trimvale: --jobs takes a number from 1 to 256: 0"},
        {{"--crop", "--jobs=2x", "x.jpg"}, "trimvale: --jobs takes a number from 1 to 256: 2x"},
        {{"--crop", "--settings", dir.file("none.ini"), "x.jpg"},
         "trimvale: No such settings file: " + dir.file("none.ini")},
        {{"--crop", "--settings", settings, "--aspect", "7x7 parsecs", "x.jpg"},
         "trimvale: Unknown aspect \"7x7 parsecs\". The aspects are:"},
        // settings that cannot be read are no reason to crop with the defaults
        {{"--crop", "--settings", dir.path(), "x.jpg"},
         "trimvale: The settings file " + dir.path() + " cannot be read: Is a directory"},
        {{"--crop", "--settings", dir.file("fifo.ini"), "x.jpg"},
         "trimvale: The settings file " + dir.file("fifo.ini") +
             " cannot be read: Not a regular file"},
    };
    ASSERT_EQ(mkfifo(dir.file("fifo.ini").c_str(), 0600), 0);
    for (const TCase& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(RunCommandLine(c.args, out, err, false), 2) << c.message;
        EXPECT_EQ(err.str().substr(0, err.str().find('\n')), c.message);
        EXPECT_EQ(out.str(), "");
    }
    std::vector<std::string> help, version;
    EXPECT_EQ(ExecuteConsoleApp(TRIMVALE_EXE, {"--help"}, help), 0u);
    EXPECT_EQ(help.at(1), "       trimvale --crop [OPTION...] PATH...");
    EXPECT_EQ(ExecuteConsoleApp(TRIMVALE_EXE, {"--version"}, version), 0u);
    ASSERT_GE(version.size(), 3u);
    EXPECT_EQ(version[0], "Trimvale " + ShortVersion());
    EXPECT_EQ(version[2].substr(0, 32), "License GPL-3.0-or-later: GNU GP");
}

TEST_F(BatchTest, DryRunLinesPastedIntoAShellWriteWhatTheRunWrites) {
    // names a careless quoting would expand or split
    const std::vector<std::string> names = {"it's \"$(touch pwned)\" `touch pwned`.jpg",
                                            "a  b $HOME.jpg", "back\\slash'.jpg"};
    std::vector<std::string> sources;
    for (const std::string& name : names) {
        // the portrait one is turned to landscape after its cut
        samples::MakePhoto(in(name), name[0] == 'a' ? 200 : 320, name[0] == 'a' ? 320 : 200);
        sources.push_back(in(name));
    }
    // the resolution update follows the cut; without it the calls make the whole output
    WriteSettings(Bool("UpdatePPI", false) + Bool("AutoRotateToLandscapeAfterCrop", true));
    std::vector<std::string> args = {"--dry-run"};
    args.insert(args.end(), sources.begin(), sources.end());
    const TRun dry = Crop(args);
    ASSERT_EQ(dry.Code, 0u);
    ASSERT_GE(dry.Lines.size(), names.size());
    const std::string tool = FindExecutable("jpegtran");
    fs::create_directories(out());
    ASSERT_EQ(dry.Lines.at(0), "mkdir -p -- '" + out() + "'");
    for (const std::string& line : std::vector(dry.Lines.begin() + 1, dry.Lines.end())) {
        EXPECT_EQ(line.substr(0, tool.size() + 1), tool + " ") << line;
        EXPECT_NE(line.find(" -outfile '" + out()), std::string::npos) << line;
        const TRun pasted = Shell("cd \"$0\" && " + line, {dir.path()});
        EXPECT_EQ(pasted.Code, 0u) << line;
    }
    std::map<std::string, std::string> byDryRun;
    for (const auto& e : fs::directory_iterator(out()))
        byDryRun[e.path().filename().string()] = ReadFileBytes(e.path().string());
    fs::remove_all(out());
    ASSERT_EQ(Crop(sources).Code, 0u);
    std::map<std::string, std::string> byRun;
    for (const auto& e : fs::directory_iterator(out()))
        byRun[e.path().filename().string()] = ReadFileBytes(e.path().string());
    EXPECT_EQ(byDryRun.size(), names.size());
    EXPECT_TRUE(byDryRun == byRun);
    EXPECT_FALSE(fs::exists(dir.file("pwned")));
}

TEST_F(BatchTest, RecursiveRunsKeepTheSubfolders) {
    for (const char* name : {"100CANON/IMG_0001.JPG", "101CANON/IMG_0001.JPG", "top.jpg"}) {
        fs::create_directories(fs::path(in(name)).parent_path());
        samples::MakePhoto(in(name), 160, 120);
    }
    samples::MakePhoto(dir.file("named.jpg"), 160, 120);
    const TRun run = Crop({"--recursive", in(""), dir.file("named.jpg")});
    EXPECT_EQ(run.Code, 0u);
    EXPECT_EQ(run.Lines,
              (std::vector<std::string>{
                  "written: " + in("100CANON/IMG_0001.JPG") + " -> " + out("100CANON/IMG_0001.JPG"),
                  "written: " + in("101CANON/IMG_0001.JPG") + " -> " + out("101CANON/IMG_0001.JPG"),
                  "written: " + in("top.jpg") + " -> " + out("top.jpg"),
                  "written: " + dir.file("named.jpg") + " -> " + out("named.jpg"),
              }));
}

TEST_F(BatchTest, PathsComeFromAListFileOrStandardInput) {
    for (const char* name : {"a.jpg", "b c.jpg", "d.jpg"})
        samples::MakePhoto(in(name), 160, 120);
    const std::string lines = dir.file("list.txt"), nuls = dir.file("list.bin");
    WriteFileBytes(lines, in("a.jpg") + "\n\n" + in("b c.jpg") + "\n");
    WriteFileBytes(nuls, in("b c.jpg") + std::string(1, '\0') + in("d.jpg") + std::string(1, '\0'));
    const auto written = [&](const std::vector<std::string>& files) {
        std::vector<std::string> report;
        for (const std::string& f : files)
            report.push_back("written: " + in(f) + " -> " + out(f == "b c.jpg" ? "b_c.jpg" : f));
        return report;
    };

    EXPECT_EQ(Crop({"--files-from", lines, in("d.jpg")}).Lines,
              written({"d.jpg", "a.jpg", "b c.jpg"}));
    fs::remove_all(out());
    const std::string run = "exec \"$0\" --crop --settings \"$1\" --output \"$2\" ";
    EXPECT_EQ(
        Shell(run + "--files-from - -0 < \"$3\"", {TRIMVALE_EXE, settings, out(), nuls}).Lines,
        written({"b c.jpg", "d.jpg"}));
    const TRun missing = Crop({"--files-from", dir.file("none.txt")});
    EXPECT_EQ(missing.Code, 2u);
    EXPECT_EQ(SplitPathList(std::string("x\ny\r\n\n"), false),
              (std::vector<std::string>{"x", "y\r"}));
}

TEST_F(BatchTest, JsonLinesReportEveryPhoto) {
    samples::MakePhoto(in("wide.jpg"), 400, 300);
    WriteFileBytes(in("text.jpg"), "no JPEG here");
    const TRun run = Crop({"--format", "jsonl", "--aspect", "4:3 monitor", in("")});
    EXPECT_EQ(run.Code, 1u);
    EXPECT_EQ(run.Lines,
              (std::vector<std::string>{
                  "{\"source\":\"" + in("text.jpg") + "\",\"output\":\"" + out("text.jpg") +
                      "\",\"status\":\"failed\",\"width\":null,\"height\":null,\"ppi\":null,"
                      "\"reason\":\"The file is not a JPEG photo (Not a JPEG file: starts with "
                      "0x6e 0x6f)\",\"crop\":null,\"faces\":null}",
                  "{\"source\":\"" + in("wide.jpg") + "\",\"output\":\"" + out("wide.jpg") +
                      "\",\"status\":\"written\",\"width\":400,\"height\":300,\"ppi\":null,"
                      "\"reason\":null,\"crop\":{\"x\":0,\"y\":0,\"width\":400,\"height\":300},"
                      "\"faces\":null}",
              }));
    const TRun print = Crop({"--format=jsonl", "--aspect", "10x15 cm", in("wide.jpg")});
    ASSERT_EQ(print.Lines.size(), 1u);
    EXPECT_NE(print.Lines[0].find("\"status\":\"skipped\""), std::string::npos);
    EXPECT_EQ(Crop({"--format", "xml", in("")}).Code, 2u);

    struct TCase {
        std::string text;
        std::string json;
    };
    const TCase cases[] = {
        {"plain/path.jpg", "\"plain/path.jpg\""},
        {"say \"hi\" \\ now", "\"say \\\"hi\\\" \\\\ now\""},
        {"tab\tnew\nret\r\x01\x1f\x7f", "\"tab\\tnew\\nret\\r\\u0001\\u001f\\u007f\""},
        {"Grüße €😀", "\"Grüße €😀\""},
        {"latin1 \xe4.jpg", "\"latin1 \\udce4.jpg\""}, // a byte, not a character
        {"cut \xc3", "\"cut \\udcc3\""},               // a character cut short
        {"\xed\xa0\x80", "\"\\udced\\udca0\\udc80\""}, // an encoded surrogate
        {std::string("nul\0x", 5), "\"nul\\u0000x\""},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(JsonString(c.text), c.json) << c.text;
}

// The faces a photo names (as phones and photo managers write them) move its first area
// so that none is cut, also on a photo stored sideways; --faces and the setting say whether.
TEST_F(BatchTest, TheFirstAreaKeepsTheFacesWhole) {
    // 640x480 under 10x15 cm keeps the width, 426 high, centred at y 16; stored sideways it
    // keeps the height, 426 wide, centred at x 16
    for (const char* name : {"top.jpg", "bottom.jpg", "sideways.jpg", "plain.jpg"})
        samples::MakePhoto(in(name), 640, 480);
    WriteFileBytes(in("sideways.jpg"), samples::WithSegment(ReadFileBytes(in("sideways.jpg")),
                                                            samples::OrientationExif(6)));
    samples::NameFaces(in("top.jpg"), 640, 480, {{0.5, 0.08, 0.1, 0.1}});
    samples::NameFaces(in("bottom.jpg"), 640, 480, {{0.3, 0.93, 0.1, 0.1}, {0.6, 0.5, 0.1, 0.1}});
    // at the stored top, which is the upright photo's right
    samples::NameFaces(in("sideways.jpg"), 640, 480, {{0.1, 0.08, 0.1, 0.1}});
    const std::string slid = "top 0,0 1|bottom 0,48 2|sideways 0,6 1|plain 0,16 0|";
    const std::string centred = "top 0,16 null|bottom 0,16 null|sideways 0,38 null|plain 0,16 null|";
    struct TCase {
        bool setting;
        std::vector<std::string> args;
        std::string expected; // each photo's crop corner in stored pixels, and its faces
    };
    for (const TCase& c : {TCase{true, {}, slid}, TCase{true, {"--faces", "off"}, centred},
                           TCase{false, {}, centred}, TCase{false, {"--faces=on"}, slid}}) {
        WriteSettings(Bool("KeepFaces", c.setting));
        std::vector<std::string> args{"--dry-run", "--format", "jsonl", "--aspect", "10x15 cm"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        for (const char* name : {"top.jpg", "bottom.jpg", "sideways.jpg", "plain.jpg"})
            args.push_back(in(name));
        const TRun run = Crop(args);
        EXPECT_EQ(run.Code, 0u);
        std::string got;
        for (const std::string& line : run.Lines) {
            const auto field = [&](const std::string& name) {
                const std::size_t at = line.find("\"" + name + "\":");
                if (at == std::string::npos) return std::string("?");
                const std::size_t from = at + name.size() + 3;
                return line.substr(from, line.find_first_of(",}", from) - from);
            };
            const std::size_t crop = line.find("\"crop\":{");
            const std::string name = fs::path(line.substr(11, line.find('"', 11) - 11)).stem();
            got += name + " " + (crop == std::string::npos ? "none" : "") +
                   field("x") + "," + field("y") + " " + field("faces") + "|";
            // the area keeps its size, stored 426 high however it is shown
            EXPECT_NE(line.find(",\"height\":426}"), std::string::npos) << line;
        }
        EXPECT_EQ(got, c.expected) << "setting " << c.setting;
    }
    EXPECT_EQ(Crop({"--faces", "maybe", in("top.jpg")}).Code, 2u);
}

TEST_F(BatchTest, WithoutADisplayTheWindowSaysHowToStartAndEnds) {
    samples::MakePhoto(in("a.jpg"), 160, 120);
    // none named, or one named where no server answers
    for (const std::string display : {"", "DISPLAY=:77 "})
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{TRIMVALE_EXE},
              std::vector<std::string>{TRIMVALE_EXE, in("a.jpg")}}) {
            const TRun run = Shell(display + "exec \"$0\" \"$@\"", args);
            EXPECT_EQ(run.Code, 2u) << display;
            EXPECT_EQ(run.Lines,
                      std::vector<std::string>{"no display: start Trimvale from a desktop, "
                                               "or crop with `trimvale --crop`"})
                << display;
        }
}

TEST_F(BatchTest, WithoutHomeTheUserDatabaseNamesThePerUserFolders) {
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    const std::string home = user->pw_dir;
    const char* savedHome = getenv("HOME");
    const std::string restore = savedHome ? savedHome : "";
    unsetenv("HOME");
    unsetenv("XDG_CONFIG_HOME");
    samples::MakePhoto(in("a.jpg"), 160, 120);
    // no --output: the default destination, seen through a dry run
    TRun run;
    run.Code = ExecuteConsoleApp(
        TRIMVALE_EXE, {"--crop", "--dry-run", "--settings", settings, in("a.jpg")}, run.Lines);
    const std::string config = GetSpecialFolder(5);
    // an installed program: per user, and never beside itself even with no folder known
    const TSettingsFile installed(dir.file("usr/bin"), config);
    const TSettingsFile nowhere(dir.file("usr/bin"), "");
    if (savedHome) setenv("HOME", restore.c_str(), 1);
    EXPECT_EQ(run.Code, 0u);
    ASSERT_EQ(run.Lines.size(), 1u);
    EXPECT_NE(run.Lines[0].find("-outfile '" + home + "/"), std::string::npos) << run.Lines[0];
    EXPECT_EQ(config, home + "/.config");
    EXPECT_EQ(installed.SavePath(), home + "/.config/Trimvale/Trimvale.ini");
    EXPECT_EQ(nowhere.SavePath().rfind(dir.file("usr/bin"), 0), std::string::npos);
}

TEST_F(BatchTest, SettingsNamedRelativelyAreTheWorkingFoldersOwn) {
    samples::MakePhoto(in("a.jpg"), 160, 120);
    WriteFileBytes(dir.file("rel.ini"), SettingsText("String\xA4"
                                                     "CroppedDir\xA4" +
                                                     dir.file("chosen") + "\r\n"));
    const fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    std::ostringstream out, err;
    const int code =
        RunCommandLine({"--crop", "--settings", "rel.ini", in("a.jpg")}, out, err, false);
    fs::current_path(cwd);
    EXPECT_EQ(code, 0) << err.str();
    EXPECT_EQ(out.str(), "written: " + in("a.jpg") + " -> " + dir.file("chosen/a.jpg") + "\n");
}

TEST_F(BatchTest, EverySkipIsToldOnOneLineAndNothingWaitsOnAFifo) {
    samples::MakePhoto(in("new\nline\tx.jpg"), 160, 120);
    WriteSettings(Bool("SafeNames", false));            // the output keeps the odd name too
    ASSERT_EQ(mkfifo(in("fifo.jpg").c_str(), 0600), 0); // no photo, and never waited on
    fs::create_symlink("gone.jpg", in("dangling.jpg"));
    // root reads every folder, and there is no simple other way to make one unreadable
    const bool root = geteuid() == 0;
    if (!root) {
        fs::create_directories(in("locked"));
        chmod(in("locked").c_str(), 0);
    }
    // a run that waited on the FIFO would be ended by the guard
    TRun run;
    run.Code =
        ExecuteConsoleApp("/usr/bin/timeout",
                          {"-s", "KILL", "60", TRIMVALE_EXE, "--crop", "--recursive", "--settings",
                           settings, "--output", out(), in(""), in("fifo.jpg")},
                          run.Lines);
    EXPECT_EQ(run.Code, 1u);
    // in the order of their names, the faults among the photos
    std::vector<std::string> expected = {
        "failed: " + in("dangling.jpg") + ": " + std::strerror(ENOENT),
        "written: " + in("new\\nline\\x09x.jpg") + " -> " + out("new\\nline\\x09x.jpg"),
        "failed: " + in("fifo.jpg") + ": Not a photo or a folder"};
    if (!root)
        expected.insert(expected.begin() + 1,
                        "failed: " + in("locked") + ": " + std::strerror(EACCES));
    EXPECT_EQ(run.Lines, expected);
    EXPECT_TRUE(fs::exists(out("new\nline\tx.jpg")));
}

namespace {
/// A jpegtran of the given body first on PATH while it lives.
class TStandInPath {
public:
    TStandInPath(const TTempDir& dir, const std::string& body) : old_(getenv("PATH")) {
        fs::create_directories(dir.file("bin"));
        const std::string tool = dir.file("bin/jpegtran");
        WriteFileBytes(tool, "#!/bin/sh\n" + body + "\n");
        chmod(tool.c_str(), 0755);
        setenv("PATH", (dir.file("bin") + ":" + old_).c_str(), 1);
    }
    ~TStandInPath() { setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

std::vector<std::string> Leftovers(const std::string& folder) {
    std::vector<std::string> hidden;
    for (const auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string()[0] == '.') hidden.push_back(e.path().string());
    return hidden;
}
} // namespace

TEST_F(BatchTest, AHangingJpegtranIsKilledAtTheTimeLimitAndTheRunEnds) {
    samples::MakePhoto(in("a.jpg"), 160, 120);
    samples::MakePhoto(in("b.jpg"), 160, 120);
    const TStandInPath path(dir, "exec sleep 60");
    const auto start = std::chrono::steady_clock::now();
    const TRun run = Crop({"--timeout", "2", "--jobs", "2", in("a.jpg"), in("b.jpg")});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
    EXPECT_EQ(run.Code, 1u);
    EXPECT_EQ(
        run.Lines,
        (std::vector<std::string>{
            "failed: " + in("a.jpg") + " -> " + out("a.jpg") + ": jpegtran did not finish in 2 s",
            "failed: " + in("b.jpg") + " -> " + out("b.jpg") + ": jpegtran did not finish in 2 s",
        }));
    EXPECT_TRUE(Leftovers(out()).empty());
}

// A run killed with -9 in the middle of a job leaves its scratch folder; the
// next run into that folder clears it away.
TEST_F(BatchTest, AKilledRunsScratchIsRemovedByTheNextRun) {
    samples::MakePhoto(in("a.jpg"), 160, 120);
    fs::create_directories(out());
    pid_t pid = 0;
    {
        // writes half a photo, tells who it is, then hangs
        const TStandInPath path(
            dir, "while [ $# -gt 1 ]; do [ \"$1\" = -outfile ] && OUT=$2; shift; done\n"
                 "head -c 500 \"$1\" > \"$OUT\"; echo $$ > " +
                     dir.file("standin.pid") + "; exec sleep 60");
        const std::string exe = TRIMVALE_EXE, s = settings, o = out(), a = in("a.jpg");
        const char* argv[] = {exe.c_str(), "--crop",  "--settings", s.c_str(),
                              "--output",  o.c_str(), a.c_str(),    nullptr};
        ASSERT_EQ(
            posix_spawn(&pid, exe.c_str(), nullptr, nullptr, const_cast<char**>(argv), environ), 0);
        for (int i = 0; i < 200 && ReadFileBytes(dir.file("standin.pid")).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    const std::string standIn = ReadFileBytes(dir.file("standin.pid"));
    ASSERT_FALSE(standIn.empty());
    kill(std::stoi(standIn), SIGKILL); // an orphan now; it was ours to end
    ASSERT_EQ(Leftovers(out()).size(), 1u);

    const TRun next = Crop({in("a.jpg")});
    EXPECT_EQ(next.Code, 0u);
    EXPECT_TRUE(Leftovers(out()).empty());
    EXPECT_EQ(samples::Decode(out("a.jpg")).Width, 160);
}

// Two runs into one folder at once: in skip mode each name is written by one
// of them and skipped by the other; in overwrite mode both write every photo.
// Every file that is there is whole.
TEST_F(BatchTest, TwoRunsIntoOneFolderLoseNothingSilently) {
    std::vector<std::string> photos;
    for (int i = 0; i < 8; ++i) {
        photos.push_back(in(std::to_string(i) + ".jpg"));
        samples::MakePhoto(photos.back(), 320, 240);
    }
    for (const std::string mode : {"skip", "overwrite"}) {
        SCOPED_TRACE(mode);
        std::vector<std::string> args = {"--existing", mode};
        args.insert(args.end(), photos.begin(), photos.end());
        TRun first, second;
        std::thread other([&] { second = Crop(args); });
        first = Crop(args);
        other.join();
        EXPECT_EQ(first.Code, 0u);
        EXPECT_EQ(second.Code, 0u);
        for (std::size_t i = 0; i < photos.size(); ++i) {
            const auto word = [&](const TRun& r) { return r.Lines.at(i).substr(0, 8); };
            const int written = (word(first) == "written:") + (word(second) == "written:");
            EXPECT_EQ(written, mode == "skip" ? 1 : 2) << first.Lines[i] << second.Lines[i];
            EXPECT_EQ(samples::Decode(out(std::to_string(i) + ".jpg")).Width, 320);
        }
        EXPECT_TRUE(Leftovers(out()).empty());
        if (mode == "skip") fs::remove_all(out()); // the next mode starts afresh
    }
}

// On a full disk the photo fails, the earlier output stays byte for byte, and
// nothing is left behind.
TEST_F(BatchTest, AFullDiskFailsThePhotoAndKeepsTheEarlierOutput) {
    fs::create_directories(out());
    if (mount("trimvale-test", out().c_str(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "a small tmpfs needs root";
    struct TUnmount {
        std::string path;
        ~TUnmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{out()};
    samples::MakePhoto(in("a.jpg"), 1024, 768);
    ASSERT_EQ(Crop({in("a.jpg")}).Code, 0u);
    const std::string earlier = ReadFileBytes(out("a.jpg"));
    // room for less than the cut; then room for the cut but not for the rewrite of its
    // records, which a file written with the old records would pass unnoticed
    for (const double room : {0.0, 1.5}) {
        SCOPED_TRACE(room);
        struct statvfs disk;
        ASSERT_EQ(statvfs(out().c_str(), &disk), 0);
        const auto free = std::size_t(disk.f_bavail) * disk.f_frsize;
        const auto wanted = std::size_t(room * double(earlier.size()));
        if (free > wanted) {
            std::string filler(free - wanted, 'x');
            std::ofstream fill(out("filler " + std::to_string(room)), std::ios::binary);
            fill.write(filler.data(), std::streamsize(filler.size()));
        }
        const TRun run = Crop({"--existing", "overwrite", in("a.jpg")});
        EXPECT_EQ(run.Code, 1u);
        ASSERT_EQ(run.Lines.size(), 1u);
        EXPECT_EQ(run.Lines[0].rfind("failed: " + in("a.jpg") + " -> " + out("a.jpg") +
                                         ": The disk holding " + out() + " is full",
                                     0),
                  0u)
            << run.Lines[0];
        EXPECT_EQ(ReadFileBytes(out("a.jpg")), earlier);
        for (const auto& entry : fs::directory_iterator(out()))
            if (entry.path().filename().string().rfind("filler", 0) == 0) fs::remove(entry);
    }
    EXPECT_TRUE(Leftovers(out()).empty());
}
