#pragma once
// systemd's journal: one structured entry per record, where journald runs.

#include "platform/Journal.h"

namespace platform {

// Where journald does not run, every record fails and nothing else happens.
class SystemJournal : public Journal {
public:
    bool record(const QString& message, const QList<QPair<QByteArray, QString>>& fields) override;
};

}  // namespace platform
