#include "tools/camsim/Socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace camsim {

void FileDescriptor::Reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

void StopSignal::Raise() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_raised = true;
    }
    m_cv.notify_all();
}

bool StopSignal::Raised() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_raised;
}

bool StopSignal::WaitUntil(std::chrono::steady_clock::time_point deadline) const {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_until(lock, deadline, [this] { return m_raised; });
}

bool SendAll(int fd, const void* data, size_t size) {
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool SendDripping(int fd, const void* data, size_t size, int bytesPerSecond, const StopSignal& stop) {
    using namespace std::chrono;
    const size_t piece = std::max<size_t>(1, static_cast<size_t>(bytesPerSecond) / 100);
    const auto* p = static_cast<const char*>(data);
    auto due = steady_clock::now();
    while (size > 0) {
        const size_t n = std::min(piece, size);
        if (!SendAll(fd, p, n)) return false;
        p += n;
        size -= n;
        due += microseconds(static_cast<long long>(n) * 1000000 / bytesPerSecond);
        if (size > 0 && stop.WaitUntil(due)) return false;
    }
    return true;
}

void HoldUntilClosed(int fd, const StopSignal& stop) {
    char scratch[4096];
    while (!stop.Raised()) {
        pollfd p{fd, POLLIN, 0};
        int ready = ::poll(&p, 1, 100);
        if (ready < 0 && errno != EINTR) return;
        if (ready <= 0) continue;
        ssize_t n = ::recv(fd, scratch, sizeof scratch, 0);
        if (n == 0 || (n < 0 && errno != EINTR)) return;
    }
}

FileDescriptor BindTcp(const std::string& address, int port, std::string& error) {
    FileDescriptor fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) {
        error = std::string("socket: ") + std::strerror(errno);
        return {};
    }
    int on = 1;
    ::setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &addr.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        return {};
    }
    if (::bind(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        error = "bind " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return {};
    }
    return fd;
}

int BoundPort(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return -1;
    return ntohs(addr.sin_port);
}

}  // namespace camsim
