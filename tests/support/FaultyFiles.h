#pragma once
// A Files that forwards to another one and makes chosen operations fail, for the paths that
// a test names, so the callers' failure paths can be driven on a real scratch disk.

#include "platform/LinuxFiles.h"

#include <mutex>
#include <vector>

namespace testsupport {

class FaultyFiles : public platform::Files {
public:
    // Where a fault strikes: off, every path, or the paths that contain `pathContains`.
    struct Fault {
        bool active = false;
        QString pathContains;  // empty: every path
        bool hits(const QString& path) const {
            return active && (pathContains.isEmpty() || path.contains(pathContains));
        }
        void on(const QString& contains = {}) {
            active = true;
            pathContains = contains;
        }
    };

    explicit FaultyFiles(platform::LinuxFiles& inner) : m_inner(inner) {}

    // Each of these answers "failed" (nothing or false) without touching the disk.
    Fault failReadAll, failSetPermissions, failSetTypeAndCreator, failRemove, failCreateExclusive, failCopyBeside,
        failReplace, failRename;
    // isDeletable answers false.
    Fault notDeletable;
    // copyBeside succeeds but the last byte of the copy is flipped (matched against `to`).
    Fault corruptCopy;
    // replaceKeepingOld succeeds, then the last byte of the file in place is flipped.
    Fault corruptAfterReplace;

    // Every call as "<operation> <path>" ("copyBeside <from> <to>"), in call order.
    std::vector<QString> calls() const;
    // Replaces a file's bytes behind the program's back, as something else on the disk might.
    bool overwrite(const QString& path, const std::vector<std::uint8_t>& bytes);

    std::unique_ptr<platform::ReadableBytes> openForReading(const QString& path) const override;
    std::optional<std::vector<std::uint8_t>> readAll(const QString& path, std::uint64_t limit) const override;
    std::vector<platform::DirEntry> listEntries(const QString& folder) const override;
    bool exists(const QString& path) const override;
    bool isFolder(const QString& path) const override;
    bool isSymbolicLink(const QString& path) const override;
    std::optional<std::uint32_t> permissions(const QString& path) const override;
    bool setPermissions(const QString& path, std::uint32_t mode) override;
    bool setTypeAndCreator(const QString& path, std::uint32_t type, std::uint32_t creator) override;
    Removal removal(const QString& path) const override;
    bool remove(const QString& path) override;
    bool createExclusive(const QString& path, std::span<const std::uint8_t> bytes) override;
    std::optional<QString> copyBeside(const QString& from, const QString& to) override;
    std::optional<QString> replaceKeepingOld(const QString& staged, const QString& to) override;
    bool rename(const QString& from, const QString& to) override;
    std::optional<platform::Leftover> endedLeftover(const QString& path) const override;
    QString canonicalPath(const QString& path) const override;
    QString applicationPath() const override;
    QString temporaryFolder() const override;

private:
    void note(const QString& call) const;
    bool flipLastByte(const QString& path);

    platform::LinuxFiles& m_inner;
    mutable std::mutex m_mutex;
    mutable std::vector<QString> m_calls;
};

}  // namespace testsupport
