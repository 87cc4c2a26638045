#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace corvane {

// The one way the program opens a file it was told to read (module definitions, device lists,
// logs, scripts): only a regular file gets through. A FIFO, a device such as /dev/zero, a
// socket or a folder that happens to carry the expected name is refused, because a FIFO would
// block the reader for ever and a device would never end.
//
// The file is opened with O_NONBLOCK, so that opening a FIFO returns at once, and its type is
// then checked on the open descriptor (fstat), so a name swapped between a check and the open
// cannot slip through. Objects are owned by one thread.
class RegularFile {
  public:
    enum class Status { Ok, CannotOpen, NotRegular, TooLarge, ReadFailed };
    enum class Access { Read, ReadWrite };

    RegularFile() = default;
    ~RegularFile();
    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // Opens `path` when it is a regular file; otherwise a closed object whose status says why.
    // ReadWrite asks for write permission too (the file is never written through it).
    static RegularFile open(const std::string& path, Access access = Access::Read);

    // The whole content of the regular file at `path`, refused (TooLarge, nothing read) when
    // it holds more than `maxBytes`.
    //   a 10-byte file, limit 10 -> Ok          a FIFO or /dev/zero -> NotRegular
    //   a 11-byte file, limit 10 -> TooLarge    a missing file      -> CannotOpen
    static Status readAll(const std::string& path, size_t maxBytes, std::string& text,
                          Access access = Access::Read);

    // What went wrong, for messages: "is not a regular file", "is larger than 4 MB", ...
    static std::string describe(Status status, size_t maxBytes = 0);

    bool isOpen() const { return fd_ >= 0; }
    Status status() const { return status_; }
    // The size the file had when it was opened.
    uint64_t size() const { return size_; }
    // Hands the open file over as a stdio stream for reading (closed on failure); null when
    // not open.
    std::FILE* releaseAsStream();
    void close();

  private:
    int fd_ = -1;
    Status status_ = Status::CannotOpen;
    uint64_t size_ = 0;
};

}  // namespace corvane
