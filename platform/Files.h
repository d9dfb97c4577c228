#pragma once
// The file system as the program sees it. Every path handed in is an absolute path in the
// program's own view; an implementation may map it elsewhere (see LinuxFiles' root).

#include <QString>
#include <QStringList>

#include "platform/Leftovers.h"
#include "platform/NewFile.h"
#include "platform/ReadableBytes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace platform {

// What a folder listing already knows about an entry, so a walk need not ask again.
enum class EntryKind : std::uint8_t { Unknown, File, Folder, SymbolicLink, Other };

struct DirEntry {
    QString name;
    EntryKind kind = EntryKind::Unknown;
};

class Files {
public:
    virtual ~Files() = default;

    // A regular file opened for reads at offsets, or nothing when it can't be opened (a
    // fifo, a device or a folder never is). Its size is the one it has now.
    virtual std::unique_ptr<ReadableBytes> openForReading(const QString& path) const = 0;
    // A whole regular file of at most `limit` bytes; nothing when it can't be read or is
    // larger (then nothing beyond the limit is read).
    virtual std::optional<std::vector<std::uint8_t>> readAll(const QString& path, std::uint64_t limit) const = 0;
    // The entries of a folder, hidden ones included, without "." and ".."; empty when it
    // can't be listed.
    virtual std::vector<DirEntry> listEntries(const QString& folder) const = 0;

    virtual bool exists(const QString& path) const = 0;    // links followed
    virtual bool isFolder(const QString& path) const = 0;  // links followed
    virtual bool isSymbolicLink(const QString& path) const = 0;

    virtual std::optional<std::uint32_t> permissions(const QString& path) const = 0;  // links followed
    virtual bool setPermissions(const QString& path, std::uint32_t mode) = 0;
    // Four-character file type and creator codes; where the file system has no place for
    // them the request counts as done.
    virtual bool setTypeAndCreator(const QString& path, std::uint32_t type, std::uint32_t creator) = 0;

    // Whether the process may remove (and so replace) the file at the path: it may write to
    // the folder that holds it, on a file system mounted for writing, and in a sticky folder
    // owns the file or the folder.
    enum class Removal { Allowed, FolderNotWritable, ReadOnlyFileSystem, NotOwner };
    virtual Removal removal(const QString& path) const = 0;
    bool isDeletable(const QString& path) const { return removal(path) == Removal::Allowed; }
    virtual bool remove(const QString& path) = 0;

    // Creates a new file that did not exist (never through a symbolic link), mode 0600,
    // holding the bytes; false when the name is taken or anything fails.
    virtual bool createExclusive(const QString& path, std::span<const std::uint8_t> bytes) = 0;
    // The same made a piece at a time (NewFile.h): a new file of `length` bytes, zero-filled,
    // never through a link, mode 0600, not flushed. Nothing when the name is taken or it can't
    // be made. By default it is made in memory and created by createExclusive once closed.
    virtual std::unique_ptr<NewFile> createNew(const QString& path, std::uint64_t length) {
        return std::make_unique<NewFileInMemory>(length, this, path);
    }
    // Replacing a file in place, in steps that never leave `to` holding anything but the old
    // file or a complete new one:
    // A flushed copy of `from` in a fresh file of ours beside `to` (in its folder, so that a
    // rename can put it in place), given `to`'s owner and group where the process may. Its
    // path, or nothing when anything failed; then nothing is left behind.
    virtual std::optional<QString> copyBeside(const QString& from, const QString& to) = 0;
    // Puts `staged` at `to` in one step and flushes the folder. Until the caller is done with
    // it, the file that stood at `to` stays beside it under a name of ours, whose path is
    // returned: traded places with `staged` where the file system can, else a hard link, else
    // a flushed copy made before the rename. Nothing when it failed; `to` is then untouched.
    virtual std::optional<QString> replaceKeepingOld(const QString& staged, const QString& to) = 0;
    // Renames `from` over `to` in one step (within one folder) and flushes the folder.
    virtual bool rename(const QString& from, const QString& to) = 0;
    // What `path` is when it is a regular file an interrupted run of this program left (its
    // name says so) and that run has ended; in the temporary folder only a file of the
    // process user's own. Nothing for anything else.
    virtual std::optional<Leftover> endedLeftover(const QString& path) const = 0;
    // The file behind links, in the program's view (for telling two paths to one file apart).
    virtual QString canonicalPath(const QString& path) const = 0;

    virtual QString applicationPath() const = 0;  // the running program's own file
    // The user's temporary folder ($TMPDIR), or the system's (/tmp, /var/tmp) when that is
    // not a folder the process may write in; empty when none is.
    virtual QString temporaryFolder() const = 0;
};

}  // namespace platform
