#pragma once
// The history of the runs that wrote: one JSON object a line in "history.jsonl" of the state
// folder, appended when a run ends, never rewritten. A line:
//
//   {"run":"20261208T174512Z-4242","time":"2026-12-08T17:45:12Z","version":"1.2.0",
//    "kind":"revise","patchSet":"<manifest SHA-256, or unsigned>","status":0,
//    "fonts":[{"path":"/usr/share/fonts/…/Velmora-Regular.otf","file":"<the file replaced>",
//              "oldRevision":"7.0","newRevision":"8.0","oldSha256":"…","newSha256":"…",
//              "status":0,"reason":"","detail":"","backup":"backup/<run>/1.old"}]}
//
// An undo's line has "kind":"undo" and "undoes":"<run>"; its fonts go from the revised file
// ("old") back to the kept one ("new"). Before a font is replaced, its file is kept in
// "backup/<run>/" (a hard link where the file system allows, else a copy) under a name the
// search never examines; the backups of the last few runs stay, older ones go.

#include "fonttables/Reason.h"
#include "patch/FontEntries.h"
#include "patch/Integrity.h"
#include "platform/Files.h"
#include "platform/Journal.h"
#include "platform/StateFolder.h"

#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace fr {

struct FontRecord {
    QString path;  // as the search found it
    QString file;  // the file replaced: behind links, where the revision replaces that one
    QString oldRevision, newRevision;
    QString oldSha256, newSha256;  // lower-case hexadecimal; empty where not known
    std::int32_t status = 0;
    Reason reason;
    QString backup;  // in the state folder; empty where none was kept
};

struct RunRecord {
    QString id;    // sorts as the runs ran
    QString time;  // UTC, ISO 8601
    QString version;
    QString kind;      // "revise" or "undo"
    QString patchSet;  // a revision's
    QString undoes;    // an undo's run
    std::int32_t status = 0;
    std::vector<FontRecord> fonts;

    QJsonObject toJson() const;
    QByteArray toJsonLine() const;
    // Nothing for a line that is no record (a torn last line, say).
    static std::optional<RunRecord> fromJsonLine(const QByteArray& line);
    // Whether any of its fonts was replaced with a backup kept.
    bool keptBackups() const;
};

constexpr const char* kHistoryName = "history.jsonl";
constexpr const char* kBackupFolderName = "backup";
// The runs whose replaced fonts stay unless an administrator says otherwise.
constexpr int kKeptRunsByDefault = 3;

// The runs of the history, oldest first; lines that are no record are passed over.
std::vector<RunRecord> readHistory(const platform::Files& files, const QString& stateFolder);
// A new run's record: its id from the time and this process, the time, the program's version.
RunRecord newRun(const QString& kind);

// One run that writes, recorded as it goes. Where a backup can't be kept the font is still
// revised: the history says so, and an undo skips it.
class RunRecorder {
public:
    RunRecorder(platform::Files& files, platform::StateFolder& state, platform::Journal* journal, RunRecord run,
                int keepBackups);
    RunRecorder(const RunRecorder&) = delete;
    RunRecorder& operator=(const RunRecorder&) = delete;

    // Before `file` (the font at `path`, or the file behind its links) may be replaced: kept.
    void fontStarts(const QString& path, const QString& file, const QString& oldRevision);
    // Its end: `code` 0 where it was replaced (a file revised already by the run, `skipped`,
    // is not recorded twice).
    void fontEnds(std::int32_t code, bool skipped, const Reason& reason);
    // Appends the run to the history and lets the backups of older runs go. False when the
    // line could not be written.
    bool finish(std::int32_t status);
    const RunRecord& run() const { return m_run; }
    const QString& backupFolder() const { return m_backupFolder; }

private:
    platform::Files& m_files;
    platform::StateFolder& m_state;
    platform::Journal* m_journal;
    RunRecord m_run;
    int m_keepBackups;
    QString m_backupFolder;
    bool m_folderMade = false;
    std::optional<FontRecord> m_font;  // the font under way
};

// The backups that stay: those of the last `keep` runs that kept any; the others' folders go.
void pruneBackups(platform::StateFolder& state, const std::vector<RunRecord>& history, int keep);

}  // namespace fr
