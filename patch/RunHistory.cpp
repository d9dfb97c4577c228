#include "patch/RunHistory.h"

#include "patch/FontProgress.h"
#include "patch/IdentityChecks.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

#include <algorithm>
#include <set>

namespace fr {

namespace {
// A history larger than this is no history of ours; it is read no further.
constexpr std::uint64_t kLargestHistory = 64u << 20;

QString stateFile(const QString& folder, const char* name) { return folder + u'/' + QLatin1String(name); }

QJsonObject fontObject(const FontRecord& font) {
    return {{QStringLiteral("path"), font.path},
            {QStringLiteral("file"), font.file},
            {QStringLiteral("oldRevision"), font.oldRevision},
            {QStringLiteral("newRevision"), font.newRevision},
            {QStringLiteral("oldSha256"), font.oldSha256},
            {QStringLiteral("newSha256"), font.newSha256},
            {QStringLiteral("status"), font.status},
            {QStringLiteral("reason"), font.reason.id},
            {QStringLiteral("detail"), font.reason.detail},
            {QStringLiteral("backup"), font.backup}};
}

FontRecord fontRecord(const QJsonObject& o) {
    const auto text = [&](const char* key) { return o.value(QLatin1String(key)).toString(); };
    FontRecord font{text("path"),
                    text("file"),
                    text("oldRevision"),
                    text("newRevision"),
                    text("oldSha256"),
                    text("newSha256"),
                    o.value(QStringLiteral("status")).toInt(-1),
                    {text("reason"), text("detail")},
                    text("backup")};
    if (font.file.isEmpty()) font.file = font.path;
    return font;
}
}  // namespace

QByteArray RunRecord::toJsonLine() const { return QJsonDocument(toJson()).toJson(QJsonDocument::Compact); }

QJsonObject RunRecord::toJson() const {
    QJsonArray list;
    for (const FontRecord& font : fonts) list.append(fontObject(font));
    QJsonObject o{{QStringLiteral("run"), id},          {QStringLiteral("time"), time},
                  {QStringLiteral("version"), version}, {QStringLiteral("kind"), kind},
                  {QStringLiteral("status"), status},   {QStringLiteral("fonts"), list}};
    if (!patchSet.isEmpty()) o.insert(QStringLiteral("patchSet"), patchSet);
    if (!undoes.isEmpty()) o.insert(QStringLiteral("undoes"), undoes);
    return o;
}

std::optional<RunRecord> RunRecord::fromJsonLine(const QByteArray& line) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return std::nullopt;
    const QJsonObject o = doc.object();
    const auto text = [&](const char* key) { return o.value(QLatin1String(key)).toString(); };
    RunRecord run{text("run"),
                  text("time"),
                  text("version"),
                  text("kind"),
                  text("patchSet"),
                  text("undoes"),
                  o.value(QStringLiteral("status")).toInt(-1),
                  {}};
    // A run id names a folder of backups: nothing but what this program makes is taken.
    const bool plainId = !run.id.isEmpty() && std::all_of(run.id.cbegin(), run.id.cend(), [](QChar c) {
        return c.isDigit() || c == u'T' || c == u'Z' || c == u'-';
    });
    if (!plainId || !o.value(QStringLiteral("fonts")).isArray()) return std::nullopt;
    const QJsonArray fonts = o.value(QStringLiteral("fonts")).toArray();
    // A kept copy lies in its run's backup folder under a number, as this program keeps it:
    // any other path is no copy of ours, and no undo puts it in place.
    const QString kept = QStringLiteral("%1/%2/").arg(QLatin1String(kBackupFolderName), run.id);
    const auto ours = [&kept](const QString& backup) {
        const QStringView number = QStringView(backup).mid(kept.size()).chopped(4);
        return backup.startsWith(kept) && backup.endsWith(QLatin1String(".old")) && backup.size() > kept.size() + 4 &&
               std::all_of(number.cbegin(), number.cend(), [](QChar c) { return c.isDigit(); });
    };
    for (const auto& font : fonts) {
        run.fonts.push_back(fontRecord(font.toObject()));
        if (!ours(run.fonts.back().backup)) run.fonts.back().backup.clear();
    }
    return run;
}

bool RunRecord::keptBackups() const {
    return std::any_of(fonts.cbegin(), fonts.cend(), [](const FontRecord& f) { return !f.backup.isEmpty(); });
}

std::vector<RunRecord> readHistory(const platform::Files& files, const QString& stateFolder) {
    std::vector<RunRecord> runs;
    const auto bytes = files.readAll(stateFile(stateFolder, kHistoryName), kLargestHistory);
    if (!bytes) return runs;
    const QByteArray all(reinterpret_cast<const char*>(bytes->data()), static_cast<qsizetype>(bytes->size()));
    for (const QByteArray& line : all.split('\n'))
        if (auto run = RunRecord::fromJsonLine(line)) runs.push_back(std::move(*run));
    return runs;
}

RunRecord newRun(const QString& kind) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    RunRecord run;
    run.id = now.toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'-")) + QString::number(::getpid());
    run.time = now.toString(Qt::ISODate);
    run.version = QStringLiteral(FR_VERSION);
    run.kind = kind;
    return run;
}

RunRecorder::RunRecorder(platform::Files& files, platform::StateFolder& state, platform::Journal* journal,
                         RunRecord run, int keepBackups)
    : m_files(files), m_state(state), m_journal(journal), m_run(std::move(run)), m_keepBackups(keepBackups) {
    m_backupFolder = QLatin1String(kBackupFolderName) + u'/' + m_run.id;
}

void RunRecorder::fontStarts(const QString& path, const QString& file, const QString& oldRevision) {
    m_font = FontRecord{};
    m_font->path = path;
    m_font->file = file;
    m_font->oldRevision = oldRevision;
    if (m_keepBackups <= 0) {
        if (const auto print = fingerprintOf(m_files, file)) m_font->oldSha256 = print->sha256.hex();
        return;
    }
    const QString folder = m_state.folder() + u'/' + m_backupFolder;
    if (!m_folderMade) m_folderMade = m_state.makeFolder(folder);
    // Numbered, never named after the font: the search examines no file in here.
    const QString name = QString::number(m_run.fonts.size() + 1) + QStringLiteral(".old");
    if (!m_folderMade || !m_state.linkOrCopy(file, folder + u'/' + name)) return;
    if (const auto print = fingerprintOf(m_files, folder + u'/' + name)) {
        m_font->oldSha256 = print->sha256.hex();
        m_font->backup = m_backupFolder + u'/' + name;
    } else {
        m_files.remove(folder + u'/' + name);
    }
}

void RunRecorder::fontEnds(std::int32_t code, bool skipped, const Reason& reason) {
    if (!m_font) return;
    FontRecord font = std::move(*m_font);
    m_font.reset();
    if (skipped) {
        if (!font.backup.isEmpty()) m_files.remove(m_state.folder() + u'/' + font.backup);
        return;
    }
    font.status = code;
    font.reason = reason;
    if (code != 0) {
        // Not replaced: nothing of it to put back.
        if (!font.backup.isEmpty()) m_files.remove(m_state.folder() + u'/' + font.backup);
        font.backup.clear();
    } else if (const auto print = fingerprintOf(m_files, font.file)) {
        font.newSha256 = print->sha256.hex();
        if (const auto file = m_files.openForReading(font.file))
            if (const auto revision = identity::fontRevisionOf(*file)) font.newRevision = revisionText(*revision);
    }
    if (code == 0 && m_journal)
        m_journal->record(QStringLiteral("font-reviser: %1 %2 → %3").arg(font.path, font.oldRevision, font.newRevision),
                          {{"FONT_REVISER_RUN", m_run.id},
                           {"FONT_REVISER_KIND", m_run.kind},
                           {"FONT_PATH", font.path},
                           {"FONT_FILE", font.file},
                           {"FONT_OLD_REVISION", font.oldRevision},
                           {"FONT_NEW_REVISION", font.newRevision},
                           {"FONT_OLD_SHA256", font.oldSha256},
                           {"FONT_NEW_SHA256", font.newSha256},
                           {"FONT_REVISER_PATCH_SET", m_run.patchSet},
                           {"FONT_REVISER_VERSION", m_run.version}});
    m_run.fonts.push_back(std::move(font));
}

bool RunRecorder::finish(std::int32_t status) {
    m_run.status = status;
    if (m_folderMade && !m_run.keptBackups()) m_state.removeTree(m_state.folder() + u'/' + m_backupFolder);
    const bool written = m_state.makeFolder(m_state.folder()) &&
                         m_state.appendLine(stateFile(m_state.folder(), kHistoryName), m_run.toJsonLine());
    pruneBackups(m_state, readHistory(m_files, m_state.folder()), m_keepBackups);
    return written;
}

void pruneBackups(platform::StateFolder& state, const std::vector<RunRecord>& history, int keep) {
    std::set<QString> kept;
    for (auto run = history.crbegin(); run != history.crend() && static_cast<int>(kept.size()) < keep; ++run)
        if (run->keptBackups()) kept.insert(run->id);
    const QString folder = state.folder() + u'/' + QLatin1String(kBackupFolderName);
    for (const RunRecord& run : history)
        if (run.keptBackups() && !kept.count(run.id)) state.removeTree(folder + u'/' + run.id);
}

}  // namespace fr
