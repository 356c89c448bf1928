#pragma once

#include <QString>

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

struct JobStatus {
    JobFate fate = JobFate::Unknown;
    // The spooler's own words on the job (job-printer-state-message), often what a failing
    // backend said; empty when it said nothing.
    QString message;
};

// Asks the spooler (CUPS, at the server CUPS_SERVER or the client configuration names) about
// a queue: "name" or "name/instance".
QueueStatus QueryQueue(const QString& queue);

// True when the spooler answers at all; asked with a short wait of its own.
bool SpoolerAnswers();
// Where the spooler is looked for: a host name or a socket path.
QString ServerName();

// The state of one job of the queue. Unknown when the spooler does not know it (or is gone).
JobStatus QueryJob(const QString& queue, int jobId);

// Cancels one job; false when the spooler refused or could not be reached.
bool CancelJob(const QString& queue, int jobId);

// The queue name as the spooler's job calls take it: the part before an instance's "/".
QByteArray QueueName(const QString& queue);

} // namespace telmo::spooler
