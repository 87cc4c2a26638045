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
    if (::setsockopt(fd, SOL_CAN_RAW, CAN_RAW_FILTER, &filter, sizeof filter) != 0 ||
        ::setsockopt(fd, SOL_CAN_RAW, CAN_RAW_RECV_OWN_MSGS, &off, sizeof off) != 0) {
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
    ssize_t n = ::recv(fd, &raw, sizeof raw, MSG_DONTWAIT);
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
