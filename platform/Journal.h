#pragma once
// The system's log of what a program did, for administrators: one structured entry per event.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace platform {

class Journal {
public:
    virtual ~Journal() = default;
    // One entry: its message and its fields (upper-case names, as the journal has them).
    // False where no journal took it; a run goes on without one.
    virtual bool record(const QString& message, const QList<QPair<QByteArray, QString>>& fields) = 0;
};

}  // namespace platform
