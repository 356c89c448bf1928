#pragma once

#include <QString>
#include <optional>

namespace telmo::spooler {

// What the print spooler says of one of its queues right now.
struct QueueStatus {
    bool exists = false;
    bool acceptingJobs = false;
};

// Asks the spooler (CUPS, through the library Qt's own print support uses) about a queue:
// "name" or "name/instance". std::nullopt when there is no spooler library to ask; Qt then
// cannot print to a queue either, and callers go by what Qt says alone.
std::optional<QueueStatus> QueryQueue(const QString& queue);

} // namespace telmo::spooler
