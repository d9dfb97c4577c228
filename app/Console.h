#pragma once
// What the command line tells: the fonts found, the progress of the revision, each font's
// end with its reason and the outcome, as text for people or as one JSON object per event
// for scripts. Its texts follow the locale (Language.h); reasons, JSON field names and values
// other than "message", "line1" and "line2" never do.
//
// Text: results on standard output; progress, failures and notes on standard error, where a
// terminal gets one live line per font redrawn in place and anything else one plain line
// per progress point. JSON: every event on standard output, nothing on standard error.

#include "discovery/FontCheckCtrl.h"
#include "fonttables/Reason.h"
#include "patch/FontEntries.h"
#include "patch/RunHistory.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

namespace wizard {

class Console {
public:
    Console(bool json, std::FILE* out, std::FILE* err, bool errIsTerminal);

    // A dry run: every JSON event says so, and the texts speak of what would be done.
    void setDryRun(bool dryRun) { m_dryRun = dryRun; }
    // An undo: its texts and events speak of fonts put back.
    void setUndo(bool undo) { m_undo = undo; }
    // Whether to tell everything the search passed over and walked, or only the files of
    // "host" that look like patches and are none.
    void setVerbose(bool verbose) { m_verbose = verbose; }

    // The run begins: in JSON, the first event, with the version of the events' form and the
    // program's, and where the search looks.
    void runStarts(const fr::SearchScope& scope = {});
    // Whether the patches are the vendor's, proven by the signed manifest of their folder, and
    // why not: said once in text, and carried by every JSON event from here on.
    void patchesVerified(const fr::FolderTrust& trust, const QString& folder, const QString& patchSet);
    void searching(const QString& folder);
    // Called on the search worker (the caller serialises nothing else with it).
    void searchNote(const fr::SearchNote& note);
    // The targets, each with why this user may not replace it (empty where it may) and, for
    // --list, the revision it would become (nothing where the patch can't tell).
    using NewRevisions = std::vector<std::optional<std::uint32_t>>;
    void targetsFound(const std::vector<fr::TargetEntryPtr>& targets, const std::vector<fr::Reason>& notReplaceable,
                      const NewRevisions& newRevisions = {});
    // The list of --list.
    void listTargets(const std::vector<fr::TargetEntryPtr>& targets, const std::vector<fr::Reason>& notReplaceable,
                     const NewRevisions& newRevisions);
    // --history: each run with the space its kept fonts take, then their total in `folder`.
    void history(const std::vector<fr::RunRecord>& runs, const std::vector<std::uint64_t>& backupBytes,
                 std::uint64_t total, const QString& folder);
    // The run could not be added to the history at `path`.
    void notRecorded(const QString& path);
    void fontStarts(const fr::TargetEntry& target, std::int32_t index, std::int32_t count);
    // A progress point as the engine reports it: the font, the file the step is about.
    void progress(std::int32_t overall, std::int32_t step, const QString& fontPath, const QString& fileName);
    void fontEnds(const fr::TargetEntry& target, std::int32_t code, bool skipped, const QString& message,
                  const fr::Reason& reason);
    // The end of the run: its exit status, the fonts revised (or that would be), the ones that
    // failed, a closing text and the reason of the status where it is not 0.
    struct Outcome {
        int status = 0;
        QStringList revised;
        QStringList failed;
        QString message;
        bool restartNeeded = false;
        bool restartRequested = false;
        fr::Reason reason;
        QString run;  // its id in the history, where it was recorded
    };
    void summary(const Outcome& outcome);
    // A text that ends the program early (no source, no target, font manager, bad options),
    // and why, where there is more to say.
    void fatal(int status, const QString& message, const fr::Reason& reason = {});

private:
    void writeJson(const char* event, const QList<QPair<QString, QVariant>>& fields);
    void line(std::FILE* stream, const QString& text);
    void reasonLine(const fr::Reason& reason);
    void live(const QString& text);  // the terminal's live line
    void endLive();

    bool m_json;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_terminal;
    bool m_dryRun = false;
    bool m_undo = false;
    bool m_verbose = false;
    bool m_liveShown = false;
    std::optional<bool> m_verified;
    QString m_unverified;  // why the patches are not verified
    QString m_patchSet;    // the manifest's SHA-256, or "unsigned"
    QString m_font;        // the font being revised
    std::int32_t m_index = 0, m_count = 0;
};

}  // namespace wizard
