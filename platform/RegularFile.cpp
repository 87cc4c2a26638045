#include "platform/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace corvane {

RegularFile::~RegularFile() { close(); }

RegularFile::RegularFile(RegularFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), status_(other.status_), size_(other.size_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        status_ = other.status_;
        size_ = other.size_;
    }
    return *this;
}

RegularFile RegularFile::open(const std::string& path, Access access) {
    RegularFile file;
    const int mode = access == Access::ReadWrite ? O_RDWR : O_RDONLY;
    const int fd = ::open(path.c_str(), mode | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return file;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        file.status_ = Status::NotRegular;
        return file;
    }
    // Reads of a regular file never wait anyway; the stream users expect a blocking descriptor.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.fd_ = fd;
    file.status_ = Status::Ok;
    file.size_ = static_cast<uint64_t>(info.st_size);
    return file;
}

RegularFile::Status RegularFile::readAll(const std::string& path, size_t maxBytes,
                                         std::string& text, Access access) {
    text.clear();
    RegularFile file = open(path, access);
    if (!file.isOpen()) return file.status();
    if (file.size() > maxBytes) return Status::TooLarge;
    text.reserve(static_cast<size_t>(file.size()));
    // The limit holds for what is read, too: the file may grow while it is read.
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(file.fd_, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            text.clear();
            return Status::ReadFailed;
        }
        if (n == 0) break;
        if (static_cast<size_t>(n) > maxBytes - text.size()) {
            text.clear();
            return Status::TooLarge;
        }
        text.append(chunk, static_cast<size_t>(n));
    }
    return Status::Ok;
}

std::string RegularFile::describe(Status status, size_t maxBytes) {
    switch (status) {
        case Status::Ok:
            return "was read";
        case Status::CannotOpen:
            return "cannot be opened";
        case Status::NotRegular:
            return "is not a regular file";
        case Status::TooLarge:
            return maxBytes >= (size_t{1} << 20)
                       ? "is larger than " + std::to_string(maxBytes >> 20) + " MB"
                       : "is larger than " + std::to_string(maxBytes) + " bytes";
        case Status::ReadFailed:
            return "could not be read";
    }
    return "cannot be used";
}

std::FILE* RegularFile::releaseAsStream() {
    if (fd_ < 0) return nullptr;
    std::FILE* stream = ::fdopen(fd_, "rb");
    if (stream == nullptr) {
        close();
        return nullptr;
    }
    fd_ = -1;
    return stream;
}

void RegularFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace corvane
