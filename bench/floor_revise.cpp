// The floor of one revision: the reads, writes and passes over the bytes that revising a
// font cannot do without, and nothing else, done the cheapest way this machine offers. Reads
// the patch, builds the new font's image from it and the installed font's tables read
// straight into place, with no check at all; sums its tables and the whole; writes it to a
// temporary file; copies that beside the installed font in the kernel, flushes it when
// asked, trades it for the installed font in one rename, and reads it back once.
//
// Usage: floor-revise INSTALLED PATCH NEWLENGTH TEMPDIR [--fsync]

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace {

std::unique_ptr<std::uint8_t[]> readFile(const char* path, std::size_t& size) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) std::exit(1);
    size = static_cast<std::size_t>(st.st_size);
    std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[size]);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::pread(fd, bytes.get() + done, size - done, static_cast<off_t>(done));
        if (n <= 0) std::exit(1);
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return bytes;
}

void readAt(int fd, std::uint8_t* out, std::size_t n, std::size_t at) {
    while (n > 0) {
        const ssize_t r = ::pread(fd, out, n, static_cast<off_t>(at));
        if (r <= 0) std::exit(1);
        out += r, n -= static_cast<std::size_t>(r), at += static_cast<std::size_t>(r);
    }
}

// The words summed as fast as the machine sums them (vectorised where it can).
__attribute__((target_clones("avx2", "default"))) std::uint32_t sum(const std::uint8_t* p, std::size_t n) {
    std::uint32_t s = 0;
    for (std::size_t i = 0; i + 4 <= n; i += 4) {
        std::uint32_t w;
        std::memcpy(&w, p + i, 4);
        s += __builtin_bswap32(w);
    }
    return s;
}

std::uint16_t be16(const std::uint8_t* p) { return static_cast<std::uint16_t>((p[0] << 8) | p[1]); }
std::uint32_t be32(const std::uint8_t* p) { return (std::uint32_t(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }
void putBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v >> 24), p[1] = std::uint8_t(v >> 16), p[2] = std::uint8_t(v >> 8), p[3] = std::uint8_t(v);
}

void writeAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w <= 0) std::exit(1);
        p += w;
        n -= static_cast<std::size_t>(w);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) return 64;
    const bool durable = argc > 5 && std::strcmp(argv[5], "--fsync") == 0;
    std::size_t patchSize = 0;
    const int fontFd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fontFd < 0) return 1;
    const auto patch = readFile(argv[2], patchSize);
    const std::size_t length = std::strtoul(argv[3], nullptr, 10);
    std::size_t headAt = 0;

    // The image, built from the installed tables and the patch with no check at all: a
    // patch made for this font is taken on trust.
    std::uint8_t directory[12 + 16 * 64];
    readAt(fontFd, directory, 12, 0);
    const unsigned tables = be16(directory + 4);
    readAt(fontFd, directory + 12, 16 * tables, 12);
    std::unique_ptr<std::uint8_t, void (*)(void*)> image(static_cast<std::uint8_t*>(std::calloc(length, 1)), std::free);
    const std::uint8_t* f = directory;
    const std::uint8_t* p = patch.get();
    std::memcpy(image.get(), f, 12);
    for (unsigned k = 0; k < p[44]; ++k) {
        const std::uint8_t* r = p + 53 + 18 * k;
        const std::uint32_t block = be32(r + 6), newLength = be32(r + 10), at = be32(r + 14);
        std::size_t installed = 0;
        for (unsigned i = 0; i < tables; ++i)
            if (std::memcmp(f + 12 + 16 * i, r, 4) == 0) installed = be32(f + 12 + 16 * i + 8);
        std::uint8_t* table = image.get() + at;
        if (block == 0) {
            readAt(fontFd, table, newLength, installed);
        } else {
            const std::uint8_t* b = p + block;
            const std::uint32_t copies = be32(b);
            for (std::uint32_t j = 0; j < copies; ++j)
                readAt(fontFd, table + be32(b + 12 + 12 * j), be32(b + 8 + 12 * j), installed + be32(b + 4 + 12 * j));
            const std::uint8_t* n = b + 4 + 12 * copies;
            const std::uint32_t news = be32(n);
            n += 4;
            for (std::uint32_t j = 0; j < news; ++j) {
                std::memcpy(table + be32(n), n + 8, be32(n + 4));
                n += 8 + be32(n + 4);
            }
        }
        std::uint8_t* record = image.get() + 12 + 16 * r[4];
        std::memcpy(record, r, 4);
        putBe32(record + 4, sum(table, (newLength + 3) & ~3u));
        putBe32(record + 8, at);
        putBe32(record + 12, newLength);
        if (std::memcmp(r, "head", 4) == 0) headAt = at;
    }
    ::close(fontFd);
    // The whole font's checksum adjustment; the installed strings are the patch's own here.
    putBe32(image.get() + headAt + 8, 0);
    for (unsigned k = 0; k < p[44]; ++k)
        if (std::memcmp(image.get() + 12 + 16 * k, "head", 4) == 0)
            putBe32(image.get() + 12 + 16 * k + 4, sum(image.get() + headAt, 56));
    putBe32(image.get() + headAt + 8, 0xB1B0AFBAu - sum(image.get(), length));
    const std::uint32_t expected = 0xB1B0AFBAu;

    const std::string temp = std::string(argv[4]) + "/floor-" + std::to_string(::getpid());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return 1;
    writeAll(fd, image.get(), length);
    ::close(fd);

    const std::string staged = std::string(argv[1]) + ".floor-new";
    const int in = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(staged.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (in < 0 || out < 0) return 1;
    for (std::size_t left = length; left > 0;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, left, 0);
        if (n <= 0) return 1;
        left -= static_cast<std::size_t>(n);
    }
    if (durable && ::fsync(out) != 0) return 1;
    ::close(in);
    ::close(out);
    if (::renameat2(AT_FDCWD, staged.c_str(), AT_FDCWD, argv[1], RENAME_EXCHANGE) != 0) return 1;
    if (durable) {
        const std::string path(argv[1]);
        const std::string folder = path.find('/') == std::string::npos ? "." : path.substr(0, path.rfind('/'));
        const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir < 0 || ::fsync(dir) != 0) return 1;
        ::close(dir);
    }
    ::unlink(staged.c_str());
    ::unlink(temp.c_str());

    // Read back through one buffer, a piece at a time.
    const int back = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    static std::uint8_t piece[1 << 20];
    std::uint32_t total = 0;
    std::size_t done = 0;
    for (ssize_t n; (n = ::read(back, piece, sizeof piece)) > 0; done += static_cast<std::size_t>(n))
        total += sum(piece, static_cast<std::size_t>(n));
    ::close(back);
    return done == length && total == expected ? 0 : 1;
}
