#pragma once
// The few POSIX file pieces the Linux services share: a descriptor that closes itself, and
// whole writes and copies that go on through interruptions.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <utility>

namespace platform {

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            close();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    // Closes now and says whether the close succeeded (a late write error shows here).
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Opens a regular file for reading; -1 for anything else. A fifo or device never blocks the
// open and is refused.
int openRegularForReading(const char* path, struct stat& st);
// Writes every byte; false on an error.
bool writeFully(int fd, const std::uint8_t* data, std::size_t size);
// Copies everything from `in` (from its position) to `out`: in the kernel where the file
// systems allow it, else through a buffer.
bool copyContents(int in, int out);

}  // namespace platform
