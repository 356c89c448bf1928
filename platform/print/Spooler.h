#pragma once

#include <QString>
#include <optional>

namespace telmo::spooler {

// What the print spooler says of one of its queues right now.
struct QueueStatus {
    bool exists = false;
    bool acceptingJobs = false;
    bool stopped = false;       // disabled: jobs wait in the queue
    bool spoolerAnswers = true; // false: no queue is known because the spooler is not reached
};

// What became of a job as far as the spooler has told.
enum class JobFate { Unknown, Waiting, Printing, Held, Stopped, Cancelled, Aborted, Completed };

struct Job {
    int id = 0;
    JobFate fate = JobFate::Unknown;
};

// Asks the spooler (CUPS, through the library Qt's own print support uses) about a queue:
// "name" or "name/instance". std::nullopt when there is no spooler library to ask; Qt then
// cannot print to a queue either, and callers go by what Qt says alone.
std::optional<QueueStatus> QueryQueue(const QString& queue);

// The newest job of the queue (id 0 when there is none or no spooler to ask).
Job NewestJob(const QString& queue);

} // namespace telmo::spooler
