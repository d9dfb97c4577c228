#include "app/ElevatedRevision.h"

#include "platform/NativePath.h"

#include <QJsonDocument>
#include <QProcess>

namespace wizard {

namespace {
// How long a wait for the helper lasts before the wizard looks whether it should give up.
constexpr int kWaitMs = 200;
// The helper's end, once its input is closed, is awaited this long before it is stopped.
constexpr int kEndMs = 10000;

QString text(const QJsonObject& event, const char* key) { return event.value(QLatin1String(key)).toString(); }

fr::Reason reasonOf(const QJsonObject& event) { return {text(event, "reason"), text(event, "detail")}; }
}  // namespace

Elevation Elevation::fromEnvironment(QString program, QStringList arguments) {
    QStringList command = QProcess::splitCommand(QString::fromLocal8Bit(qgetenv("FONT_REVISER_ELEVATE")));
    if (command.isEmpty()) command = {QStringLiteral("pkexec")};
    return {std::move(command), std::move(program), std::move(arguments)};
}

ElevatedRevision::ElevatedRevision(Elevation elevation, std::function<bool()> giveUp)
    : m_elevation(std::move(elevation)), m_giveUp(std::move(giveUp)) {}

ElevatedRevision::~ElevatedRevision() {
    if (!m_process) return;
    // Its input closed, the helper stops at its next progress point; a font it is putting in
    // place is completed or left as it was, never torn.
    m_process->closeWriteChannel();
    if (!m_process->waitForFinished(kEndMs)) {
        m_process->terminate();
        if (!m_process->waitForFinished(kEndMs)) m_process->kill();
        m_process->waitForFinished(kEndMs);
    }
}

bool ElevatedRevision::start(const QStringList& paths, fr::Reason& why) {
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->setStandardErrorFile(QProcess::nullDevice());
    QStringList arguments = m_elevation.command.mid(1);
    arguments << m_elevation.program << m_elevation.arguments << QStringLiteral("--helper");
    m_process->start(m_elevation.command.value(0), arguments);
    if (!m_process->waitForStarted()) {
        why = {QStringLiteral("elevation-unavailable"),
               QStringLiteral("%1 could not be started").arg(m_elevation.command.value(0))};
        return false;
    }
    // The fonts' paths, one a line as the search reported them, then an empty line; the input
    // stays open, and closing it cancels.
    QByteArray list;
    for (const QString& path : paths) list += platform::encodeNativePath(path) + '\n';
    m_process->write(list + '\n');
    // The authentication comes first: the helper's first event says it runs.
    while (const std::optional<QJsonObject> event = nextEvent()) {
        if (text(*event, "event") == QLatin1String("start")) return true;
        // It ended before it started: another run holds the lock.
        if (text(*event, "event") == QLatin1String("summary")) {
            why = reasonOf(*event);
            return false;
        }
    }
    why = {QStringLiteral("authentication"),
           QStringLiteral("the authentication was refused or dismissed (%1 ended with %2)")
               .arg(m_elevation.command.value(0))
               .arg(m_process->exitCode())};
    return false;
}

std::optional<QJsonObject> ElevatedRevision::nextEvent() {
    while (m_process) {
        if (m_process->canReadLine()) {
            const QJsonDocument line = QJsonDocument::fromJson(m_process->readLine());
            if (line.isObject()) return line.object();
            continue;  // not one of the helper's events
        }
        if (m_process->state() == QProcess::NotRunning) return std::nullopt;
        if (m_giveUp && m_giveUp()) return std::nullopt;
        m_process->waitForReadyRead(kWaitMs);
    }
    return std::nullopt;
}

std::int32_t ElevatedRevision::revise(const fr::TargetEntry& target, fr::RevisionProgressProc proc, void* context,
                                      std::int32_t count, std::int32_t index, fr::Reason& reason) {
    while (const std::optional<QJsonObject> event = nextEvent()) {
        const QString kind = text(*event, "event");
        if (text(*event, "path") != target.fullpath) {
            if (kind == QLatin1String("summary")) break;  // it ended before this font
            continue;
        }
        if (kind == QLatin1String("candidate-skipped")) {
            // The helper would not revise it: not where the search looks, or not the font.
            reason = reasonOf(*event);
            return fr::result::kFontUnusable;
        }
        if (kind == QLatin1String("progress")) {
            const std::int32_t step = event->value(QStringLiteral("step")).toInt();
            if (proc &&
                proc(fr::overallPercent(step, count, index), step, target.fullpath, text(*event, "file"), context) &&
                !m_cancelled) {
                m_cancelled = true;
                m_process->closeWriteChannel();
            }
            continue;
        }
        if (kind == QLatin1String("revised")) return fr::result::kRevised;
        if (kind == QLatin1String("failed")) {
            reason = reasonOf(*event);
            return event->value(QStringLiteral("code")).toInt();
        }
    }
    if (m_cancelled) {
        reason = {QStringLiteral("cancelled"), QStringLiteral("the revision was stopped before it changed anything")};
        return fr::result::kCancelled;
    }
    reason = {QStringLiteral("helper-ended"),
              target.fullpath + QStringLiteral(": the helper revising fonts with an administrator's rights ended "
                                               "before this font")};
    return fr::result::kNewFileFailed;
}

}  // namespace wizard
