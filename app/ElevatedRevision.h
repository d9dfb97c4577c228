#pragma once
// The fonts this user may not replace, revised with an administrator's rights: the program
// itself in its helper mode (--helper), started once per revision by the elevation command
// (polkit's pkexec, which asks for the authentication; FONT_REVISER_ELEVATE names another).
// The window stays the user's: the helper gets nothing but the fonts' paths, re-checks each
// as the search would, and reports its revision as JSON events, which become the same
// progress points and result codes as the wizard's own revisions. Used on the revision
// worker, which owns the helper's process.

#include "fonttables/Reason.h"
#include "patch/FontEntries.h"
#include "patch/RevisionCodes.h"

#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QProcess;

namespace wizard {

struct Elevation {
    QStringList command;    // the elevation command and its options: {"pkexec"}, {"sudo", "-n"}
    QString program;        // the program to start as the helper: this program's own file
    QStringList arguments;  // before --helper (the sample run's root)

    // `command` from FONT_REVISER_ELEVATE (split as a shell splits words), pkexec without it.
    static Elevation fromEnvironment(QString program, QStringList arguments);
};

class ElevatedRevision {
public:
    // `giveUp` is asked while the helper is awaited: true ends the wait (the program is ending).
    ElevatedRevision(Elevation elevation, std::function<bool()> giveUp);
    ~ElevatedRevision();
    ElevatedRevision(const ElevatedRevision&) = delete;
    ElevatedRevision& operator=(const ElevatedRevision&) = delete;

    // Starts the helper with these paths and waits until it runs with an administrator's
    // rights: true then; false, with why, where the authentication was refused or dismissed,
    // the helper could not start, or another run holds the lock ("busy").
    bool start(const QStringList& paths, fr::Reason& why);
    // One of those fonts, in the order they were given, revised by the helper: its progress
    // points go to `proc` on the run's scale (`count`, `index`), a cancel the user confirms
    // there goes on to the helper, which stops at its next point. Its result code, and the
    // reason where it is not 0.
    std::int32_t revise(const fr::TargetEntry& target, fr::RevisionProgressProc proc, void* context, std::int32_t count,
                        std::int32_t index, fr::Reason& reason);
    // Whether the user confirmed a cancel during one of its fonts: the run goes no further,
    // whatever that font ended with (the helper may have finished it before it heard).
    bool cancelled() const { return m_cancelled; }

private:
    // The helper's next event; nothing once it has ended or given up.
    std::optional<QJsonObject> nextEvent();

    Elevation m_elevation;
    std::function<bool()> m_giveUp;
    std::unique_ptr<QProcess> m_process;
    bool m_cancelled = false;
    // The end of fonts met while another was awaited, by path; the helper's summary once met.
    QHash<QString, QJsonObject> m_ended;
    std::optional<QJsonObject> m_summary;
};

}  // namespace wizard
