#include "platform/PosixFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

int openRegularForReading(const char* path, struct stat& st) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeFully(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Copies everything from `in` to `out`.
bool copyContents(int in, int out) {
    // In the kernel where the file systems allow it: no pass through this process.
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
        if (n > 0) continue;
        if (n == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP) return false;
        break;  // between file systems that can't: copy through a buffer from here on
    }
    std::vector<std::uint8_t> buffer(256 * 1024);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        if (!writeFully(out, buffer.data(), static_cast<std::size_t>(n))) return false;
    }
}

}  // namespace platform
