#include "platform/CanSocket.h"

#include <linux/can.h>
#include <linux/can/raw.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvane {

namespace {

CanSocket::Result fromErrno(int error) {
    switch (error) {
        case EAFNOSUPPORT:
        case EPROTONOSUPPORT:
            return CanSocket::Result::Unsupported;
        case ENODEV:
        case ENXIO:
            return CanSocket::Result::NoInterface;
        case ENETDOWN:
        case ENETUNREACH:
        case ENOBUFS:
            return CanSocket::Result::InterfaceDown;
        default:
            return CanSocket::Result::Failed;
    }
}

}  // namespace

CanSocket::~CanSocket() { close(); }

bool CanSocket::supported() {
    int fd = ::socket(PF_CAN, SOCK_RAW | SOCK_CLOEXEC, CAN_RAW);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

CanSocket::Result CanSocket::open(const std::string& interface) {
    if (isOpen()) return Result::Failed;
    if (interface.empty() || interface.size() >= IFNAMSIZ) return Result::NoInterface;
    int fd = ::socket(PF_CAN, SOCK_RAW | SOCK_CLOEXEC, CAN_RAW);
    if (fd < 0) return fromErrno(errno);

    const unsigned index = ::if_nametoindex(interface.c_str());
    if (index == 0) {
        ::close(fd);
        return Result::NoInterface;
    }
    // Extended data frames only: the EFF flag must be set and the RTR flag clear.
    can_filter filter{};
    filter.can_id = CAN_EFF_FLAG;
    filter.can_mask = CAN_EFF_FLAG | CAN_RTR_FLAG;
    const int off = 0;
    const int on = 1;
    // Every error class the controller reports comes too, as error frames; and each read
    // says how many frames the kernel dropped for want of room in this socket's queue.
    const can_err_mask_t errors = CAN_ERR_MASK;
    if (::setsockopt(fd, SOL_CAN_RAW, CAN_RAW_FILTER, &filter, sizeof filter) != 0 ||
        ::setsockopt(fd, SOL_CAN_RAW, CAN_RAW_RECV_OWN_MSGS, &off, sizeof off) != 0 ||
        ::setsockopt(fd, SOL_CAN_RAW, CAN_RAW_ERR_FILTER, &errors, sizeof errors) != 0 ||
        ::setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &on, sizeof on) != 0) {
        Result r = fromErrno(errno);
        ::close(fd);
        return r;
    }
    sockaddr_can address{};
    address.can_family = AF_CAN;
    address.can_ifindex = static_cast<int>(index);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        Result r = fromErrno(errno);
        ::close(fd);
        return r;
    }
    kernelDrops_ = 0;
    newDrops_ = 0;
    fd_.store(fd, std::memory_order_release);
    return Result::Ok;
}

void CanSocket::close() {
    int fd = fd_.exchange(-1, std::memory_order_acq_rel);
    if (fd >= 0) ::close(fd);
}

CanSocket::Result CanSocket::read(CanSocketFrame& frame, int timeoutMs) {
    const int fd = fd_.load(std::memory_order_acquire);
    if (fd < 0) return Result::Failed;
    pollfd p{fd, POLLIN, 0};
    int ready = ::poll(&p, 1, timeoutMs);
    if (ready < 0) return errno == EINTR ? Result::Timeout : fromErrno(errno);
    if (ready == 0) return Result::Timeout;
    if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) {
        // The pending socket error says why (ENETDOWN when the interface went down).
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        return error != 0 ? fromErrno(error) : Result::InterfaceDown;
    }
    can_frame raw{};
    iovec part{&raw, sizeof raw};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(uint32_t))];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    ssize_t n = ::recvmsg(fd, &message, MSG_DONTWAIT);
    if (n >= 0) noteDrops(message);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) return Result::Timeout;
        return fromErrno(errno);
    }
    if (static_cast<size_t>(n) < sizeof raw) return Result::Timeout;  // not a classic frame
    frame.extended = (raw.can_id & CAN_EFF_FLAG) != 0;
    frame.remote = (raw.can_id & CAN_RTR_FLAG) != 0;
    frame.error = (raw.can_id & CAN_ERR_FLAG) != 0;
    frame.id = raw.can_id & (frame.extended ? CAN_EFF_MASK : CAN_SFF_MASK);
    frame.length = raw.len > CAN_MAX_DLEN ? CAN_MAX_DLEN : raw.len;
    std::memcpy(frame.data.data(), raw.data, frame.length);
    return Result::Ok;
}

void CanSocket::noteDrops(const msghdr& message) {
    for (const cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr;
         c = CMSG_NXTHDR(const_cast<msghdr*>(&message), const_cast<cmsghdr*>(c))) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SO_RXQ_OVFL) continue;
        uint32_t total = 0;
        std::memcpy(&total, CMSG_DATA(c), sizeof total);
        // The kernel's count since the socket opened; it only grows (and wraps at 2^32).
        newDrops_ += static_cast<uint32_t>(total - kernelDrops_);
        kernelDrops_ = total;
    }
}

uint64_t CanSocket::takeNewDrops() {
    const uint64_t n = newDrops_;
    newDrops_ = 0;
    return n;
}

CanSocket::Result CanSocket::write(const CanSocketFrame& frame) {
    const int fd = fd_.load(std::memory_order_acquire);
    if (fd < 0) return Result::Failed;
    can_frame raw{};
    raw.can_id =
        frame.extended ? (frame.id & CAN_EFF_MASK) | CAN_EFF_FLAG : frame.id & CAN_SFF_MASK;
    raw.len = frame.length > CAN_MAX_DLEN ? CAN_MAX_DLEN : frame.length;
    std::memcpy(raw.data, frame.data.data(), raw.len);
    for (;;) {
        ssize_t n = ::write(fd, &raw, sizeof raw);
        if (n == static_cast<ssize_t>(sizeof raw)) return Result::Ok;
        if (n < 0 && errno == EINTR) continue;
        return n < 0 ? fromErrno(errno) : Result::Failed;
    }
}

}  // namespace corvane
