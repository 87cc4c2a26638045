#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/RegularFile.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;
using Status = RegularFile::Status;

// Only a regular file within the limit is read, and nothing else blocks (a FIFO without a
// writer). The readers' own tests point them at devices.
TEST(RegularFile, ReadsOnlyRegularFilesWithinTheLimit) {
    char pattern[] = "/tmp/corvane-regular-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    std::ofstream(folder + "/ten", std::ios::binary) << "0123456789";
    ASSERT_EQ(mkfifo((folder + "/fifo").c_str(), 0600), 0);
    fs::create_directory(folder + "/folder");

    struct Case {
        std::string path;
        size_t limit;
        Status status;
        std::string text;
    };
    const Case cases[] = {
        {folder + "/ten", 10, Status::Ok, "0123456789"},
        {folder + "/ten", 9, Status::TooLarge, ""},
        {folder + "/fifo", 10, Status::NotRegular, ""},
        {folder + "/folder", 10, Status::NotRegular, ""},
        {folder + "/missing", 10, Status::CannotOpen, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " limit " + std::to_string(c.limit));
        std::string text = "left over";
        EXPECT_EQ(RegularFile::readAll(c.path, c.limit, text), c.status);
        EXPECT_EQ(text, c.text);
    }
    // A stream handed over reads the file from its start.
    std::FILE* stream = RegularFile::open(folder + "/ten").releaseAsStream();
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(std::fgetc(stream), '0');
    std::fclose(stream);
    EXPECT_EQ(RegularFile::open(folder + "/fifo").releaseAsStream(), nullptr);
    fs::remove_all(folder);
}

}  // namespace
}  // namespace corvane
