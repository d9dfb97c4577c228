#include "support/FaultyFiles.h"
#include "support/FakePlatform.h"

#include <QFile>

namespace testsupport {

void FaultyFiles::note(const QString& call) const {
    std::lock_guard lock(m_mutex);
    m_calls.push_back(call);
}

std::vector<QString> FaultyFiles::calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

bool FaultyFiles::overwrite(const QString& path, const std::vector<std::uint8_t>& bytes) {
    QFile f(m_inner.hostPath(path));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) ==
           static_cast<qint64>(bytes.size());
}

bool FaultyFiles::flipLastByte(const QString& path) {
    auto bytes = m_inner.readAll(path, testsupport::kAnySize);
    if (!bytes || bytes->empty()) return false;
    bytes->back() ^= 0xFF;
    return overwrite(path, *bytes);
}

std::unique_ptr<platform::ReadableBytes> FaultyFiles::openForReading(const QString& path) const {
    note(QStringLiteral("openForReading ") + path);
    if (failReadAll.hits(path)) return nullptr;
    return m_inner.openForReading(path);
}

std::optional<std::vector<std::uint8_t>> FaultyFiles::readAll(const QString& path, std::uint64_t limit) const {
    note(QStringLiteral("readAll ") + path);
    if (failReadAll.hits(path)) return std::nullopt;
    return m_inner.readAll(path, limit);
}

std::vector<platform::DirEntry> FaultyFiles::listEntries(const QString& folder) const {
    note(QStringLiteral("listEntries ") + folder);
    return m_inner.listEntries(folder);
}

bool FaultyFiles::exists(const QString& path) const { return m_inner.exists(path); }
bool FaultyFiles::isFolder(const QString& path) const { return m_inner.isFolder(path); }
bool FaultyFiles::isSymbolicLink(const QString& path) const { return m_inner.isSymbolicLink(path); }

std::optional<std::uint32_t> FaultyFiles::permissions(const QString& path) const {
    note(QStringLiteral("permissions ") + path);
    return m_inner.permissions(path);
}

bool FaultyFiles::setPermissions(const QString& path, std::uint32_t mode) {
    note(QStringLiteral("setPermissions ") + path);
    return !failSetPermissions.hits(path) && m_inner.setPermissions(path, mode);
}

bool FaultyFiles::setTypeAndCreator(const QString& path, std::uint32_t type, std::uint32_t creator) {
    note(QStringLiteral("setTypeAndCreator ") + path);
    return !failSetTypeAndCreator.hits(path) && m_inner.setTypeAndCreator(path, type, creator);
}

platform::Files::Removal FaultyFiles::removal(const QString& path) const {
    note(QStringLiteral("isDeletable ") + path);
    return notDeletable.hits(path) ? Removal::FolderNotWritable : m_inner.removal(path);
}

bool FaultyFiles::remove(const QString& path) {
    note(QStringLiteral("remove ") + path);
    return !failRemove.hits(path) && m_inner.remove(path);
}

bool FaultyFiles::createExclusive(const QString& path, std::span<const std::uint8_t> bytes) {
    note(QStringLiteral("createExclusive ") + path);
    return !failCreateExclusive.hits(path) && m_inner.createExclusive(path, bytes);
}

std::optional<QString> FaultyFiles::copyBeside(const QString& from, const QString& to) {
    note(QStringLiteral("copyBeside ") + from + QLatin1Char(' ') + to);
    if (failCopyBeside.hits(to)) return std::nullopt;
    auto staged = m_inner.copyBeside(from, to);
    if (staged && corruptCopy.hits(to) && !flipLastByte(*staged)) return std::nullopt;
    return staged;
}

std::optional<QString> FaultyFiles::replaceKeepingOld(const QString& staged, const QString& to) {
    note(QStringLiteral("replaceKeepingOld ") + staged + QLatin1Char(' ') + to);
    if (failReplace.hits(to)) return std::nullopt;
    auto kept = m_inner.replaceKeepingOld(staged, to);
    if (kept && corruptAfterReplace.hits(to)) flipLastByte(to);
    return kept;
}

bool FaultyFiles::rename(const QString& from, const QString& to) {
    note(QStringLiteral("rename ") + from + QLatin1Char(' ') + to);
    return !failRename.hits(to) && m_inner.rename(from, to);
}

std::optional<platform::Leftover> FaultyFiles::endedLeftover(const QString& path) const {
    return m_inner.endedLeftover(path);
}

QString FaultyFiles::canonicalPath(const QString& path) const { return m_inner.canonicalPath(path); }
QString FaultyFiles::applicationPath() const { return m_inner.applicationPath(); }
QString FaultyFiles::temporaryFolder() const { return m_inner.temporaryFolder(); }

}  // namespace testsupport
