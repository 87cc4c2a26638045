#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/MailslotServer.h"
#include "platform/MailslotWriter.h"
#include "platform/RuntimeDir.h"

namespace corvane {
namespace {

namespace fs = std::filesystem;

class MailslotTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/corvane-mailslot-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        base = pattern;
        runtime = base + "/run";
        setenv("CORVANE_RUNTIME_DIR", runtime.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("CORVANE_RUNTIME_DIR");
        fs::remove_all(base);
    }
    std::string base;
    std::string runtime;
};

mode_t modeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 0777;
}

TEST_F(MailslotTest, FoldersArePrivateToTheUser) {
    auto path = mailslotPath("ModA");
    ASSERT_TRUE(path);
    EXPECT_EQ(*path, runtime + "/mailslot/RVC/ModA");
    for (const auto& folder : {runtime, runtime + "/mailslot", runtime + "/mailslot/RVC"}) {
        EXPECT_EQ(modeOf(folder), 0700u) << folder;
    }
    // An existing folder with looser rights is tightened.
    chmod(runtime.c_str(), 0755);
    ASSERT_TRUE(runtimeDirectory());
    EXPECT_EQ(modeOf(runtime), 0700u);

    // A symbolic link or a plain file in its place is refused.
    fs::remove_all(runtime);
    fs::create_directory(base + "/elsewhere");
    fs::create_directory_symlink(base + "/elsewhere", runtime);
    EXPECT_FALSE(runtimeDirectory());
    EXPECT_FALSE(mailslotPath("ModA"));
    fs::remove(runtime);
    {
        std::FILE* f = std::fopen(runtime.c_str(), "w");
        std::fclose(f);
    }
    EXPECT_FALSE(runtimeDirectory());
}

TEST(SlotName, OnlyPlainFileNamesAreSlots) {
    struct Case {
        std::string name;
        bool valid;
    } cases[] = {
        {"RVCManager", true},
        {"ModA", true},
        {"rvc-watch.42", true},
        {"a b", true},
        {std::string(64, 'x'), true},
        {std::string(65, 'x'), false},
        {"", false},
        {".", false},
        {"..", false},
        {"../RVCManager", false},
        {"a/b", false},
        {"a\\b", false},
        {std::string("a\0b", 3), false},
        {"tab\there", false},
        {"del\x7f", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isValidSlotName(c.name), c.valid) << c.name;
}

TEST_F(MailslotTest, ReadsWholeDatagramsWithTheirSize) {
    auto path = mailslotPath("RVCManager");
    ASSERT_TRUE(path);
    MailslotServer server(*path);
    ASSERT_TRUE(server.valid());
    MailslotWriter writer(*path);
    ASSERT_TRUE(writer.valid());

    std::vector<uint8_t> big(250, 0xAB);
    std::vector<uint8_t> small{0xFF, 'M', 'o', 'd', 'A', 0};
    std::vector<uint8_t> empty;
    ASSERT_TRUE(writer.write(big));
    ASSERT_TRUE(writer.write(small));
    ASSERT_TRUE(writer.write(empty));

    std::vector<uint8_t> buffer(200);
    EXPECT_TRUE(server.waitReadable(100));
    EXPECT_EQ(server.read(buffer), 250u);  // cut to the buffer, real size reported
    EXPECT_EQ(server.read(buffer), 6u);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 6), small);
    EXPECT_EQ(server.read(buffer), 0u);  // an empty message is still a message
    EXPECT_FALSE(server.read(buffer));
    EXPECT_FALSE(server.waitReadable(10));
}

TEST_F(MailslotTest, WritingNeverBlocksOnAFullOrMissingReader) {
    auto path = mailslotPath("Slow");
    ASSERT_TRUE(path);
    EXPECT_FALSE(MailslotWriter(*path).valid());  // nobody reads there yet

    MailslotServer server(*path);
    MailslotWriter writer(*path);
    ASSERT_TRUE(writer.valid());
    std::vector<uint8_t> message(100, 1);
    auto started = std::chrono::steady_clock::now();
    int delivered = 0;
    for (int i = 0; i < 5000; ++i) delivered += writer.write(message) ? 1 : 0;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_GT(delivered, 0);
    EXPECT_LT(delivered, 5000);  // the reader never read: the rest was dropped
}

TEST_F(MailslotTest, ReplacesAnAbandonedSlotButNotALiveOne) {
    auto path = mailslotPath("RVCManager");
    ASSERT_TRUE(path);
    {
        MailslotServer live(*path);
        ASSERT_TRUE(live.valid());
        MailslotServer second(*path);
        EXPECT_FALSE(second.valid());
        EXPECT_TRUE(fs::exists(*path));  // the live one keeps its file
    }
    EXPECT_FALSE(fs::exists(*path));  // removed by its owner

    // A socket file left by a process that died.
    int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path->c_str());
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
    MailslotServer again(*path);
    EXPECT_TRUE(again.valid());
}

}  // namespace
}  // namespace corvane
