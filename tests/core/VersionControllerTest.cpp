#include "core/VersionController.h"

#include <gtest/gtest.h>

#include "core/FilesystemController.h"

TEST(VersionControllerTest, OnlyTheRunningProgramHasAVersionTable) {
    const std::string self = ProgramPath("VersionControllerTest");
    EXPECT_EQ(ReadVersionValue("FileVersion", self), "0.6.4.0");
    EXPECT_EQ(ReadVersionValue("NoSuchKey", self), "<NonExisting>");
    EXPECT_EQ(ReadVersionValue("FileVersion", "/bin/sh"), "<Undefined>");
    EXPECT_EQ(ReadVersionValue("FileVersion", "/no/such/file"), "<Undefined>");
    EXPECT_EQ(FileVersion(), "0.6.4.0");
    EXPECT_EQ(ShortVersion(), "0.6.4");
}

TEST(VersionControllerTest, ShortVersionDropsTheLastPart) {
    EXPECT_EQ(ShortVersion("0.6.4.141"), "0.6.4");
    EXPECT_EQ(ShortVersion("1."), "1");
    EXPECT_EQ(ShortVersion("<Undefined>"), "<Undefined>");
    EXPECT_EQ(ShortVersion(""), "");
}
