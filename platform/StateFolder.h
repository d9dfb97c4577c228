#pragma once
// What outlasts a run, kept where the system keeps a program's state: the lock that lets one
// run at a time write, the history of the runs that wrote, and the fonts they replaced. Every
// path is in the program's view (a rooted view keeps all of it inside its root).

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>

namespace platform {

// Held while it lives.
class RunLock {
public:
    virtual ~RunLock() = default;
};

class StateFolder {
public:
    virtual ~StateFolder() = default;

    // The lock file: root's in /run/lock, a user's in $XDG_RUNTIME_DIR.
    virtual QString lockFile() const = 0;
    // The folder of the history and the backups: root's /var/lib/font-reviser, a user's
    // $XDG_STATE_HOME/font-reviser (~/.local/state/font-reviser).
    virtual QString folder() const = 0;

    // Takes the lock without waiting (its folder made where missing) and writes this
    // process's id into it. Nothing while another process holds it, `holder` then naming that
    // process (0 where it can't be told); nothing and -1 where the lock file can't be had (a
    // folder that can't be made, a file another user planted).
    virtual std::unique_ptr<RunLock> tryLock(std::int64_t& holder) = 0;
    // Makes the folder and those above it that are missing (readable by their owner only).
    virtual bool makeFolder(const QString& path) = 0;
    // Appends the line and a line end in one write, flushed to the disk before it counts.
    virtual bool appendLine(const QString& path, const QByteArray& line) = 0;
    // A new file at `to` with the bytes of the file at `from`: a hard link where the file
    // system allows one, else a flushed copy. Never through or over anything that stands there.
    virtual bool linkOrCopy(const QString& from, const QString& to) = 0;
    // Removes the folder with everything in it (links inside it are removed, never followed).
    virtual bool removeTree(const QString& path) = 0;
    // The bytes the files below the folder take on the disk.
    virtual std::uint64_t spaceTaken(const QString& path) const = 0;
};

}  // namespace platform
