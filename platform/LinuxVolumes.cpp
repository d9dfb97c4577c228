#include "platform/LinuxVolumes.h"

#include "platform/NativePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <charconv>

namespace platform {
namespace {

// File systems that never stand for a local disk, even when their source looks like one.
const QSet<QString>& excludedTypes() {
    static const QSet<QString> types = {
        // network
        QStringLiteral("nfs"),
        QStringLiteral("nfs4"),
        QStringLiteral("cifs"),
        QStringLiteral("smb3"),
        QStringLiteral("smbfs"),
        QStringLiteral("ncpfs"),
        QStringLiteral("afs"),
        QStringLiteral("ceph"),
        QStringLiteral("glusterfs"),
        QStringLiteral("9p"),
        QStringLiteral("sshfs"),
        QStringLiteral("fuse.sshfs"),
        // memory and kernel
        QStringLiteral("proc"),
        QStringLiteral("sysfs"),
        QStringLiteral("tmpfs"),
        QStringLiteral("devtmpfs"),
        QStringLiteral("ramfs"),
        QStringLiteral("devpts"),
        QStringLiteral("cgroup"),
        QStringLiteral("cgroup2"),
        QStringLiteral("mqueue"),
        QStringLiteral("debugfs"),
        QStringLiteral("tracefs"),
        QStringLiteral("securityfs"),
        QStringLiteral("configfs"),
        QStringLiteral("pstore"),
        QStringLiteral("efivarfs"),
        QStringLiteral("bpf"),
        QStringLiteral("hugetlbfs"),
        QStringLiteral("fusectl"),
        QStringLiteral("binfmt_misc"),
        QStringLiteral("autofs"),
        QStringLiteral("nsfs"),
        // layered and packed images (container layers, snap packages)
        QStringLiteral("overlay"),
        QStringLiteral("squashfs"),
    };
    return types;
}

// "\040" and the other octal escapes the kernel writes for space, tab, newline and backslash.
QString unescape(std::string_view field) {
    QByteArray out;
    out.reserve(static_cast<qsizetype>(field.size()));
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], d = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && d >= '0' && d <= '7') {
                out.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (d - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(c);
    }
    return decodeNativePath(out);
}

template <typename T>
bool parseNumber(std::string_view s, T& value) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

std::vector<std::string_view> splitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        const std::size_t next = line.find(' ', pos);
        const std::size_t end = next == std::string_view::npos ? line.size() : next;
        if (end > pos) fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return fields;
}

std::optional<MountEntry> parseLine(std::string_view line) {
    // id parent major:minor root mountpoint options [optional fields...] - type source superoptions
    const auto f = splitFields(line);
    if (f.size() < 9) return std::nullopt;
    MountEntry e;
    const auto colon = f[2].find(':');
    if (colon == std::string_view::npos || !parseNumber(f[0], e.id) || !parseNumber(f[1], e.parentId) ||
        !parseNumber(f[2].substr(0, colon), e.major) || !parseNumber(f[2].substr(colon + 1), e.minor))
        return std::nullopt;
    std::size_t dash = 6;
    while (dash < f.size() && f[dash] != "-") ++dash;
    if (dash + 2 >= f.size()) return std::nullopt;
    e.root = unescape(f[3]);
    e.mountPoint = unescape(f[4]);
    e.fsType = unescape(f[dash + 1]);
    e.source = unescape(f[dash + 2]);
    if (!e.mountPoint.startsWith(QLatin1Char('/'))) return std::nullopt;
    return e;
}

bool rootEncloses(const QString& outer, const QString& inner) {
    return outer == QLatin1String("/") || inner == outer || inner.startsWith(outer + QLatin1Char('/'));
}

bool isUnder(const QString& path, const QString& folder) { return path.startsWith(folder + QLatin1Char('/')); }

QString readTrimmed(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(f.read(64)).trimmed();
}

}  // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        const std::size_t end = nl == std::string_view::npos ? text.size() : nl;
        if (auto e = parseLine(text.substr(pos, end - pos))) out.push_back(std::move(*e));
        pos = end + 1;
    }
    return out;
}

bool isLocalDiskFileSystem(const MountEntry& entry) {
    // A block device's file system names its device node; a btrfs volume shows an anonymous
    // device number (major 0) there, so the number alone doesn't decide.
    return entry.source.startsWith(QLatin1String("/dev/")) && !excludedTypes().contains(entry.fsType);
}

std::vector<MountEntry> localVolumes(const std::vector<MountEntry>& table) {
    // A later mount on the same point covers the earlier one.
    QHash<QString, std::size_t> visible;
    for (std::size_t i = 0; i < table.size(); ++i) visible.insert(table[i].mountPoint, i);

    std::vector<MountEntry> out;
    const auto rootIt = visible.constFind(QStringLiteral("/"));
    if (rootIt != visible.constEnd()) {
        out.push_back(table[*rootIt]);
    } else {
        MountEntry root;
        root.root = root.mountPoint = QStringLiteral("/");
        out.push_back(root);
    }
    const bool rootIsDisk = isLocalDiskFileSystem(out.front());

    for (std::size_t i = 0; i < table.size(); ++i) {
        const MountEntry& e = table[i];
        if (e.mountPoint == QLatin1String("/") || visible.value(e.mountPoint) != i) continue;
        if (!isLocalDiskFileSystem(e)) continue;
        bool seen = false;
        for (std::size_t k = 0; k < out.size() && !seen; ++k) {
            if (k == 0 && !rootIsDisk) continue;
            const MountEntry& v = out[k];
            seen = v.major == e.major && v.minor == e.minor && v.source == e.source && rootEncloses(v.root, e.root);
        }
        if (!seen) out.push_back(e);
    }
    return out;
}

LinuxVolumes::LinuxVolumes(bool singleVolume) : LinuxVolumes(singleVolume, Sources{}) {}

LinuxVolumes::LinuxVolumes(bool singleVolume, Sources sources)
    : m_singleVolume(singleVolume), m_sources(std::move(sources)) {}

std::vector<MountEntry> LinuxVolumes::readTable() const {
    QFile f(m_sources.mountInfo);
    // A proc file has no size; read to the end. An unreadable table lists only "/".
    const QByteArray text = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    auto table = parseMountInfo(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
    QSet<QString> points;
    for (const auto& e : table) points.insert(e.mountPoint);
    std::lock_guard lock(m_mutex);
    m_mountPoints = std::move(points);
    return table;
}

QStringList LinuxVolumes::mountedLocalVolumePaths() const {
    if (m_singleVolume) return {QStringLiteral("/")};
    QStringList out;
    for (const auto& v : localVolumes(readTable())) out << v.mountPoint;
    return out;
}

std::vector<PassedOverMount> LinuxVolumes::passedOverMounts() const {
    if (m_singleVolume) return {};
    // The kernel's own file systems hold no user's files: not worth a word.
    static const QSet<QString> kernel = {
        QStringLiteral("proc"),       QStringLiteral("sysfs"),       QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),     QStringLiteral("cgroup"),      QStringLiteral("cgroup2"),
        QStringLiteral("mqueue"),     QStringLiteral("debugfs"),     QStringLiteral("tracefs"),
        QStringLiteral("securityfs"), QStringLiteral("configfs"),    QStringLiteral("pstore"),
        QStringLiteral("efivarfs"),   QStringLiteral("bpf"),         QStringLiteral("hugetlbfs"),
        QStringLiteral("fusectl"),    QStringLiteral("binfmt_misc"), QStringLiteral("autofs"),
        QStringLiteral("nsfs"),
    };
    const auto table = readTable();
    const auto local = localVolumes(table);
    QHash<QString, std::size_t> visible;
    for (std::size_t i = 0; i < table.size(); ++i) visible.insert(table[i].mountPoint, i);
    std::vector<PassedOverMount> out;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const MountEntry& e = table[i];
        if (kernel.contains(e.fsType)) continue;
        if (std::any_of(local.begin(), local.end(),
                        [&](const MountEntry& v) { return v.id == e.id && v.mountPoint == e.mountPoint; }))
            continue;
        if (visible.value(e.mountPoint) != i)
            out.push_back({e.mountPoint, QStringLiteral("volume-covered"),
                           QStringLiteral("another file system is mounted over it")});
        else if (!isLocalDiskFileSystem(e))
            out.push_back({e.mountPoint, QStringLiteral("volume-not-local"),
                           QStringLiteral("a %1 file system, not a local disk").arg(e.fsType)});
        else
            out.push_back(
                {e.mountPoint, QStringLiteral("volume-second-view"),
                 QStringLiteral("another view of %1 (a bind mount), walked where it is listed first").arg(e.source)});
    }
    return out;
}

bool LinuxVolumes::isRemovableDevice(const MountEntry& entry) const {
    unsigned major = entry.major, minor = entry.minor;
    if (major == 0) {
        // An anonymous number (btrfs): the device node tells the real one.
        struct stat st {};
        if (::stat(encodeNativePath(entry.source).constData(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
        major = ::major(st.st_rdev);
        minor = ::minor(st.st_rdev);
    }
    const QString link =
        m_sources.blockDevices + QLatin1Char('/') + QString::number(major) + QLatin1Char(':') + QString::number(minor);
    const QString device = QFileInfo(link).canonicalFilePath();
    if (device.isEmpty()) return false;
    // A partition is as removable as the disk that holds it.
    const QString disk = QFileInfo::exists(device + QStringLiteral("/partition")) ? QFileInfo(device).path() : device;
    return readTrimmed(disk + QStringLiteral("/removable")) == QLatin1String("1");
}

bool LinuxVolumes::volumeInfo(const QString& path, VolumeInfo& info) const {
    if (m_singleVolume) {
        if (path != QLatin1String("/")) return false;
        info = VolumeInfo{};
        return true;
    }
    for (const auto& v : localVolumes(readTable())) {
        if (v.mountPoint != path) continue;
        info.removable = isLocalDiskFileSystem(v) && isRemovableDevice(v);
        // Where the desktop mounts the media a user plugs in and may eject.
        info.unmountable = isUnder(path, QStringLiteral("/media")) || isUnder(path, QStringLiteral("/run/media"));
        return true;
    }
    return false;
}

bool LinuxVolumes::isOtherMountPoint(const QString& folder) const {
    if (m_singleVolume) return false;
    {
        std::lock_guard lock(m_mutex);
        if (m_mountPoints) return m_mountPoints->contains(folder);
    }
    readTable();
    std::lock_guard lock(m_mutex);
    return m_mountPoints && m_mountPoints->contains(folder);
}

QString LinuxVolumes::mountPointOf(const QString& path) const {
    QString root = QStringLiteral("/");
    if (m_singleVolume || !path.startsWith(root)) return root;
    readTable();
    std::lock_guard lock(m_mutex);
    for (QString folder = path; folder.size() > 1;) {
        if (m_mountPoints && m_mountPoints->contains(folder)) return folder;
        const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
        folder = slash <= 0 ? root : folder.left(slash);
    }
    return root;
}

}  // namespace platform
