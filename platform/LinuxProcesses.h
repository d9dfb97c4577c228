#pragma once
// The current user's running processes, read from /proc.

#include "platform/Processes.h"

#include <QString>

#include <sys/types.h>

#include <optional>

namespace platform {

class LinuxProcesses : public Processes {
public:
    // `procFolder` and `uid` stand in for /proc and the process's own user in tests.
    explicit LinuxProcesses(QString procFolder = QStringLiteral("/proc"), std::optional<uid_t> uid = std::nullopt);

    // The user's processes in ascending id; kernel threads, zombies, other users' processes
    // and processes that ended while being read are left out. A process whose executable
    // can't be read is listed without a location.
    std::vector<RunningProcess> running() const override;

private:
    QString m_proc;
    std::optional<uid_t> m_uid;
};

}  // namespace platform
