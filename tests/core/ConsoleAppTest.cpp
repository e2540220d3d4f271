#include "core/ConsoleApp.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "TempDir.h"
#include "core/Error.h"

namespace {
std::string MessageOf(const std::string& program) {
    std::vector<std::string> lines;
    try {
        ExecuteConsoleApp(program, {}, lines);
    } catch (const TError& e) {
        return e.what();
    }
    return "";
}

/// Still running: listed and not a zombie (an orphan waits for whoever
/// adopts it to reap it, which is not ours to wait for).
bool Alive(const std::string& pid) {
    const std::string stat = ReadFileBytes("/proc/" + pid + "/stat");
    const std::size_t close = stat.rfind(')');
    return close != std::string::npos && stat.size() > close + 2 && stat[close + 2] != 'Z';
}
} // namespace

TEST(ConsoleAppTest, SplitsTheOutputIntoLines) {
    struct Case {
        std::string output;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"one\r\n\r\ntwo\r\n", {"one", "", "two"}},
        {"a\nb", {"a", "b"}},
        {"\n\n", {"", ""}},
        {"", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> lines{};
        EXPECT_EQ(ExecuteConsoleApp("printf", {"%s", c.output}, lines), 0u);
        EXPECT_EQ(lines, c.lines) << c.output;
    }
}

TEST(ConsoleAppTest, PassesArgumentsWithoutAShell) {
    TTempDir dir;
    // every argument reaches the program as it stands, nothing is expanded
    const std::vector<std::string> args{"%s|%s|%s|%s\n", "$(touch " + dir.file("x") + ")",
                                        "a b \"c\"", "-n", "*"};
    std::vector<std::string> lines;
    EXPECT_EQ(ExecuteConsoleApp("/usr/bin/printf", args, lines), 0u);
    EXPECT_EQ(lines, (std::vector<std::string>{args[1] + "|a b \"c\"|-n|*"}));
    EXPECT_FALSE(std::filesystem::exists(dir.file("x")));
}

TEST(ConsoleAppTest, ReportsTheExitStatusTheSignalAndTheLastWordsOfStandardError) {
    struct Case {
        std::string script;
        int exitCode, signal;
        std::string output, errors;
    };
    const std::string tail(kErrorTail, 'e');
    const Case cases[] = {
        {"echo out; echo err >&2; exit 7", 7, 0, "out\n", "err\n"},
        {"echo half; kill -SEGV $$", -1, SIGSEGV, "half\n", ""},
        {"kill -9 $$", -1, SIGKILL, "", ""},
        // only the end of a long complaint is kept: that is where the reason is
        {"head -c 100000 /dev/zero >&2; printf '%4096s' '' | tr ' ' e >&2", 0, 0, "", tail},
    };
    for (const Case& c : cases) {
        const TProcessResult r = RunProgram("sh", {"-c", c.script});
        EXPECT_EQ(r.ExitCode, c.exitCode) << c.script;
        EXPECT_EQ(r.Signal, c.signal) << c.script;
        EXPECT_EQ(r.Output, c.output) << c.script;
        EXPECT_EQ(r.Errors, c.errors) << c.script;
        EXPECT_EQ(r.Ok(), c.exitCode == 0 && c.signal == 0) << c.script;
        EXPECT_FALSE(r.TimedOut || r.Stopped) << c.script;
    }
    EXPECT_TRUE(RunConsoleApp("true", {}));
    EXPECT_FALSE(RunConsoleApp("false", {}));
}

TEST(ConsoleAppTest, RejectsBadExtensionsAndMissingPrograms) {
    EXPECT_EQ(MessageOf("notes.TXT"), "notes.TXT has invalid file extension");
    EXPECT_EQ(MessageOf("/usr/bin/x.sh"), "/usr/bin/x.sh has invalid file extension");
    EXPECT_EQ(MessageOf("no-such-program-here"), "Could not find file no-such-program-here");
    EXPECT_EQ(MessageOf("no-such-program.exe"), "Could not find file no-such-program.exe");
    EXPECT_FALSE(RunConsoleApp("notes.txt", {}));

    TTempDir dir;
    const std::string plain = dir.file("data");
    WriteFileBytes(plain, "not a program");
    EXPECT_EQ(MessageOf(plain), "Could not find file " + plain); // not executable
    // ".bat" and ".cmd" names are used unchanged, so their failure is a start failure
    const std::string batch = dir.file("run.bat");
    const std::string message = MessageOf(batch);
    EXPECT_NE(message.find("Unable to start " + batch), std::string::npos) << message;
}

TEST(ConsoleAppTest, FindsProgramsAndAcceptsNamesWithADotInTheFolder) {
    TTempDir dir;
    std::filesystem::create_directory(dir.file("v1.2"));
    const std::string tool = dir.file("v1.2/tool");
    WriteFileBytes(tool, "#!/bin/sh\necho ran\n");
    chmod(tool.c_str(), 0755);
    std::vector<std::string> lines;
    EXPECT_EQ(ExecuteConsoleApp(tool, {}, lines), 0u);
    EXPECT_EQ(lines, (std::vector<std::string>{"ran"}));
    EXPECT_EQ(FindExecutable("sh").substr(0, 1), "/");
    EXPECT_EQ(FindExecutable(""), "");
}

// A program given up on ends at once with whatever it started, also when it
// closed its output long before, ignores SIGTERM, or left a child behind.
TEST(ConsoleAppTest, EndsAndReapsAProgramAtTheLimitOrWhenAskedToStop) {
    struct Case {
        std::string name, script;
        bool stop;
    };
    const Case cases[] = {
        {"closed output", "echo $$; exec >&- 2>&-; sleep 30", false},
        {"deaf to SIGTERM", "trap '' TERM; echo $$; sleep 30", false},
        {"a child of its own", "sleep 30 & echo $!; wait", false},
        {"asked to stop", "echo $$; sleep 30", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> stop{false};
        TProcessLimits limits;
        limits.Timeout = std::chrono::milliseconds(c.stop ? 0 : 1000);
        limits.Stop = &stop;
        std::thread stopper;
        if (c.stop)
            stopper = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(700));
                stop = true;
            });
        const auto start = std::chrono::steady_clock::now();
        const TProcessResult r = RunProgram("sh", {"-c", c.script}, limits);
        const auto took = std::chrono::steady_clock::now() - start;
        if (stopper.joinable()) stopper.join();
        EXPECT_EQ(r.TimedOut, !c.stop);
        EXPECT_EQ(r.Stopped, c.stop);
        EXPECT_FALSE(r.Ok());
        EXPECT_EQ(r.ExitCode, -1);
        EXPECT_GE(took, std::chrono::milliseconds(650));
        EXPECT_LT(took, std::chrono::milliseconds(2500));
        const std::string pid = r.Output.substr(0, r.Output.find('\n'));
        ASSERT_FALSE(pid.empty());
        // the group got SIGKILL while its leader was held: nothing of it runs on
        for (int i = 0; i < 40 && Alive(pid); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        EXPECT_FALSE(Alive(pid));
    }
}
