#include "app/Console.h"

#include "app/CommandLineText.h"
#include "app/ProgressLines.h"
#include "patch/FontProgress.h"
#include "patch/RevisionCodes.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QVariant>

#include <sys/ioctl.h>
#include <unistd.h>

namespace wizard {

namespace {
// The form of the JSON events: raised when a field changes meaning or goes.
constexpr int kJsonSchema = 1;

// Columns a character takes on a terminal: wide East Asian forms take two, combining marks
// none.
int columnsOf(char32_t c) {
    if ((c >= 0x0300 && c <= 0x036F) || c == 0x3099 || c == 0x309A) return 0;
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
        (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
        (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD))
        return 2;
    return 1;
}

// The text cut to fit `columns` terminal columns, with "…" where it was cut.
QString fitted(const QString& text, int columns) {
    int used = 0;
    QString out;
    for (const uint code : text.toUcs4()) {
        const auto c = static_cast<char32_t>(code);
        const int w = columnsOf(c);
        if (used + w > columns - 1) {
            out += QChar(0x2026);
            return out;
        }
        used += w;
        out += QString::fromUcs4(&c, 1);
    }
    return out;
}

int terminalColumns(std::FILE* stream) {
    winsize size{};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 10) return size.ws_col;
    return 80;
}
}  // namespace

Console::Console(bool json, std::FILE* out, std::FILE* err, bool errIsTerminal)
    : m_json(json), m_out(out), m_err(err), m_terminal(errIsTerminal) {}

void Console::line(std::FILE* stream, const QString& text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void Console::live(const QString& text) {
    const QByteArray bytes = (QStringLiteral("\r\x1b[K") + fitted(text, terminalColumns(m_err))).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_err);
    std::fflush(m_err);
    m_liveShown = true;
}

void Console::endLive() {
    if (!m_liveShown) return;
    std::fputs("\r\x1b[K", m_err);
    std::fflush(m_err);
    m_liveShown = false;
}

void Console::runStarts(const fr::SearchScope& scope) {
    if (!m_json) return;
    const QString searched = scope.fontFoldersOnly   ? QStringLiteral("font-folders")
                             : scope.under.isEmpty() ? QStringLiteral("everywhere")
                                                     : QStringLiteral("under");
    writeJson("start", {{QStringLiteral("schema"), kJsonSchema},
                        {QStringLiteral("version"), QStringLiteral(FR_VERSION)},
                        {QStringLiteral("searched"), searched},
                        {QStringLiteral("under"), scope.under}});
}

void Console::writeJson(const char* event, const QList<QPair<QString, QVariant>>& fields) {
    QJsonObject object{{QStringLiteral("event"), QString::fromLatin1(event)},
                       {QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)}};
    for (const auto& [key, value] : fields) object.insert(key, QJsonValue::fromVariant(value));
    if (m_verified) object.insert(QStringLiteral("verified"), *m_verified);
    if (m_verified == false) object.insert(QStringLiteral("unverified"), m_unverified);
    object.insert(QStringLiteral("dryRun"), m_dryRun);
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_out);
    std::fflush(m_out);  // each event as it happens, for monitoring
}

namespace {
// The reason's two fields, where there is one.
void addReason(QList<QPair<QString, QVariant>>& fields, const fr::Reason& reason) {
    if (!reason) return;
    fields.append({QStringLiteral("reason"), reason.id});
    fields.append({QStringLiteral("detail"), reason.detail});
}
}  // namespace

void Console::reasonLine(const fr::Reason& reason) {
    if (reason) line(m_err, QStringLiteral("  %1: %2").arg(reason.id, reason.detail));
}

void Console::patchesVerified(const fr::FolderTrust& trust, const QString& folder, const QString& patchSet) {
    m_verified = trust.verified;
    m_patchSet = patchSet;
    m_unverified = trust.why.id;
    if (m_json || trust.verified) return;
    if (trust.why.id == QLatin1String("no-trusted-key"))
        line(m_err, CommandLineText::tr("Note: this program trusts no signing key, so the signed manifest in %1 "
                                        "can't be checked: the patches are applied unverified.")
                        .arg(folder));
    else
        line(m_err, CommandLineText::tr("Note: the patches in %1 are not verified by a signed manifest.").arg(folder));
}

void Console::searching(const QString& folder) {
    if (!m_json && m_terminal) live(CommandLineText::tr("Searching: %1").arg(folder));
}

void Console::searchNote(const fr::SearchNote& note) {
    using Kind = fr::SearchNote::Kind;
    // A file of "host" named like a patch that is none is told always: the font it was for
    // would otherwise be left as it is without a word.
    const bool meantAsPatch = note.kind == Kind::SourceSkipped && note.reason.id != QLatin1String("source-name");
    // So is a folder the search was bounded to that it never enters.
    const bool boundNotSearched = note.kind == Kind::VolumeSkipped && note.reason.id == QLatin1String("out-of-rules");
    if (!m_verbose && !meantAsPatch && !boundNotSearched) return;
    if (m_json) {
        static constexpr const char* kEvents[] = {"source-skipped", "candidate-skipped", "volume-skipped",
                                                  "volume-walked", "font-folder-walked"};
        QList<QPair<QString, QVariant>> fields{{QStringLiteral("path"), note.path}};
        addReason(fields, note.reason);
        writeJson(kEvents[static_cast<int>(note.kind)], fields);
        return;
    }
    QString text;
    switch (note.kind) {
    case Kind::SourceSkipped:
        text = CommandLineText::tr("Not a patch: %1");
        break;
    case Kind::CandidateSkipped:
        text = CommandLineText::tr("Not revised: %1");
        break;
    case Kind::VolumeSkipped:
        text = CommandLineText::tr("Not searched: %1");
        break;
    case Kind::VolumeWalked:
        text = CommandLineText::tr("Searched: volume %1");
        break;
    case Kind::FontFolderWalked:
        text = CommandLineText::tr("Searched: font folder %1");
        break;
    }
    endLive();
    line(m_err, text.arg(note.path));
    reasonLine(note.reason);
}

void Console::targetsFound(const std::vector<fr::TargetEntryPtr>& targets,
                           const std::vector<fr::Reason>& notReplaceable, const NewRevisions& newRevisions) {
    if (m_json) {
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const fr::Reason& why = notReplaceable[i];
            QList<QPair<QString, QVariant>> fields{
                {QStringLiteral("path"), targets[i]->fullpath},
                {QStringLiteral("version"), static_cast<qint64>(targets[i]->version)},
                {QStringLiteral("revision"), fr::revisionText(targets[i]->version)},
                {QStringLiteral("replaceable"), !why}};
            if (i < newRevisions.size() && newRevisions[i])
                fields.append({QStringLiteral("newRevision"), fr::revisionText(*newRevisions[i])});
            addReason(fields, why);
            writeJson("target", fields);
        }
        return;
    }
    endLive();
}

void Console::listTargets(const std::vector<fr::TargetEntryPtr>& targets, const std::vector<fr::Reason>& notReplaceable,
                          const NewRevisions& newRevisions) {
    if (m_json) return;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        // The path, the revision now, and the one it would become.
        QString text = targets[i]->fullpath + QLatin1Char('\t') + fr::revisionText(targets[i]->version);
        if (i < newRevisions.size() && newRevisions[i])
            text += QStringLiteral(" -> ") + fr::revisionText(*newRevisions[i]);
        if (const fr::Reason& why = notReplaceable[i])
            text += QLatin1Char('\t') +
                    CommandLineText::tr("this user may not replace it (%1: %2)").arg(why.id, why.detail);
        line(m_out, text);
    }
}

void Console::fontStarts(const fr::TargetEntry& target, std::int32_t index, std::int32_t count) {
    m_font = target.fullpath;
    m_index = index;
    m_count = count;
}

void Console::progress(std::int32_t overall, std::int32_t step, const QString& fontPath, const QString& fileName) {
    const ProgressLines lines = progressLines(step, fontPath, fileName);
    if (m_json) {
        writeJson("progress", {{QStringLiteral("path"), m_font},
                               {QStringLiteral("index"), m_index},
                               {QStringLiteral("count"), m_count},
                               {QStringLiteral("overall"), overall},
                               {QStringLiteral("step"), step},
                               {QStringLiteral("file"), fileName},
                               {QStringLiteral("line1"), lines.line1},
                               {QStringLiteral("line2"), lines.line2}});
    } else if (m_terminal) {
        live(QStringLiteral("[%1%] %2/%3 %4").arg(overall, 3).arg(m_index + 1).arg(m_count).arg(lines.line2));
    } else {
        line(m_err, QStringLiteral("%1% %2% %3 | %4").arg(overall).arg(step).arg(lines.line1, lines.line2));
    }
}

void Console::fontEnds(const fr::TargetEntry& target, std::int32_t code, bool skipped, const QString& message,
                       const fr::Reason& reason) {
    if (m_json) {
        if (code == fr::result::kRevised) {
            writeJson(m_undo ? "restored" : "revised",
                      {{QStringLiteral("path"), target.fullpath}, {QStringLiteral("skipped"), skipped}});
        } else {
            QList<QPair<QString, QVariant>> fields{{QStringLiteral("path"), target.fullpath},
                                                   {QStringLiteral("code"), code},
                                                   {QStringLiteral("message"), message}};
            addReason(fields, reason);
            writeJson("failed", fields);
        }
        return;
    }
    endLive();
    QString text;
    if (code != fr::result::kRevised)
        text = CommandLineText::tr("failed (status %1):").arg(code);
    else if (skipped)
        text = CommandLineText::tr("already revised (the same file):");
    else if (m_undo)
        text = m_dryRun ? CommandLineText::tr("would be put back:") : CommandLineText::tr("put back:");
    else
        text = m_dryRun ? CommandLineText::tr("would be revised:") : CommandLineText::tr("revised:");
    line(m_err, QStringLiteral("%1/%2 %3 %4").arg(m_index + 1).arg(m_count).arg(text, target.fullpath));
    if (code != fr::result::kRevised) reasonLine(reason);
}

void Console::summary(const Outcome& outcome) {
    if (m_json) {
        QList<QPair<QString, QVariant>> fields{{QStringLiteral("status"), outcome.status},
                                               {QLatin1String(m_undo ? "restored" : "revised"), outcome.revised},
                                               {QStringLiteral("failed"), outcome.failed},
                                               {QStringLiteral("message"), outcome.message},
                                               {QStringLiteral("restartNeeded"), outcome.restartNeeded},
                                               {QStringLiteral("restartRequested"), outcome.restartRequested}};
        if (!m_patchSet.isEmpty()) fields.append({QStringLiteral("patchSet"), m_patchSet});
        if (!outcome.run.isEmpty()) fields.append({QStringLiteral("run"), outcome.run});
        addReason(fields, outcome.reason);
        writeJson("summary", fields);
        return;
    }
    endLive();
    if (!outcome.revised.isEmpty()) {
        if (m_undo)
            line(m_out, m_dryRun ? CommandLineText::tr("Fonts that would be put back:")
                                 : CommandLineText::tr("Fonts put back:"));
        else
            line(m_out, m_dryRun ? CommandLineText::tr("Fonts that would be revised:")
                                 : CommandLineText::tr("Revised fonts:"));
        for (const QString& path : outcome.revised) line(m_out, QStringLiteral("  ") + path);
    }
    if (!outcome.message.isEmpty()) line(outcome.status == 0 ? m_out : m_err, outcome.message);
    if (outcome.status != 0) reasonLine(outcome.reason);
    if (!outcome.run.isEmpty()) line(m_out, CommandLineText::tr("Recorded in the history as run %1.").arg(outcome.run));
}

void Console::history(const std::vector<fr::RunRecord>& runs, const std::vector<std::uint64_t>& backupBytes,
                      std::uint64_t total, const QString& folder) {
    const QLocale locale;
    if (m_json) {
        for (std::size_t i = 0; i < runs.size(); ++i) {
            QJsonObject run = runs[i].toJson();
            run.insert(QStringLiteral("backupBytes"), static_cast<qint64>(backupBytes[i]));
            writeJson("run", {{QStringLiteral("record"), run.toVariantMap()}});
        }
        writeJson("backups",
                  {{QStringLiteral("folder"), folder}, {QStringLiteral("bytes"), static_cast<qint64>(total)}});
        return;
    }
    if (runs.empty()) line(m_out, CommandLineText::tr("No run has been recorded yet."));
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const fr::RunRecord& run = runs[i];
        QString head = CommandLineText::tr("Run %1  %2  %3, status %4, version %5")
                           .arg(run.id, run.time, run.kind)
                           .arg(run.status)
                           .arg(run.version);
        if (!run.patchSet.isEmpty())
            head += QStringLiteral(", ") + CommandLineText::tr("patch set %1").arg(run.patchSet);
        if (!run.undoes.isEmpty()) head += QStringLiteral(", ") + CommandLineText::tr("undoes %1").arg(run.undoes);
        line(m_out, head);
        for (const fr::FontRecord& font : run.fonts) {
            const QString state = font.status == 0 ? CommandLineText::tr("replaced")
                                                   : CommandLineText::tr("failed (status %1)").arg(font.status);
            line(m_out, QStringLiteral("  %1  %2 -> %3  %4").arg(state, font.oldRevision, font.newRevision, font.path));
            if (font.status != 0) line(m_out, QStringLiteral("    %1: %2").arg(font.reason.id, font.reason.detail));
        }
        if (backupBytes[i] != 0)
            line(m_out, QStringLiteral("  ") + CommandLineText::tr("Kept old fonts: %1")
                                                   .arg(locale.formattedDataSize(static_cast<qint64>(backupBytes[i]))));
    }
    line(m_out, CommandLineText::tr("The kept old fonts take %1 in %2.")
                    .arg(locale.formattedDataSize(static_cast<qint64>(total)), folder));
}

void Console::notRecorded(const QString& path) {
    if (m_json) {
        writeJson("not-recorded", {{QStringLiteral("path"), path}});
        return;
    }
    endLive();
    line(m_err, CommandLineText::tr("Note: the run could not be added to the history %1.").arg(path));
}

void Console::fatal(int status, const QString& message, const fr::Reason& reason) {
    Outcome outcome;
    outcome.status = status;
    outcome.message = message;
    outcome.reason = reason;
    summary(outcome);
}

}  // namespace wizard
