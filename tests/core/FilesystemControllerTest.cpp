#include "core/FilesystemController.h"

#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "TempDir.h"

namespace fs = std::filesystem;

TEST(FilesystemControllerTest, ListsMatchesIgnoringCaseAndSkipsHiddenFolders) {
    TTempDir dir;
    fs::create_directories(dir.file("x/deeper"));
    fs::create_directories(dir.file(".h"));
    fs::create_directories(dir.file("pics.jpg")); // a folder is no photo, whatever its name
    WriteFileBytes(dir.file("a.jpg"), "x");
    WriteFileBytes(dir.file("B.JPG"), "x");
    WriteFileBytes(dir.file(".hidden.jpg"), "x");
    WriteFileBytes(dir.file("c.jpeg"), "x");
    WriteFileBytes(dir.file("x/b.jpg"), "x");
    WriteFileBytes(dir.file("x/deeper/d.Jpg"), "x");
    WriteFileBytes(dir.file(".h/c.jpg"), "x");
    fs::create_directory_symlink(dir.path(), dir.file("x/loop"));
    fs::create_symlink("a.jpg", dir.file("link.jpg"));        // a link to a photo is a photo
    ASSERT_EQ(mkfifo(dir.file("fifo.jpg").c_str(), 0600), 0); // a FIFO is none

    auto top = ListFiles(dir.path(), "*.jpg");
    std::sort(top.begin(), top.end());
    const std::string d = dir.path() + "/";
    EXPECT_EQ(top, (std::vector<std::string>{d + ".hidden.jpg", d + "B.JPG", d + "a.jpg",
                                             d + "link.jpg"}));

    auto all = ListFilesRecursive(dir.path() + "/", "*.jpg");
    ASSERT_EQ(all.size(), 6u);
    std::sort(all.begin(), all.begin() + 4);
    EXPECT_EQ(all[0], d + ".hidden.jpg");
    EXPECT_EQ(all[4], d + "x/b.jpg"); // first level one, then level two
    EXPECT_EQ(all[5], d + "x/deeper/d.Jpg");
    EXPECT_TRUE(ListFiles("", "*.jpg").empty());
    EXPECT_TRUE(ListFilesRecursive(d + "missing", "*.jpg").empty());
}

TEST(FilesystemControllerTest, MasksAndProgramPaths) {
    EXPECT_TRUE(MatchesMask("IMG_0001.JPE", "*.jpe"));
    EXPECT_FALSE(MatchesMask("IMG_0001.jpeg", "*.jpe"));
    EXPECT_TRUE(MatchesMask("ä.jpg", "?.JPG"));
    const std::string dir = ProgramDir();
    EXPECT_EQ(ProgramPath("settings.ini"), dir + "/settings.ini");
    EXPECT_EQ(ProgramPath("/etc/x.ini"), "/etc/x.ini");
    EXPECT_TRUE(fs::exists(dir));
}

TEST(FilesystemControllerTest, CopiesTimesAndPermissions) {
    TTempDir dir;
    const std::string src = dir.file("src file.jpg"), dst = dir.file("dst.jpg");
    WriteFileBytes(src, "a");
    WriteFileBytes(dst, "b");
    const timespec times[2] = {{1000000000, 123456789}, {1100000000, 987654321}};
    utimensat(AT_FDCWD, src.c_str(), times, 0);
    chmod(src.c_str(), 0444);
    CopyFileTimes(src, dst);
    CopyFileAttributes(src, dst);
    struct stat st;
    ASSERT_EQ(stat(dst.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_TRUE(IsReadOnly(dst));
    ClearReadOnly(dst);
    EXPECT_FALSE(IsReadOnly(dst));
    CopyFileTimes(dir.file("missing"), dst); // silently nothing
    CopyFileAttributes(dir.file("missing"), dst);
    EXPECT_FALSE(IsReadOnly(dst));
}

TEST(FilesystemControllerTest, SpecialAndTemporaryFolders) {
    TTempDir dir;
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", dir.path().c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(GetSpecialFolder(5), dir.path() + "/.config");
    EXPECT_EQ(GetSpecialFolder(9), dir.path() + "/Pictures");
    fs::create_directories(dir.file(".config"));
    WriteFileBytes(dir.file(".config/user-dirs.dirs"),
                   "# comment\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n");
    EXPECT_EQ(GetSpecialFolder(9), dir.path() + "/Bilder");
    setenv("XDG_CONFIG_HOME", dir.file("cfg").c_str(), 1);
    EXPECT_EQ(GetSpecialFolder(5), dir.file("cfg"));
    EXPECT_EQ(GetSpecialFolder(2), "");
    EXPECT_EQ(GetSpecialFolder(12), "");
    unsetenv("XDG_CONFIG_HOME");
    setenv("HOME", oldHome.c_str(), 1);

    const char* oldTmp = std::getenv("TMPDIR");
    const std::string saved = oldTmp ? oldTmp : "";
    setenv("TMPDIR", dir.file("fresh").c_str(), 1);
    EXPECT_EQ(GetTempDir(), dir.file("fresh") + "/");
    EXPECT_TRUE(fs::is_directory(dir.file("fresh")));
    setenv("TMPDIR", dir.file("no/such/parent").c_str(), 1);
    EXPECT_EQ(GetTempDir(), "/tmp/");
    if (oldTmp)
        setenv("TMPDIR", saved.c_str(), 1);
    else
        unsetenv("TMPDIR");
}
