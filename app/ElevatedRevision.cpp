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
    // How a font ended: refused by the helper's own checks, revised, or failed.
    const auto endOf = [&reason](const QJsonObject& event) {
        const QString kind = text(event, "event");
        if (kind == QLatin1String("revised")) return fr::result::kRevised;
        reason = reasonOf(event);
        // Refused: not where the search looks, or not the font.
        if (kind == QLatin1String("candidate-skipped")) return fr::result::kFontUnusable;
        return event.value(QStringLiteral("code")).toInt();
    };
    if (const auto ended = m_ended.find(target.fullpath); ended != m_ended.end()) {
        const QJsonObject event = ended.value();
        m_ended.erase(ended);
        return endOf(event);
    }
    while (!m_summary) {
        const std::optional<QJsonObject> event = nextEvent();
        if (!event) break;
        const QString kind = text(*event, "event");
        if (kind == QLatin1String("summary")) {
            m_summary = *event;
            break;
        }
        const bool isEnd = kind == QLatin1String("candidate-skipped") || kind == QLatin1String("revised") ||
                           kind == QLatin1String("failed");
        // The helper refuses fonts before it revises any: another font's end waits for its turn.
        if (text(*event, "path") != target.fullpath) {
            if (isEnd) m_ended.insert(text(*event, "path"), *event);
            continue;
        }
        if (isEnd) return endOf(*event);
        // A cancel once confirmed is not asked again while the helper comes to its next point.
        if (kind == QLatin1String("progress") && !m_cancelled) {
            const std::int32_t step = event->value(QStringLiteral("step")).toInt();
            if (proc &&
                proc(fr::overallPercent(step, count, index), step, target.fullpath, text(*event, "file"), context)) {
                m_cancelled = true;
                m_process->closeWriteChannel();
            }
        }
    }
    if (m_cancelled) {
        reason = {QStringLiteral("cancelled"), QStringLiteral("the revision was stopped before it changed anything")};
        return fr::result::kCancelled;
    }
    // It ended before this font: its own reason where it gave one.
    if (m_summary && !text(*m_summary, "reason").isEmpty()) {
        reason = reasonOf(*m_summary);
        return fr::result::kNewFileFailed;
    }
    reason = {QStringLiteral("helper-ended"),
              target.fullpath + QStringLiteral(": the helper revising fonts with an administrator's rights ended "
                                               "before this font")};
    return fr::result::kNewFileFailed;
}

}  // namespace wizard
