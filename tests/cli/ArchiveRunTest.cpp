// trimvale --crop as scripts and servers run it: in pipes, over hostile
// names, shared files and surroundings that differ from a desktop. Through
// the real executable and the real jpegtran.
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "CommandRun.h"
#include "JpegSamples.h"
#include "TempDir.h"
#include "core/ConsoleApp.h"

namespace fs = std::filesystem;

namespace {
class ArchiveRunTest : public TCommandTest {
protected:
    void SetUp() override {
        TCommandTest::SetUp();
        // the resolution update follows the cut; without it a dry run's calls make the
        // whole file. Names are kept as they are, so the outputs' are as hostile
        WriteFileBytes(settings, SettingsText(BooleanLine("UpdatePPI", false) +
                                              BooleanLine("SafeNames", false)));
    }

    /// A shell script with "$exe", "$ini", "$out" and "$in" set; both channels caught.
    TRun Shell(const std::string& script) {
        TRun run;
        run.Code = ExecuteConsoleApp(
            "/bin/sh",
            {"-c", "exe=\"$1\" ini=\"$2\" out=\"$3\" in=\"$4\"; cd \"$5\"; (" + script + ") 2>&1",
             "sh", TRIMVALE_EXE, settings, out(), in(""), dir.path()},
            run.Lines);
        return run;
    }
};

/// Every file below folder by its path there, with its decoded pixels.
std::map<std::string, std::string> PixelsBelow(const std::string& folder) {
    std::map<std::string, std::string> files;
    if (!fs::exists(folder)) return files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        files[fs::relative(e.path(), folder).string()] = e.is_regular_file() ? "file" : "folder";
    // decoded after the walk: the decoder leaves a file of its own for a moment
    for (auto& [name, content] : files) {
        if (content == "folder") continue;
        content = ReadFileBytes(folder + "/" + name);
        if (content.compare(0, 2, "\xFF\xD8") == 0)
            content = samples::Decode(folder + "/" + name).Rgb;
    }
    return files;
}
} // namespace

// A dry run's standard output is a shell script and nothing else: piped to
// sh -e it makes the pixels the real run makes, in the folders it makes, and
// no name runs a command, however it is made.
TEST_F(ArchiveRunTest, ADryRunPipedToAShellMakesWhatTheRunMakes) {
    const std::vector<std::string> names = {
        "$(touch PWNED).jpg", "`touch PWNED`.jpg", "it's; touch PWNED.jpg",
        "a -> b.jpg",         "line\nbreak.jpg",   "back\\slash.jpg",
        "sub/deeper/x.jpg",   "-dash.jpg",         "sub/$(touch PWNED)/y.jpg"};
    for (const std::string& name : names) {
        fs::create_directories(fs::path(in(name)).parent_path());
        samples::MakePhoto(in(name), 176, 144);
    }
    // a damaged photo and one cut before give comment lines, not commands
    WriteFileBytes(in("damaged $(touch PWNED).jpg"), "no JPEG at all\n");
    samples::MakePhoto(in("earlier `touch PWNED`.jpg"), 160, 120);
    fs::create_directories(out());
    WriteFileBytes(out("earlier `touch PWNED`.jpg"), "cut before");
    const std::string before = ReadFileBytes(out("earlier `touch PWNED`.jpg"));

    const TRun dry = Shell("\"$exe\" --crop -r --dry-run --settings \"$ini\" --output \"$out\" "
                           "\"$in\" > script.sh; echo $?");
    ASSERT_EQ(dry.Lines, std::vector<std::string>{"1"}); // the damaged photo fails
    const std::string script = ReadFileBytes(dir.file("script.sh"));
    EXPECT_NE(script.find("# failed: " + in("damaged $(touch PWNED).jpg")), std::string::npos);
    EXPECT_NE(script.find("# skipped: " + in("earlier `touch PWNED`.jpg")), std::string::npos);
    EXPECT_NE(script.find("mkdir -p -- '" + out("sub/deeper") + "'\n"), std::string::npos);
    const TRun piped = Shell("sh -e script.sh");
    EXPECT_EQ(piped.Code, 0u) << script;
    EXPECT_FALSE(fs::exists(dir.file("PWNED")));
    EXPECT_FALSE(fs::exists(out("PWNED")));
    const std::map<std::string, std::string> byScript = PixelsBelow(out());
    EXPECT_EQ(byScript.size(), names.size() + 1 + 3); // the earlier file and three folders

    fs::rename(out(), dir.file("by-script"));
    fs::create_directories(out());
    WriteFileBytes(out("earlier `touch PWNED`.jpg"), "cut before");
    const TRun run = Shell("\"$exe\" --crop -r --settings \"$ini\" --output \"$out\" \"$in\"");
    EXPECT_EQ(run.Code, 1u);
    EXPECT_TRUE(PixelsBelow(out()) == byScript);
    EXPECT_EQ(ReadFileBytes(out("earlier `touch PWNED`.jpg")), before);
    EXPECT_FALSE(fs::exists(dir.file("PWNED")));
}

// Each name is a photo of its own, whatever file it shares: three hard links
// give three outputs and three lines. A backslash is a letter of the name.
TEST_F(ArchiveRunTest, EveryNameIsAPhotoOfItsOwn) {
    fs::create_directories(in("a"));
    fs::create_directories(in("b"));
    samples::MakePhoto(in("a/x.jpg"), 160, 120);
    fs::create_hard_link(in("a/x.jpg"), in("a/y.jpg"));
    fs::create_hard_link(in("a/x.jpg"), in("b/x.jpg"));
    samples::MakePhoto(in("b/back\\slash.jpg"), 160, 120);
    samples::MakePhoto(in("b/slash.jpg"), 160, 120);
    const TRun run = Shell("\"$exe\" --crop --recursive --settings \"$ini\" --output \"$out\" "
                           "\"$in\"a \"$in\"b; echo $?");
    EXPECT_EQ(run.Lines,
              (std::vector<std::string>{
                  "written: " + in("a/x.jpg") + " -> " + out("x.jpg"),
                  "written: " + in("a/y.jpg") + " -> " + out("y.jpg"),
                  "written: " + in("b/back\\slash.jpg") + " -> " + out("back\\slash.jpg"),
                  "written: " + in("b/slash.jpg") + " -> " + out("slash.jpg"),
                  "written: " + in("b/x.jpg") + " -> " + out("x (2).jpg"),
                  "0",
              }));
}

// The options a script types, the language it asks for and the surroundings
// it runs in: each case is a shell line, its last output line and status.
TEST_F(ArchiveRunTest, ScriptsGetWhatTheyAskForInAnySurroundings) {
    samples::MakePhoto(in("a.jpg"), 160, 120);
    fs::create_directories(in("sub"));
    samples::MakePhoto(in("sub/b.jpg"), 160, 120);
    // a header that claims 32000x32000 pixels over a few kilobytes
    std::string giant = ReadFileBytes(in("a.jpg"));
    const std::size_t sof = giant.find("\xFF\xC0");
    for (const int at : {5, 7}) {
        giant[sof + at] = char(32000 >> 8);
        giant[sof + at + 1] = char(32000 & 0xFF);
    }
    WriteFileBytes(in("giant.jpg"), giant);
    WriteFileBytes(dir.file("cut.ini"), ReadFileBytes(settings).substr(0, 40));
    // the window's own language, chosen in its preferences, is the window's only
    WriteFileBytes(dir.file("de.ini"), SettingsText("String\xA4Language\xA4"
                                                    "de_DE\r\n"));
    const std::string crop = "\"$exe\" --crop --settings \"$ini\" --output \"$out\" ";
    struct TCase {
        std::string script;
        std::string last; // the last line, or its start when it ends in "*"
        uint32_t code;
    };
    const TCase cases[] = {
        {"\"$exe\" -h | head -1", "Usage: trimvale [PHOTO...]", 0},
        // the program of its own, without Qt, crops as trimvale --crop does
        {"\"$exe\"-crop --settings \"$ini\" --output \"$out\"/alone \"$in\"a.jpg",
         "written: " + in("a.jpg") + " -> " + out("alone/a.jpg"), 0},
        {"\"$exe\" -V | head -1", "Trimvale *", 0},
        {crop + "-r \"$in\" | tail -1", "written: " + in("sub/b.jpg") + " -> " + out("sub/b.jpg"),
         0},
        {crop + "-x \"$in\"", "Try 'trimvale --help'.", 2},
        {crop + "-x \"$in\"; echo $?", "2", 0},
        // the locale's own order: LC_ALL over LANG, and LANGUAGE not over C
        {"LANG=de_DE.UTF-8 LC_ALL=C " + crop + "nothing.jpg",
         "failed: nothing.jpg: No such file or folder", 1},
        {"LANG=C LANGUAGE=de " + crop + "nothing.jpg",
         "failed: nothing.jpg: No such file or folder", 1},
        {"LANG=nl_NL.UTF-8 LANGUAGE=de:nl " + crop + "nothing.jpg", "fehlgeschlagen: *", 1},
        {"\"$exe\" --crop --settings de.ini --output \"$out\" nothing.jpg",
         "failed: nothing.jpg: No such file or folder", 1},
        // an output folder that cannot be made says why
        {crop + "--output \"$in\"a.jpg/sub \"$in\"a.jpg",
         "trimvale: Unable to create \"" + in("a.jpg/sub") + "\": Not a directory", 1},
        // settings that cannot be read whole are no reason to crop with the defaults
        {"\"$exe\" --crop --settings cut.ini --output \"$out\"/none \"$in\"a.jpg >/dev/null 2>&1; "
         "echo $? $(ls \"$out\"/none 2>/dev/null | wc -l)",
         "2 0", 0},
        {crop + "\"$in\"a.jpg > /dev/full",
         "trimvale: The report cannot be written: No space left on device", 1},
        // a parent that ignores SIGCHLD hands that on; jpegtran's status still counts
        {"perl -e '$SIG{CHLD} = \"IGNORE\"; exec @ARGV' " + crop +
             "--existing overwrite \"$in\"a.jpg",
         "written: " + in("a.jpg") + " -> " + out("a.jpg"), 0},
        {crop + "\"$in\"giant.jpg",
         "failed: " + in("giant.jpg") + " -> " + out("giant.jpg") +
             ": The file is far too small for the picture its header claims",
         1},
        {crop + "--output \"$out\"/dry --aspect 4:3 --dry-run \"$in\"a.jpg | grep -o 'crop [^ ]*'",
         "crop 160x120+0+0", 0},
        {crop +
             "--output \"$out\"/dry --aspect 1x1cm --dry-run \"$in\"a.jpg | grep -o 'crop [^ ]*'",
         "crop 120x120+16+0", 0},
        {crop +
             "--output \"$out\"/dry --aspect 96x64px --dry-run \"$in\"a.jpg | grep -o 'crop [^ ]*'",
         "crop 96x64+32+16", 0},
        // a reader that goes after the first line: the run ends as SIGPIPE would, cleanly
        {crop + "--existing overwrite -r \"$in\" | head -1 >/dev/null; "
                "echo $(ls -A \"$out\" | grep -c '^\\.')",
         "0", 0},
    };
    for (const TCase& c : cases) {
        const TRun run = Shell(c.script);
        if (run.Lines.empty()) {
            ADD_FAILURE() << "no output: " << c.script;
            continue;
        }
        const std::string& last = run.Lines.back();
        if (c.last.back() == '*')
            EXPECT_EQ(last.substr(0, c.last.size() - 1), c.last.substr(0, c.last.size() - 1))
                << c.script;
        else
            EXPECT_EQ(last, c.last) << c.script;
        EXPECT_EQ(run.Code, c.code) << c.script;
    }
}

// Ctrl+C and SIGTERM end a run with 130 and 143 as shells expect; a run
// killed outright takes its jpegtran with it; a scratch folder is proven
// abandoned by its lock, not by a process id another namespace may share.
TEST_F(ArchiveRunTest, SignalsEndARunAsTheyEndAnyProgram) {
    samples::MakePhoto(in("a.jpg"), 160, 120);
    fs::create_directories(dir.file("bin"));
    WriteFileBytes(dir.file("bin/jpegtran"),
                   "#!/bin/sh\necho $$ > " + dir.file("standin.pid") + "\nexec sleep 30\n");
    fs::permissions(dir.file("bin/jpegtran"), fs::perms::owner_all);
    fs::create_directories(out());
    // a live run of another namespace: a process id that is nobody's here, but locked
    const std::string live = out(".trimvale-999999-1-abcdef");
    const std::string dead = out(".trimvale-" + std::to_string(getpid()) + "-1-ghijkl");
    fs::create_directories(live);
    fs::create_directories(dead);
    const int lock = open(live.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(lock, LOCK_EX), 0);

    for (const int signal : {SIGINT, SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        fs::remove(dir.file("standin.pid"));
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("PATH", (dir.file("bin") + ":" + getenv("PATH")).c_str(), 1);
            execl(TRIMVALE_EXE, TRIMVALE_EXE, "--crop", "--settings", settings.c_str(), "--output",
                  out().c_str(), in("a.jpg").c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        for (int i = 0; i < 400 && ReadFileBytes(dir.file("standin.pid")).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        const std::string standIn = ReadFileBytes(dir.file("standin.pid"));
        ASSERT_FALSE(standIn.empty());
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        if (signal == SIGKILL) {
            EXPECT_TRUE(WIFSIGNALED(status));
        } else {
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 128 + signal);
        }
        // its jpegtran ends with it, also when it could not end it itself
        bool gone = false;
        for (int i = 0; i < 200 && !gone; ++i) {
            gone = kill(std::stoi(standIn), 0) != 0;
            if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        EXPECT_TRUE(gone);
    }
    EXPECT_TRUE(fs::exists(live));
    EXPECT_FALSE(fs::exists(dead));
    close(lock);
}
