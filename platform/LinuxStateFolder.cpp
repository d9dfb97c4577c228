#include "platform/LinuxStateFolder.h"

#include "platform/NativePath.h"
#include "platform/PosixFile.h"

#include <QDir>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace platform {

namespace {
const QString kName = QStringLiteral("font-reviser");
const QString kLockName = QStringLiteral("font-reviser.lock");

class FlockHeld : public RunLock {
public:
    explicit FlockHeld(Fd fd) : m_fd(std::move(fd)) {}

private:
    Fd m_fd;  // the lock goes with the descriptor
};
}  // namespace

StatePaths systemStatePaths(uid_t uid, const std::function<QByteArray(const char*)>& environment) {
    if (uid == 0) return {QStringLiteral("/run/lock/") + kLockName, QStringLiteral("/var/lib/") + kName};
    const auto absolute = [&](const char* name) {
        const QString value = decodeNativePath(environment(name));
        return value.startsWith(u'/') ? QDir::cleanPath(value) : QString();
    };
    QString state = absolute("XDG_STATE_HOME");
    if (state.isEmpty()) {
        const QString home = absolute("HOME");
        state = (home.isEmpty() ? QDir::homePath() : home) + QStringLiteral("/.local/state");
    }
    state += u'/' + kName;
    const QString runtime = absolute("XDG_RUNTIME_DIR");
    return {(runtime.isEmpty() ? state : runtime) + u'/' + kLockName, state};
}

StatePaths rootedStatePaths(uid_t uid, const QString& login) {
    if (uid == 0) return systemStatePaths(0, {});
    return {QStringLiteral("/run/user/%1/").arg(uid) + kLockName,
            QStringLiteral("/home/%1/.local/state/").arg(login) + kName};
}

LinuxStateFolder::LinuxStateFolder(StatePaths paths, std::function<QString(const QString&)> hostPath)
    : m_paths(std::move(paths)), m_hostPath(std::move(hostPath)) {}

QByteArray LinuxStateFolder::host(const QString& path) const { return encodeNativePath(m_hostPath(path)); }

std::unique_ptr<RunLock> LinuxStateFolder::tryLock(std::int64_t& holder) {
    holder = -1;
    const qsizetype slash = m_paths.lockFile.lastIndexOf(u'/');
    if (slash > 0) makeFolder(m_paths.lockFile.left(slash));
    // Never through a link; a lock file another user planted is never taken for ours.
    Fd fd(::open(host(m_paths.lockFile).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) return nullptr;
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return nullptr;
        holder = 0;
        char text[32] = {};
        const ssize_t n = ::pread(fd.get(), text, sizeof text - 1, 0);
        holder = n > 0 ? QByteArray(text, static_cast<qsizetype>(n)).trimmed().toLongLong() : 0;
        return nullptr;
    }
    const QByteArray pid = QByteArray::number(static_cast<qint64>(::getpid())) + '\n';
    if (::ftruncate(fd.get(), 0) != 0 || !writeFully(fd.get(), reinterpret_cast<const std::uint8_t*>(pid.constData()),
                                                     static_cast<std::size_t>(pid.size())))
        return nullptr;
    return std::make_unique<FlockHeld>(std::move(fd));
}

bool LinuxStateFolder::makeFolder(const QString& path) {
    QByteArray native = host(path);
    for (qsizetype at = 1; at <= native.size(); ++at) {
        if (at != native.size() && native[at] != '/') continue;
        const QByteArray part = native.left(at);
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st {};
    return ::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool LinuxStateFolder::appendLine(const QString& path, const QByteArray& line) {
    Fd fd(::open(host(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    const QByteArray bytes = line + '\n';
    struct stat before {};
    if (!fd || ::fstat(fd.get(), &before) != 0) return false;
    if (writeFully(fd.get(), reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                   static_cast<std::size_t>(bytes.size())) &&
        ::fsync(fd.get()) == 0)
        return fd.close();
    // Part of a line would join the next run's line to it, and both would be lost.
    [[maybe_unused]] const int takenBack = ::ftruncate(fd.get(), before.st_size);
    return false;
}

bool LinuxStateFolder::linkOrCopy(const QString& from, const QString& to) {
    const QByteArray source = host(from), target = host(to);
    if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno == EEXIST) return false;
    // Another file system, a file this user does not own (protected hard links), or one that
    // takes no more links: a copy.
    struct stat st {};
    Fd in(openRegularForReading(source.constData(), st));
    if (!in) return false;
    Fd out(::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!out) return false;
    if (copyContents(in.get(), out.get()) && ::fsync(out.get()) == 0 && out.close()) return true;
    ::unlink(target.constData());
    return false;
}

bool LinuxStateFolder::removeTree(const QString& path) { return QDir(m_hostPath(path)).removeRecursively(); }

std::uint64_t LinuxStateFolder::spaceTaken(const QString& path) const {
    std::uint64_t bytes = 0;
    QDirIterator it(m_hostPath(path), QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        struct stat st {};
        if (::lstat(encodeNativePath(it.next()).constData(), &st) == 0)
            bytes += static_cast<std::uint64_t>(st.st_blocks) * 512;
    }
    return bytes;
}

bool JournalFile::record(const QString& message, const QList<QPair<QByteArray, QString>>& fields) {
    QJsonObject entry{{QStringLiteral("MESSAGE"), message}};
    for (const auto& [name, value] : fields) entry.insert(QString::fromLatin1(name), value);
    QDir().mkpath(m_path.left(m_path.lastIndexOf(u'/')));
    const QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    Fd fd(::open(encodeNativePath(m_path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    return fd && writeFully(fd.get(), reinterpret_cast<const std::uint8_t*>(line.constData()),
                            static_cast<std::size_t>(line.size()));
}

}  // namespace platform
