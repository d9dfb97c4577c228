#include "app/Console.h"

#include "patch/RevisionCodes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QVariant>

#include <sys/ioctl.h>
#include <unistd.h>

namespace wizard {

namespace {
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

QString Console::revisionText(std::uint32_t version) {
    QString text = QString::number(version / 65536.0, 'f', 3);
    while (text.endsWith(QLatin1Char('0')) && !text.endsWith(QLatin1String(".0"))) text.chop(1);
    return text;
}

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

void Console::writeJson(const char* event, const QList<QPair<QString, QVariant>>& fields) {
    QJsonObject object{{QStringLiteral("event"), QString::fromLatin1(event)}};
    for (const auto& [key, value] : fields) object.insert(key, QJsonValue::fromVariant(value));
    if (m_verified) object.insert(QStringLiteral("verified"), *m_verified);
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), m_out);
    std::fflush(m_out);  // each event as it happens, for monitoring
}

void Console::patchesVerified(bool verified, const QString& folder) {
    m_verified = verified;
    if (!m_json && !verified)
        line(m_err, QStringLiteral("注意: %1 のパッチは署名されたマニフェストで検証されていません。").arg(folder));
}

void Console::searching(const QString& folder) {
    if (!m_json && m_terminal) live(QStringLiteral("検索しています: ") + folder);
}

void Console::targetsFound(const std::vector<fr::TargetEntryPtr>& targets) {
    if (m_json) {
        for (const auto& t : targets)
            writeJson("target", {{QStringLiteral("path"), t->fullpath},
                                 {QStringLiteral("version"), static_cast<qint64>(t->version)},
                                 {QStringLiteral("revision"), revisionText(t->version)}});
        return;
    }
    endLive();
}

void Console::listTargets(const std::vector<fr::TargetEntryPtr>& targets) {
    if (m_json) return;
    for (const auto& t : targets) line(m_out, t->fullpath + QLatin1Char('\t') + revisionText(t->version));
}

void Console::fontStarts(const fr::TargetEntry& target, std::int32_t index, std::int32_t count) {
    m_font = target.fullpath;
    m_index = index;
    m_count = count;
}

void Console::progress(std::int32_t overall, std::int32_t step, const QString& line1, const QString& line2) {
    if (m_json) {
        writeJson("progress", {{QStringLiteral("path"), m_font},
                               {QStringLiteral("index"), m_index},
                               {QStringLiteral("count"), m_count},
                               {QStringLiteral("overall"), overall},
                               {QStringLiteral("step"), step},
                               {QStringLiteral("line1"), line1},
                               {QStringLiteral("line2"), line2}});
    } else if (m_terminal) {
        live(QStringLiteral("[%1%] %2/%3 %4").arg(overall, 3).arg(m_index + 1).arg(m_count).arg(line2));
    } else {
        line(m_err, QStringLiteral("%1% %2% %3 | %4").arg(overall).arg(step).arg(line1, line2));
    }
}

void Console::fontEnds(const fr::TargetEntry& target, std::int32_t code, bool skipped, const QString& message) {
    if (m_json) {
        if (code == fr::result::kRevised)
            writeJson("revised", {{QStringLiteral("path"), target.fullpath}, {QStringLiteral("skipped"), skipped}});
        else
            writeJson("failed", {{QStringLiteral("path"), target.fullpath},
                                 {QStringLiteral("code"), code},
                                 {QStringLiteral("message"), message}});
        return;
    }
    endLive();
    if (code == fr::result::kRevised)
        line(m_err, QStringLiteral("%1/%2 %3 %4")
                        .arg(m_index + 1)
                        .arg(m_count)
                        .arg(skipped ? QStringLiteral("同じファイルは改訂済みです:") : QStringLiteral("改訂しました:"),
                             target.fullpath));
}

void Console::summary(int status, const QStringList& revised, const QString& message, bool restartNeeded,
                      bool restartRequested) {
    if (m_json) {
        writeJson("summary", {{QStringLiteral("status"), status},
                              {QStringLiteral("revised"), revised},
                              {QStringLiteral("message"), message},
                              {QStringLiteral("restartNeeded"), restartNeeded},
                              {QStringLiteral("restartRequested"), restartRequested}});
        return;
    }
    endLive();
    if (!revised.isEmpty()) {
        line(m_out, QStringLiteral("改訂したフォント:"));
        for (const QString& path : revised) line(m_out, QStringLiteral("  ") + path);
    }
    if (!message.isEmpty()) line(status == 0 ? m_out : m_err, message);
}

void Console::fatal(int status, const QString& message, const QString& detail) {
    if (m_json) {
        QList<QPair<QString, QVariant>> fields{{QStringLiteral("status"), status},
                                               {QStringLiteral("revised"), QStringList()},
                                               {QStringLiteral("message"), message},
                                               {QStringLiteral("restartNeeded"), false},
                                               {QStringLiteral("restartRequested"), false}};
        if (!detail.isEmpty()) fields.append({QStringLiteral("detail"), detail});
        writeJson("summary", fields);
        return;
    }
    endLive();
    line(m_err, message);
    if (!detail.isEmpty()) line(m_err, detail);
}

}  // namespace wizard
