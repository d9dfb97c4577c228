#pragma once
// The running applications, as the font manager test walks them.

#include <QString>

#include <optional>
#include <vector>

namespace platform {

struct RunningProcess {
    // False when the location of the process's bundle can't be had; that ends the walk for
    // the system's font manager.
    bool hasLocation = false;
    // The catalog name of that location (its last path component; on Linux the file name of
    // the process's executable); nothing if unreadable.
    std::optional<QString> catalogName;
};

class Processes {
public:
    virtual ~Processes() = default;
    // In list order. An empty list means the first request for a process failed.
    virtual std::vector<RunningProcess> running() const = 0;
};

}  // namespace platform
