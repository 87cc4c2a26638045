#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zstd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "adapters/CandumpLogReader.h"
#include "logs/LogFrameReader.h"
#include "tests/logs/LogFiles.h"

namespace corvane {
namespace {

using test::Frame;
using test::ScratchFolder;

// What the whole-text reader makes of the same log: the reference the streamed reader keeps.
struct WholeRead {
    std::vector<Frame> frames;
    size_t skipped = 0;
};
WholeRead wholeRead(const std::string& text) {
    WholeRead out;
    CandumpLogReader reader(text);
    CandumpRecord r;
    while (reader.next(r)) out.frames.push_back(test::frameOf(r));
    out.skipped = reader.skipped();
    return out;
}

// The streamed read of `text` stored plain, gzip and zstd equals the whole-text read.
void expectStreamedEqualsWhole(const std::string& text) {
    const WholeRead whole = wholeRead(text);
    ScratchFolder folder;
    for (const char* name : {"x.log", "x.log.gz", "x.log.zst"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(test::writeLog(folder.file(name), text));
        LogFrameReader reader;
        const std::vector<Frame> frames = test::readFrames(folder.file(name), reader);
        EXPECT_TRUE(frames == whole.frames) << frames.size() << " vs " << whole.frames.size();
        EXPECT_EQ(reader.skipped(), whole.skipped);
        EXPECT_EQ(reader.fault(), LogByteSource::Fault::None);
        EXPECT_EQ(reader.faultText(), "");
        EXPECT_EQ(reader.filePosition(), reader.fileSize());
        EXPECT_EQ(reader.format(), LogFormat::Candump);
    }
}

TEST(LogFrameReader, StreamedEqualsTheWholeFileReadOnTheExampleLogs) {
    size_t logs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(CORVANE_EXAMPLE_LOGS)) {
        if (entry.path().extension() != ".log") continue;
        SCOPED_TRACE(entry.path().string());
        expectStreamedEqualsWhole(test::readBytes(entry.path().string()));
        ++logs;
    }
    EXPECT_GE(logs, 1u);
}

TEST(LogFrameReader, LinesAcrossChunksOddLinesAndAnOverlongOne) {
    // Several chunks, bad lines at intervals that fall across the chunk ends, CR LF endings,
    // a line longer than any buffer the splitter keeps, and no line end at the very end.
    std::string text;
    const std::string frames = test::numberedLog(30000);
    size_t from = 0;
    for (int n = 0; from < frames.size(); ++n) {
        const size_t end = frames.find('\n', from) + 1;
        std::string line = frames.substr(from, end - from);
        if (n % 7 == 3) line.insert(line.size() - 1, "\r");
        text += line;
        if (n % 997 == 5) text += "(1700000000.000000) can0 19FFD442#0G\n\n";
        if (n == 12345) text += std::string(3 * LogLineSplitter::kMaxLineBytes, 'x') + "\n";
        from = end;
    }
    text += "(1800000000.000000) can0 19FFD442#AB";
    ASSERT_GT(text.size(), 3 * LogByteSource::kChunkBytes);
    expectStreamedEqualsWhole(text);
    EXPECT_EQ(wholeRead(text).frames.size(), 30001u);
}

TEST(LogFrameReader, ABrokenCompressedFileYieldsItsWholePartThenSaysWhy) {
    const std::string text = test::numberedLog(60000);  // over 2 MB: several zstd blocks
    const std::vector<Frame> all = wholeRead(text).frames;
    struct Case {
        const char* name;
        bool damage;  // otherwise cut in half
        LogByteSource::Fault fault;
    };
    const Case cases[] = {
        {"cut.log.gz", false, LogByteSource::Fault::CutShort},
        {"cut.log.zst", false, LogByteSource::Fault::CutShort},
        {"damaged.log.gz", true, LogByteSource::Fault::Damaged},
        {"damaged.log.zst", true, LogByteSource::Fault::Damaged},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const std::string path = folder.file(c.name);
        ASSERT_TRUE(test::writeLog(path, text));
        std::string bytes = test::readBytes(path);
        if (c.damage) {
            for (size_t i = bytes.size() / 2; i < bytes.size() / 2 + 64; ++i) bytes[i] = '\xA5';
        } else {
            bytes.resize(bytes.size() / 2);
        }
        test::writeBytes(path, bytes);
        LogFrameReader reader;
        const std::vector<Frame> frames = test::readFrames(path, reader);
        EXPECT_EQ(reader.fault(), c.fault);
        EXPECT_LT(frames.size(), all.size());
        if (!c.damage) {
            // Everything before the break, in order and intact.
            EXPECT_GT(frames.size(), all.size() / 4);
            EXPECT_TRUE(std::equal(frames.begin(), frames.end(), all.begin()));
            EXPECT_EQ(reader.faultText(),
                      "is cut short after " + std::to_string(frames.size()) + " frames");
        }
    }
}

// A compressed file cut at any byte gives the frames before the cut, in order, and never a
// frame the file does not hold: the cut-off end of a line once read as a shorter frame. The
// text goes in with a flush every 37 bytes, so that its blocks end inside lines.
TEST(LogFrameReader, EveryCutOfACompressedFileGivesAPrefixOfItsFrames) {
    const std::string text = test::numberedLog(24);
    const std::vector<Frame> all = wholeRead(text).frames;
    for (const std::string name : {"small.log.gz", "small.log.zst"}) {
        SCOPED_TRACE(name);
        ScratchFolder folder;
        LogWriter writer;
        ASSERT_TRUE(writer.open(folder.file(name)));
        for (size_t at = 0; at < text.size(); at += 37) {
            ASSERT_TRUE(writer.write(text.substr(at, 37)) && writer.flush());
        }
        ASSERT_TRUE(writer.close());
        const std::string bytes = test::readBytes(folder.file(name));
        const std::string cutPath = folder.file("cut-" + name);
        size_t before = 0;
        for (size_t cut = 1; cut < bytes.size(); ++cut) {
            SCOPED_TRACE(cut);
            test::writeBytes(cutPath, bytes.substr(0, cut));
            LogFrameReader reader;
            const std::vector<Frame> frames = test::readFrames(cutPath, reader);
            ASSERT_LE(frames.size(), all.size());
            ASSERT_TRUE(std::equal(frames.begin(), frames.end(), all.begin()));
            ASSERT_GE(frames.size(), before);  // more of the file never gives fewer frames
            EXPECT_NE(reader.fault(), LogByteSource::Fault::None);
            before = frames.size();
        }
        // The longest cut lacks only the end of the stream: every frame is in it.
        EXPECT_EQ(before, all.size());
    }
}

// `text` as one zstd frame with a window of 2^windowLog bytes, its size left unsaid so that
// the window is not shrunk to fit.
std::string zstdWithWindow(const std::string& text, int windowLog) {
    ZSTD_CCtx* cctx = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(cctx, ZSTD_c_windowLog, windowLog);
    std::string out(ZSTD_compressBound(text.size()) + 1024, '\0');
    ZSTD_outBuffer output{out.data(), out.size(), 0};
    ZSTD_inBuffer input{text.data(), text.size(), 0};
    ZSTD_compressStream2(cctx, &output, &input, ZSTD_e_continue);
    while (ZSTD_compressStream2(cctx, &output, &input, ZSTD_e_end) > 0) {
    }
    ZSTD_freeCCtx(cctx);
    out.resize(output.pos);
    return out;
}

// The memory a zstd log may take is capped: a window over the limit (a crafted file, or one
// made with --long) is refused before it is allocated, with a message that says why.
TEST(LogFrameReader, AZstdWindowOverTheLimitIsRefused) {
    const std::string text = test::numberedLog(100);
    ScratchFolder folder;
    for (const int windowLog :
         {LogByteSource::kZstdWindowLogMax, LogByteSource::kZstdWindowLogMax + 1, 27}) {
        SCOPED_TRACE(windowLog);
        test::writeBytes(folder.file("w.log.zst"), zstdWithWindow(text, windowLog));
        LogFrameReader reader;
        const std::vector<Frame> frames = test::readFrames(folder.file("w.log.zst"), reader);
        if (windowLog <= LogByteSource::kZstdWindowLogMax) {
            EXPECT_EQ(frames.size(), 100u);
            EXPECT_EQ(reader.faultText(), "");
            continue;
        }
        EXPECT_TRUE(frames.empty());
        EXPECT_EQ(reader.fault(), LogByteSource::Fault::TooLargeWindow);
        EXPECT_EQ(
            reader.faultText().rfind("stops after 0 frames: it needs a zstd window over 16 MB", 0),
            0u)
            << reader.faultText();
    }
}

// Files that hold megabytes before their one frame: one line without an end, empty gzip
// members, skippable zstd frames. A stop asked for is seen within a chunk or two of the file,
// and the reading then goes on to the frame.
TEST(LogFrameReader, AStopIsSeenInMegabytesWithoutALine) {
    ScratchFolder folder;
    const std::string frame = "(1800000000.000000) can0 19FFD442#01\n";
    ASSERT_TRUE(test::writeLog(folder.file("empty.gz"), ""));
    ASSERT_TRUE(test::writeLog(folder.file("frame.gz"), frame));
    ASSERT_TRUE(test::writeLog(folder.file("frame.zst"), frame));
    std::string emptyMembers;
    for (int i = 0; i < 200000; ++i) emptyMembers += test::readBytes(folder.file("empty.gz"));
    std::string skippable;
    const std::string content(64 * 1024, 'x');
    for (int i = 0; i < 64; ++i) {
        const uint32_t size = static_cast<uint32_t>(content.size());
        skippable += std::string("\x50\x2A\x4D\x18", 4);
        for (int b = 0; b < 4; ++b) skippable += static_cast<char>(size >> (8 * b));
        skippable += content;
    }
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"long.log", std::string(16 << 20, 'x') + "\n" + frame},
        {"members.log.gz", emptyMembers + test::readBytes(folder.file("frame.gz"))},
        {"skippable.log.zst", skippable + test::readBytes(folder.file("frame.zst"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_GT(c.bytes.size(), 8 * LogByteSource::kChunkBytes);
        test::writeBytes(folder.file(c.name), c.bytes);
        LogFrameReader reader;
        ASSERT_TRUE(reader.open(folder.file(c.name)));
        reader.setInterrupt([] { return true; });
        CandumpRecord record;
        EXPECT_FALSE(reader.next(record));
        EXPECT_TRUE(reader.interrupted());
        EXPECT_LE(reader.filePosition(), 2 * LogByteSource::kChunkBytes);
        reader.setInterrupt({});
        ASSERT_TRUE(reader.next(record));
        EXPECT_EQ(record.micros, 1'800'000'000'000'000);
        EXPECT_FALSE(reader.next(record));
        EXPECT_EQ(reader.faultText(), "");
    }
}

TEST(LogFrameReader, OnlyRegularFilesOpen) {
    ScratchFolder folder;
    ASSERT_EQ(mkfifo(folder.file("fifo.log").c_str(), 0600), 0);
    LogFrameReader missing, fifo, device;
    EXPECT_FALSE(missing.open(folder.file("none.log")));
    EXPECT_EQ(missing.openStatus(), RegularFile::Status::CannotOpen);
    EXPECT_FALSE(fifo.open(folder.file("fifo.log")));
    EXPECT_EQ(fifo.openStatus(), RegularFile::Status::NotRegular);
    EXPECT_FALSE(device.open("/dev/zero"));
    EXPECT_EQ(device.openStatus(), RegularFile::Status::NotRegular);
}

TEST(LogFrameReader, MultiMemberGzipReadsOn) {
    // Two gzip members one after the other (a log compressed in parts) read as one text.
    ScratchFolder folder;
    const std::string first = test::numberedLog(100);
    ASSERT_TRUE(test::writeLog(folder.file("a.log.gz"), first));
    ASSERT_TRUE(test::writeLog(folder.file("b.log.gz"), "(1800000000.000000) can0 19FFD442#01\n"));
    test::writeBytes(folder.file("ab.log.gz"), test::readBytes(folder.file("a.log.gz")) +
                                                   test::readBytes(folder.file("b.log.gz")));
    LogFrameReader reader;
    EXPECT_EQ(test::readFrames(folder.file("ab.log.gz"), reader).size(), 101u);
    EXPECT_EQ(reader.fault(), LogByteSource::Fault::None);
}

}  // namespace
}  // namespace corvane
