#pragma once
// Files on Linux. With a root folder, every absolute path resolves inside it.

#include "platform/Files.h"

namespace platform {

class LinuxFiles : public Files {
public:
    // `root` empty: the real file system. `applicationPath` and `temporaryFolder` are in the
    // program's view; empty: the running executable and the folder Qt reports.
    // `durable`: new files and renames are flushed to the disk before they count as done;
    // only benchmarks turn it off.
    explicit LinuxFiles(QString root = {}, QString applicationPath = {}, QString temporaryFolder = {},
                        bool durable = true);

    std::unique_ptr<ReadableBytes> openForReading(const QString& path) const override;
    std::optional<std::vector<std::uint8_t>> readAll(const QString& path, std::uint64_t limit) const override;
    std::vector<DirEntry> listEntries(const QString& folder) const override;
    bool exists(const QString& path) const override;
    bool isFolder(const QString& path) const override;
    bool isSymbolicLink(const QString& path) const override;
    std::optional<std::uint32_t> permissions(const QString& path) const override;
    bool setPermissions(const QString& path, std::uint32_t mode) override;
    bool setTypeAndCreator(const QString& path, std::uint32_t type, std::uint32_t creator) override;
    Removal removal(const QString& path) const override;
    bool remove(const QString& path) override;
    bool createExclusive(const QString& path, std::span<const std::uint8_t> bytes) override;
    std::unique_ptr<NewFile> createNew(const QString& path, std::uint64_t length) override;
    std::optional<QString> copyBeside(const QString& from, const QString& to) override;
    std::optional<QString> replaceKeepingOld(const QString& staged, const QString& to) override;
    bool rename(const QString& from, const QString& to) override;
    std::optional<Leftover> endedLeftover(const QString& path) const override;
    QString canonicalPath(const QString& path) const override;
    QString applicationPath() const override;
    QString temporaryFolder() const override;

    // The path on the real disk for a path of the program's view.
    QString hostPath(const QString& path) const;

private:
    QString m_root;
    QString m_applicationPath;
    QString m_temporaryFolder;
    bool m_durable;
};

}  // namespace platform
