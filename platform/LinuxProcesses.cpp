#include "platform/LinuxProcesses.h"

#include "platform/NativePath.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>

namespace platform {
namespace {

constexpr unsigned long kKernelThreadFlag = 0x00200000;  // PF_KTHREAD

std::optional<QByteArray> readSmallFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    return f.read(8192);
}

// The real user id from a status file.
std::optional<uid_t> ownerOf(const QByteArray& status) {
    for (const QByteArray& line : status.split('\n')) {
        if (!line.startsWith("Uid:")) continue;
        const QList<QByteArray> ids = line.mid(4).simplified().split(' ');
        bool ok = false;
        const uint uid = ids.value(0).toUInt(&ok);
        if (ok) return static_cast<uid_t>(uid);
    }
    return std::nullopt;
}

// True for a process that runs a program: no kernel thread, no zombie.
bool runsAProgram(const QByteArray& stat) {
    // pid (comm) state ppid pgrp session tty_nr tpgid flags ...; comm may hold anything.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) return false;
    const QList<QByteArray> fields = stat.mid(close + 1).simplified().split(' ');
    if (fields.size() < 7) return false;
    const QByteArray& state = fields[0];
    if (state == "Z" || state == "X" || state == "x") return false;
    bool ok = false;
    const unsigned long flags = fields[6].toULong(&ok);
    return ok && !(flags & kKernelThreadFlag);
}

}  // namespace

LinuxProcesses::LinuxProcesses(QString procFolder, std::optional<uid_t> uid)
    : m_proc(std::move(procFolder)), m_uid(uid) {}

std::vector<RunningProcess> LinuxProcesses::running() const {
    const uid_t me = m_uid.value_or(::getuid());
    std::vector<unsigned long> ids;
    for (const QString& name : QDir(m_proc).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const unsigned long id = name.toULong(&ok);
        if (ok) ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end());

    std::vector<RunningProcess> out;
    for (const unsigned long id : ids) {
        const QString base = m_proc + QLatin1Char('/') + QString::number(id) + QLatin1Char('/');
        const auto status = readSmallFile(base + QStringLiteral("status"));
        const auto stat = readSmallFile(base + QStringLiteral("stat"));
        if (!status || !stat || ownerOf(*status) != me || !runsAProgram(*stat)) continue;

        std::array<char, PATH_MAX> buffer{};
        const ssize_t n =
            ::readlink(encodeNativePath(base + QStringLiteral("exe")).constData(), buffer.data(), buffer.size() - 1);
        if (n <= 0) {
            out.push_back({false, std::nullopt});
            continue;
        }
        QString exe = decodeNativePath(QByteArray(buffer.data(), n));
        // The kernel marks a program file replaced or removed since it was started.
        if (exe.endsWith(QLatin1String(" (deleted)"))) exe.chop(10);
        out.push_back({true, exe.mid(exe.lastIndexOf(QLatin1Char('/')) + 1)});
    }
    return out;
}

}  // namespace platform
