#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/FileReplacement.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class FileReplacementTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvane-replace-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        path_ = folder_ + "/list.txt";
        std::ofstream(path_) << "earlier";
    }
    void TearDown() override { fs::remove_all(folder_); }

    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string folder_;
    std::string path_;
};

TEST_F(FileReplacementTest, ACommittedFileReplacesTheEarlierOne) {
    {
        FileReplacement file(path_);
        ASSERT_TRUE(file.opened());
        file.stream() << "new text";
        EXPECT_EQ(read(path_), "earlier");  // nothing changes before the commit
        EXPECT_TRUE(file.commit());
        EXPECT_FALSE(file.commit());  // once only
    }
    EXPECT_EQ(read(path_), "new text");
    EXPECT_FALSE(fs::exists(path_ + ".part"));
}

TEST_F(FileReplacementTest, WhatIsNotCommittedLeavesTheEarlierFileAndNoPart) {
    {
        FileReplacement file(path_);
        ASSERT_TRUE(file.opened());
        file.stream() << "half of it";
    }
    EXPECT_EQ(read(path_), "earlier");
    EXPECT_FALSE(fs::exists(path_ + ".part"));
}

TEST_F(FileReplacementTest, FailuresLeaveNothingBehind) {
    // The name is a folder with something in it: the rename fails.
    const std::string taken = folder_ + "/taken";
    fs::create_directories(taken + "/inside");
    {
        FileReplacement file(taken);
        ASSERT_TRUE(file.opened());
        file.stream() << "text";
        EXPECT_FALSE(file.commit());
    }
    EXPECT_TRUE(fs::is_directory(taken + "/inside"));
    EXPECT_FALSE(fs::exists(taken + ".part"));

    // A folder that does not exist: nothing is opened, nothing created.
    const std::string nowhere = folder_ + "/missing/list.txt";
    {
        FileReplacement file(nowhere);
        EXPECT_FALSE(file.opened());
        EXPECT_FALSE(file.commit());
    }
    EXPECT_FALSE(fs::exists(folder_ + "/missing"));
}

}  // namespace
}  // namespace corvane
