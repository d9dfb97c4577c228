#pragma once
// Files held in memory, for the fuzz targets: a whole revision runs over them with no disk,
// and what it leaves behind can be read back exactly.

#include "platform/Files.h"

#include <map>

namespace fuzzing {

class MemoryFiles : public platform::Files {
public:
    std::map<QString, std::vector<std::uint8_t>> files;  // path -> bytes
    std::map<QString, std::uint32_t> modes;

    std::unique_ptr<platform::ReadableBytes> openForReading(const QString& path) const override;
    std::optional<std::vector<std::uint8_t>> readAll(const QString& path, std::uint64_t limit) const override;
    using Files::readAll;
    std::vector<platform::DirEntry> listEntries(const QString& folder) const override;
    bool exists(const QString& path) const override { return files.count(path) != 0 || isFolder(path); }
    bool isFolder(const QString& path) const override;
    bool isSymbolicLink(const QString&) const override { return false; }
    std::optional<std::uint32_t> permissions(const QString& path) const override;
    bool setPermissions(const QString& path, std::uint32_t mode) override;
    bool setTypeAndCreator(const QString& path, std::uint32_t, std::uint32_t) override {
        return files.count(path) != 0;
    }
    Removal removal(const QString&) const override { return Removal::Allowed; }
    bool remove(const QString& path) override { return files.erase(path) != 0; }
    bool createExclusive(const QString& path, std::span<const std::uint8_t> bytes) override;
    std::optional<QString> copyBeside(const QString& from, const QString& to) override;
    std::optional<QString> replaceKeepingOld(const QString& staged, const QString& to) override;
    bool rename(const QString& from, const QString& to) override;
    std::optional<platform::Leftover> endedLeftover(const QString&) const override { return std::nullopt; }
    QString canonicalPath(const QString& path) const override { return exists(path) ? path : QString(); }
    QString applicationPath() const override { return QStringLiteral("/Applications/Reviser/reviser"); }
    QString temporaryFolder() const override { return QStringLiteral("/tmp"); }

private:
    int m_made = 0;
};

}  // namespace fuzzing
