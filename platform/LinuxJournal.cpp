#include "platform/LinuxJournal.h"

#include <sys/uio.h>
#include <systemd/sd-journal.h>

#include <vector>

namespace platform {

bool SystemJournal::record(const QString& message, const QList<QPair<QByteArray, QString>>& fields) {
    std::vector<QByteArray> entries;
    entries.push_back("MESSAGE=" + message.toUtf8());
    entries.emplace_back("PRIORITY=6");  // informational
    entries.emplace_back("SYSLOG_IDENTIFIER=font-reviser");
    for (const auto& [name, value] : fields) entries.push_back(name + '=' + value.toUtf8());
    std::vector<iovec> vectors;
    vectors.reserve(entries.size());
    for (QByteArray& entry : entries) vectors.push_back({entry.data(), static_cast<std::size_t>(entry.size())});
    return ::sd_journal_sendv(vectors.data(), static_cast<int>(vectors.size())) == 0;
}

}  // namespace platform
