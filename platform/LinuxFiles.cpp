#include "platform/LinuxFiles.h"

#include "platform/Leftovers.h"
#include "platform/NativePath.h"
#include "platform/PosixFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <utility>

namespace platform {
namespace {

// Where the file system keeps the type and creator codes: the 32-byte Finder information,
// type in bytes 0-3 and creator in bytes 4-7, both big-endian.
constexpr const char* kFinderInfoName = "user.com.apple.FinderInfo";
constexpr std::size_t kFinderInfoSize = 32;

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

// The folder part and the name part of a native path ("/a/b" gives "/a" and "b").
std::pair<QByteArray, QByteArray> splitNative(QByteArray path) {
    while (path.size() > 1 && path.endsWith('/')) path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) return {QByteArray("."), path};
    return {slash == 0 ? QByteArray("/") : path.left(slash), path.mid(slash + 1)};
}

bool isUnsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

QString realPath(const QByteArray& native) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(native.constData(), nullptr), &std::free);
    if (!resolved) return {};
    return decodeNativePath(resolved.get());
}

EntryKind kindOf(unsigned char type) {
    switch (type) {
    case DT_REG:
        return EntryKind::File;
    case DT_DIR:
        return EntryKind::Folder;
    case DT_LNK:
        return EntryKind::SymbolicLink;
    case DT_UNKNOWN:
        return EntryKind::Unknown;
    default:
        return EntryKind::Other;
    }
}

}  // namespace

LinuxFiles::LinuxFiles(QString root, QString applicationPath, QString temporaryFolder, bool durable)
    : m_applicationPath(std::move(applicationPath)), m_temporaryFolder(std::move(temporaryFolder)), m_durable(durable) {
    if (!root.isEmpty()) {
        root = QDir::cleanPath(root);
        if (root != QLatin1String("/")) m_root = root;
    }
}

QString LinuxFiles::hostPath(const QString& path) const {
    if (m_root.isEmpty()) return path;
    // Resolved lexically inside the root: "/.." stays at the top, as it does on a real disk.
    QString clean = QDir::cleanPath(QLatin1Char('/') + path);
    while (clean.startsWith(QLatin1String("/../"))) clean.remove(0, 3);
    if (clean == QLatin1String("/..") || clean == QLatin1String("/")) return m_root;
    return m_root + clean;
}

namespace {
// Reads into `out` at `offset` until it is full; false at the end of the file or an error.
bool readFully(int fd, std::uint64_t offset, std::span<std::uint8_t> out) {
    while (!out.empty()) {
        const ssize_t n = ::pread(fd, out.data(), out.size(), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return false;  // the file is shorter than it was
        out = out.subspan(static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

class LinuxReadableFile : public ReadableBytes {
public:
    LinuxReadableFile(Fd fd, std::uint64_t size) : m_fd(std::move(fd)), m_size(size) {}
    std::uint64_t size() const override { return m_size; }
    int descriptor() const override { return m_fd.get(); }
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        if (offset > m_size || out.size() > m_size - offset) return false;
        return readFully(m_fd.get(), offset, out);
    }

private:
    Fd m_fd;
    std::uint64_t m_size;
};
}  // namespace

std::unique_ptr<ReadableBytes> LinuxFiles::openForReading(const QString& path) const {
    struct stat st {};
    Fd fd(openRegularForReading(encodeNativePath(hostPath(path)).constData(), st));
    if (!fd) return nullptr;
    return std::make_unique<LinuxReadableFile>(std::move(fd), static_cast<std::uint64_t>(st.st_size));
}

std::optional<std::vector<std::uint8_t>> LinuxFiles::readAll(const QString& path, std::uint64_t limit) const {
    struct stat st {};
    Fd fd(openRegularForReading(encodeNativePath(hostPath(path)).constData(), st));
    if (!fd) return std::nullopt;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > limit) return std::nullopt;
    try {
        // Straight into the vector the caller keeps.
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
        if (!readFully(fd.get(), 0, bytes)) return std::nullopt;
        // A file that grew while it was read is read to its end, within the limit.
        std::array<std::uint8_t, 4096> more{};
        for (;;) {
            const ssize_t n = ::pread(fd.get(), more.data(), more.size(), static_cast<off_t>(bytes.size()));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return std::nullopt;
            if (n == 0) return bytes;
            if (static_cast<std::uint64_t>(n) > limit - bytes.size()) return std::nullopt;
            bytes.insert(bytes.end(), more.begin(), more.begin() + n);
        }
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::vector<DirEntry> LinuxFiles::listEntries(const QString& folder) const {
    std::vector<DirEntry> out;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(encodeNativePath(hostPath(folder)).constData()));
    if (!dir) return out;
    while (const dirent* e = ::readdir(dir.get())) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
        out.push_back({decodeNativePath(n), kindOf(e->d_type)});
    }
    return out;
}

bool LinuxFiles::exists(const QString& path) const {
    struct stat st {};
    return ::stat(encodeNativePath(hostPath(path)).constData(), &st) == 0;
}

bool LinuxFiles::isFolder(const QString& path) const {
    struct stat st {};
    return ::stat(encodeNativePath(hostPath(path)).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool LinuxFiles::isSymbolicLink(const QString& path) const {
    struct stat st {};
    return ::lstat(encodeNativePath(hostPath(path)).constData(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::optional<std::uint32_t> LinuxFiles::permissions(const QString& path) const {
    struct stat st {};
    if (::stat(encodeNativePath(hostPath(path)).constData(), &st) != 0) return std::nullopt;
    return static_cast<std::uint32_t>(st.st_mode & 07777);
}

bool LinuxFiles::setPermissions(const QString& path, std::uint32_t mode) {
    return ::chmod(encodeNativePath(hostPath(path)).constData(), static_cast<mode_t>(mode & 07777)) == 0;
}

bool LinuxFiles::setTypeAndCreator(const QString& path, std::uint32_t type, std::uint32_t creator) {
    const QByteArray host = encodeNativePath(hostPath(path));
    std::array<std::uint8_t, kFinderInfoSize> info{};
    // Keep whatever else an existing value holds.
    const ssize_t had = ::getxattr(host.constData(), kFinderInfoName, info.data(), info.size());
    if (had < 0) {
        if (isUnsupported(errno)) return true;
        if (errno != ENODATA && errno != ERANGE) return false;
        info.fill(0);
    }
    for (std::size_t i = 0; i < 4; ++i) {
        info[i] = static_cast<std::uint8_t>(type >> (24 - 8 * i));
        info[4 + i] = static_cast<std::uint8_t>(creator >> (24 - 8 * i));
    }
    if (::setxattr(host.constData(), kFinderInfoName, info.data(), info.size(), 0) == 0) return true;
    return isUnsupported(errno);
}

Files::Removal LinuxFiles::removal(const QString& path) const {
    const QString view = hostPath(path);
    if (path.isEmpty() || view == QLatin1String("/") || (!m_root.isEmpty() && view == m_root))
        return Removal::FolderNotWritable;
    const QByteArray host = encodeNativePath(view);
    const auto [folder, name] = splitNative(host);
    // Removing a name needs write and search permission on its folder.
    if (::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return errno == EROFS ? Removal::ReadOnlyFileSystem : Removal::FolderNotWritable;
    struct stat fs {};
    if (::stat(folder.constData(), &fs) != 0) return Removal::FolderNotWritable;
    if (!(fs.st_mode & S_ISVTX)) return Removal::Allowed;
    // In a sticky folder only the file's owner, the folder's owner or the superuser may.
    const uid_t me = ::geteuid();
    if (me == 0 || fs.st_uid == me) return Removal::Allowed;
    struct stat st {};
    if (::lstat(host.constData(), &st) != 0) return Removal::Allowed;  // nothing there to keep
    return st.st_uid == me ? Removal::Allowed : Removal::NotOwner;
}

bool LinuxFiles::remove(const QString& path) { return ::unlink(encodeNativePath(hostPath(path)).constData()) == 0; }

namespace {
// Writes every byte at `offset`; false on an error.
bool writeFullyAt(int fd, std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

// A new file on the disk, written at offsets; copies of another file's ranges stay in the
// kernel (a reflink where the file system offers one) unless the two files can't do that.
class LinuxNewFile : public NewFile {
public:
    LinuxNewFile(Fd fd, std::uint64_t length) : m_fd(std::move(fd)), m_length(length) {}
    ~LinuxNewFile() override { unmap(); }

    std::uint64_t size() const override { return m_length; }
    int descriptor() const override { return m_fd.get(); }
    bool readAt(std::uint64_t offset, std::span<std::uint8_t> out) const override {
        if (offset > m_length || out.size() > m_length - offset) return false;
        return readFully(m_fd.get(), offset, out);
    }
    bool write(std::uint64_t at, std::span<const std::uint8_t> bytes) override {
        return at <= m_length && bytes.size() <= m_length - at && writeFullyAt(m_fd.get(), at, bytes);
    }
    bool copy(const ReadableBytes& from, std::uint64_t offset, std::uint64_t length, std::uint64_t at) override {
        if (at > m_length || length > m_length - at || offset > from.size() || length > from.size() - offset)
            return false;
        auto in = static_cast<off_t>(offset), out = static_cast<off_t>(at);
        while (length > 0 && from.descriptor() >= 0 && m_kernelCopies) {
            const ssize_t n = ::copy_file_range(from.descriptor(), &in, m_fd.get(), &out, length, 0);
            if (n > 0) {
                length -= static_cast<std::uint64_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n == 0 || (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)) return false;
            m_kernelCopies = false;  // not between these two: through a buffer from here on
        }
        if (length == 0) return true;
        const PieceBuffer buffer(static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopyPiece)));
        while (length > 0) {
            const auto piece = buffer.first(static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopyPiece)));
            if (!from.readAt(static_cast<std::uint64_t>(in), piece) ||
                !writeFullyAt(m_fd.get(), static_cast<std::uint64_t>(out), piece))
                return false;
            in += static_cast<off_t>(piece.size());
            out += static_cast<off_t>(piece.size());
            length -= piece.size();
        }
        return true;
    }
    std::span<const std::uint8_t> view() override {
        if (!m_view && m_length != 0) {
            void* mapped = ::mmap(nullptr, static_cast<std::size_t>(m_length), PROT_READ, MAP_SHARED, m_fd.get(), 0);
            if (mapped == MAP_FAILED) return {};
            // A reader of a view looks here and there: no pages around those it reads.
            (void)::madvise(mapped, static_cast<std::size_t>(m_length), MADV_RANDOM);
            m_view = static_cast<const std::uint8_t*>(mapped);
        }
        return {m_view, m_view ? static_cast<std::size_t>(m_length) : 0};
    }
    bool close() override {
        unmap();
        return m_fd.close();
    }

private:
    static constexpr std::uint64_t kCopyPiece = 256 * 1024;
    void unmap() {
        if (m_view) ::munmap(const_cast<std::uint8_t*>(m_view), static_cast<std::size_t>(m_length));
        m_view = nullptr;
    }
    Fd m_fd;
    std::uint64_t m_length;
    const std::uint8_t* m_view = nullptr;
    bool m_kernelCopies = true;
};
}  // namespace

std::unique_ptr<NewFile> LinuxFiles::createNew(const QString& path, std::uint64_t length) {
    const QByteArray host = encodeNativePath(hostPath(path));
    Fd fd(::open(host.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return nullptr;
    // Not flushed: the file is removed once copied, and a crash leaves only a leftover.
    if (::ftruncate(fd.get(), static_cast<off_t>(length)) != 0) {
        ::unlink(host.constData());
        return nullptr;
    }
    return std::make_unique<LinuxNewFile>(std::move(fd), length);
}

bool LinuxFiles::createExclusive(const QString& path, std::span<const std::uint8_t> bytes) {
    const QByteArray host = encodeNativePath(hostPath(path));
    Fd fd(::open(host.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return false;
    // Not flushed: the file is removed once copied, and a crash leaves only a leftover.
    const bool ok = writeFully(fd.get(), bytes.data(), bytes.size());
    if (fd.close() && ok) return true;
    ::unlink(host.constData());  // the name was ours: nothing half-written stays behind
    return false;
}

namespace {
// A fresh file of ours beside `target`, opened for writing; its path in `made`.
Fd createBeside(const QByteArray& target, LeftoverKind kind, QByteArray& made) {
    const auto [folder, name] = splitNative(target);
    const QString installedName = decodeNativePath(name);
    for (int attempt = 0; attempt < 16; ++attempt) {
        made = folder + '/' +
               encodeNativePath(leftoverName(installedName, kind, ::getpid(), QRandomGenerator::system()->generate()));
        Fd out(::open(made.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (out || errno != EEXIST) return out;
    }
    return Fd();
}

void flushFolderOf(const QByteArray& path) {
    Fd dir(::open(splitNative(path).first.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) (void)::fsync(dir.get());
}

// A flushed copy of the file at `target` beside it, under an old font's name of ours, in
// `kept`; false (nothing left behind) when any step fails.
bool copyOldBeside(const QByteArray& target, QByteArray& kept) {
    struct stat st {};
    Fd in(openRegularForReading(target.constData(), st));
    if (!in) return false;
    QByteArray made;
    Fd out = createBeside(target, LeftoverKind::OldFont, made);
    if (!out) return false;
    const bool ok = copyContents(in.get(), out.get()) && ::fsync(out.get()) == 0;
    if (!out.close() || !ok) {
        ::unlink(made.constData());
        return false;
    }
    kept = made;
    return true;
}

bool processRuns(std::int64_t pid) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}
}  // namespace

std::optional<QString> LinuxFiles::copyBeside(const QString& from, const QString& to) {
    struct stat source {};
    Fd in(openRegularForReading(encodeNativePath(hostPath(from)).constData(), source));
    if (!in) return std::nullopt;

    const QByteArray target = encodeNativePath(hostPath(to));
    struct stat old {};
    const bool hadTarget = ::stat(target.constData(), &old) == 0;
    if (hadTarget && !S_ISREG(old.st_mode)) return std::nullopt;

    QByteArray made;
    Fd out = createBeside(target, LeftoverKind::NewCopy, made);
    if (!out) return std::nullopt;
    bool ok = copyContents(in.get(), out.get());
    if (ok && hadTarget && (::geteuid() == 0 || ::geteuid() == old.st_uid)) {
        // Ownership is a courtesy: a group the process is not in may be refused, and then the
        // copy keeps the process's own, which is no failure.
        if (::fchown(out.get(), old.st_uid, old.st_gid) != 0) errno = 0;
    }
    ok = ok && (!m_durable || ::fsync(out.get()) == 0);
    ok = out.close() && ok;
    if (!ok) {
        ::unlink(made.constData());
        return std::nullopt;
    }
    // Back in the program's view: the folder of `to` and the new name.
    const qsizetype slash = to.lastIndexOf(QLatin1Char('/'));
    return to.left(slash + 1) + decodeNativePath(splitNative(made).second);
}

std::optional<QString> LinuxFiles::replaceKeepingOld(const QString& staged, const QString& to) {
    const QByteArray from = encodeNativePath(hostPath(staged));
    const QByteArray target = encodeNativePath(hostPath(to));
    struct stat st {};
    if (::lstat(from.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;

    // The new font and the old one trade places in one step: the old font stays under the new
    // one's name of ours until the caller is done with it.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE) == 0) {
        if (m_durable) flushFolderOf(target);
        return staged;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return std::nullopt;

    // A file system without the exchange: the old font stays reachable through a hard link of
    // ours, where it has them, while the new one is renamed over it; where it has none, through
    // a flushed copy of ours made first. Never is the new font put in place with no old copy.
    QByteArray kept;
    {
        const auto [folder, name] = splitNative(target);
        for (int attempt = 0; attempt < 16 && kept.isEmpty(); ++attempt) {
            const QByteArray candidate =
                folder + '/' +
                encodeNativePath(leftoverName(decodeNativePath(name), LeftoverKind::OldFont, ::getpid(),
                                              QRandomGenerator::system()->generate()));
            if (::link(target.constData(), candidate.constData()) == 0)
                kept = candidate;
            else if (errno != EEXIST)
                break;  // no hard links here
        }
    }
    if (kept.isEmpty() && !copyOldBeside(target, kept)) return std::nullopt;
    if (::rename(from.constData(), target.constData()) != 0) {
        ::unlink(kept.constData());
        return std::nullopt;
    }
    if (m_durable) flushFolderOf(target);
    const qsizetype slash = to.lastIndexOf(QLatin1Char('/'));
    return to.left(slash + 1) + decodeNativePath(splitNative(kept).second);
}

bool LinuxFiles::rename(const QString& from, const QString& to) {
    const QByteArray target = encodeNativePath(hostPath(to));
    if (::rename(encodeNativePath(hostPath(from)).constData(), target.constData()) != 0) return false;
    if (m_durable) flushFolderOf(target);
    return true;
}

std::optional<Leftover> LinuxFiles::endedLeftover(const QString& path) const {
    const QByteArray host = encodeNativePath(hostPath(path));
    auto leftover = parseLeftoverName(decodeNativePath(splitNative(host).second));
    if (!leftover || processRuns(leftover->pid)) return std::nullopt;
    struct stat st {};
    if (::lstat(host.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    // In the temporary folder only a file of ours: a name like ours made by someone else stays.
    if (leftover->kind == LeftoverKind::Temporary && st.st_uid != ::geteuid()) return std::nullopt;
    return leftover;
}

QString LinuxFiles::canonicalPath(const QString& path) const {
    QString resolved = realPath(encodeNativePath(hostPath(path)));
    if (resolved.isEmpty() || m_root.isEmpty()) return resolved;
    QString root = realPath(encodeNativePath(m_root));
    if (root.isEmpty()) root = m_root;
    if (resolved == root) return QStringLiteral("/");
    if (resolved.startsWith(root + QLatin1Char('/'))) return resolved.mid(root.size());
    return resolved;  // outside the view: never equal to a path inside it
}

QString LinuxFiles::applicationPath() const {
    if (!m_applicationPath.isEmpty()) return m_applicationPath;
    if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
    std::array<char, PATH_MAX> buffer{};
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? decodeNativePath(QByteArray(buffer.data(), n)) : QString();
}

QString LinuxFiles::temporaryFolder() const {
    const auto trimmed = [](QString folder) {
        while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
        return folder;
    };
    if (!m_temporaryFolder.isEmpty()) return trimmed(m_temporaryFolder);
    // The user's temporary folder, when it is a folder the process may write in; otherwise
    // the system's own. Nothing when none is: never the root or the working folder.
    QStringList candidates;
    const QString configured = decodeNativePath(qgetenv("TMPDIR"));
    if (!configured.isEmpty()) candidates << configured;
    candidates << QStringLiteral("/tmp") << QStringLiteral("/var/tmp");
    for (const QString& candidate : candidates) {
        if (!candidate.startsWith(QLatin1Char('/'))) continue;
        const QByteArray host = encodeNativePath(hostPath(candidate));
        struct stat st {};
        if (::stat(host.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
            ::faccessat(AT_FDCWD, host.constData(), W_OK | X_OK, AT_EACCESS) == 0)
            return trimmed(QDir::cleanPath(candidate));
    }
    return {};
}

}  // namespace platform
