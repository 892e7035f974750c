#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace camsim {

// Owns one file descriptor.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() { Reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : m_fd(other.Release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    int Release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void Reset(int fd = -1);

private:
    int m_fd = -1;
};

// Set once when the simulator shuts down; waits end early when it is.
class StopSignal {
public:
    void Raise();
    bool Raised() const;
    // Sleeps until the deadline or the stop; true when stopped.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline) const;
    bool WaitFor(std::chrono::steady_clock::duration d) const {
        return WaitUntil(std::chrono::steady_clock::now() + d);
    }

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    bool m_raised = false;
};

// Writes all bytes (looping over partial sends). False when the peer is gone.
bool SendAll(int fd, const void* data, size_t size);
inline bool SendAll(int fd, std::string_view text) { return SendAll(fd, text.data(), text.size()); }

// Writes the bytes at about bytesPerSecond, in small pieces every 10 ms.
bool SendDripping(int fd, const void* data, size_t size, int bytesPerSecond, const StopSignal& stop);

// Reads and throws away whatever the peer sends until it closes the connection or
// the simulator stops: how a stalled or silent camera holds a connection.
void HoldUntilClosed(int fd, const StopSignal& stop);

// A TCP socket bound to address:port with SO_REUSEADDR, not yet listening. Port 0
// binds a free port; BoundPort tells which.
FileDescriptor BindTcp(const std::string& address, int port, std::string& error);
int BoundPort(int fd);

}  // namespace camsim
