#pragma once
// The state folder and the run lock on Linux, and the journal of a rooted view: a file of
// entries inside the root (the machine's own journal is not the view's; LinuxJournal.h).

#include "platform/Journal.h"
#include "platform/StateFolder.h"

#include <sys/types.h>

#include <functional>

namespace platform {

// Where a user's state goes, as the XDG base folders say.
struct StatePaths {
    QString lockFile;
    QString folder;
};
// Root's in /run/lock and /var/lib; another user's in $XDG_RUNTIME_DIR (else the state folder)
// and $XDG_STATE_HOME (else ~/.local/state), read through `environment`.
StatePaths systemStatePaths(uid_t uid, const std::function<QByteArray(const char*)>& environment);
// A rooted view's: root's as on a real system, another user's under /run/user/<uid> and
// /home/<login>/.local/state, whatever this process's environment says.
StatePaths rootedStatePaths(uid_t uid, const QString& login);

class LinuxStateFolder : public StateFolder {
public:
    // `hostPath` maps a path of the program's view to the real disk.
    LinuxStateFolder(StatePaths paths, std::function<QString(const QString&)> hostPath);

    QString lockFile() const override { return m_paths.lockFile; }
    QString folder() const override { return m_paths.folder; }
    std::unique_ptr<RunLock> tryLock(std::int64_t& holder) override;
    bool makeFolder(const QString& path) override;
    bool appendLine(const QString& path, const QByteArray& line) override;
    bool linkOrCopy(const QString& from, const QString& to) override;
    bool removeTree(const QString& path) override;
    std::uint64_t spaceTaken(const QString& path) const override;

private:
    QByteArray host(const QString& path) const;

    StatePaths m_paths;
    std::function<QString(const QString&)> m_hostPath;
};

// A file of entries, one JSON object a line, for a rooted view.
class JournalFile : public Journal {
public:
    explicit JournalFile(QString hostPath) : m_path(std::move(hostPath)) {}
    bool record(const QString& message, const QList<QPair<QByteArray, QString>>& fields) override;

private:
    QString m_path;
};

}  // namespace platform
