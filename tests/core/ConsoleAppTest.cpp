#include "ConsoleApp.h"

#include <chrono>
#include <filesystem>
#include <thread>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "Error.h"
#include "TempDir.h"

namespace {
std::vector<std::string> Printed(const std::string& text) {
    std::vector<std::string> lines;
    EXPECT_EQ(ExecuteConsoleApp("printf", {"%s", text}, lines), 0u);
    return lines;
}

std::string MessageOf(const std::string& program) {
    std::vector<std::string> lines;
    try {
        ExecuteConsoleApp(program, {}, lines);
    } catch (const TError& e) {
        return e.what();
    }
    return "";
}
} // namespace

TEST(ConsoleAppTest, AssemblesLinesFromCarriageReturnsLineFeedsAndLongText) {
    struct Case {
        std::string output;
        std::vector<std::string> lines;
    };
    const std::string long300(300, 'x');
    const Case cases[] = {
        {"10%\r20%\r30%\n", {"30%"}},
        {"one\r\n\r\ntwo\r\n", {"one", "", "two"}},
        {"a\nb", {"a", "b"}},
        {"\n\n", {"", ""}},
        {long300, {std::string(256, 'x'), std::string(44, 'x')}},
        {"", {}},
        {"progress 1\rprogress 2\rdone\nnext\n", {"done", "next"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Printed(c.output), c.lines) << c.output;
}

TEST(ConsoleAppTest, CallsBackAfterEveryLineAndAppendsToTheCallersList) {
    std::vector<std::string> lines{"earlier"};
    std::vector<std::vector<std::string>> seen;
    ExecuteConsoleApp("printf", {"%s", "1\r2\n3"}, lines,
                      [&](const std::vector<std::string>& l) { seen.push_back(l); });
    EXPECT_EQ(lines, (std::vector<std::string>{"earlier", "2", "3"}));
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], (std::vector<std::string>{"earlier", "1"}));
    EXPECT_EQ(seen[1], (std::vector<std::string>{"earlier", "2"}));
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

TEST(ConsoleAppTest, ReturnsTheExitCode) {
    std::vector<std::string> lines;
    EXPECT_EQ(ExecuteConsoleApp("sh", {"-c", "echo out; echo err >&2; exit 7"}, lines), 7u);
    EXPECT_EQ(lines, (std::vector<std::string>{"out"})); // standard error is not read
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

TEST(ConsoleAppTest, LeavesAProcessRunningAfterTheWaitAndCollectsItWhenItEnds) {
    std::vector<std::string> lines;
    const auto start = std::chrono::steady_clock::now();
    // tells its process id, closes its output at once, then outlives the wait
    const uint32_t code = ExecuteConsoleApp("sh", {"-c", "echo $$; exec >&-; sleep 6"}, lines);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(code, kStillRunning);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_GE(waited, std::chrono::milliseconds(4900));
    // once it has ended nothing of it stays behind, not even a zombie
    const std::string proc = "/proc/" + lines[0];
    EXPECT_TRUE(std::filesystem::exists(proc));
    for (int i = 0; i < 100 && std::filesystem::exists(proc); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(std::filesystem::exists(proc));
}
