#include "platform/print/Spooler.h"

#include <cups/cups.h>
#include <memory>

namespace telmo::spooler {
namespace {

struct DestFree {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
struct IppFree {
    void operator()(ipp_t* ipp) const { ippDelete(ipp); }
};

} // namespace

QByteArray QueueName(const QString& queue) {
    return queue.section(QLatin1Char('/'), 0, 0).toUtf8();
}

bool SpoolerAnswers() {
    // A connection of its own, given up after a few seconds: the library's default one
    // would wait for the scheduler much longer.
    http_t* http =
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 3000, nullptr);
    if (!http)
        return false;
    httpClose(http);
    return true;
}

QString ServerName() {
    return QString::fromUtf8(cupsServer());
}

QueueStatus QueryQueue(const QString& queue) {
    const qsizetype slash = queue.indexOf(QLatin1Char('/'));
    const QByteArray name = QueueName(queue);
    const QByteArray instance = slash < 0 ? QByteArray() : queue.mid(slash + 1).toUtf8();
    const std::unique_ptr<cups_dest_t, DestFree> dest(cupsGetNamedDest(
        CUPS_HTTP_DEFAULT, name.constData(), instance.isEmpty() ? nullptr : instance.constData()));
    QueueStatus status;
    if (!dest) {
        // CUPS says "no such printer" also when it cannot reach the scheduler at all.
        status.spoolerAnswers = SpoolerAnswers();
        return status;
    }
    status.exists = true;
    const auto option = [&](const char* key) {
        const char* value = cupsGetOption(key, dest->num_options, dest->options);
        return value ? QString::fromUtf8(value) : QString();
    };
    // An old scheduler that does not say is taken at its word that it prints.
    const QString accepting = option("printer-is-accepting-jobs");
    status.acceptingJobs = accepting.isEmpty() || accepting == QLatin1String("true");
    status.stopped = option("printer-state").toInt() == IPP_PSTATE_STOPPED;
    return status;
}

JobStatus QueryJob(const QString& queue, int jobId) {
    JobStatus status;
    // The job's state from the list of this user's jobs on the queue: only this job is
    // looked at, whatever else others print there.
    cups_job_t* jobs = nullptr;
    const QByteArray name = QueueName(queue);
    const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, name.constData(), 1, CUPS_WHICHJOBS_ALL);
    for (int i = 0; i < count; ++i) {
        if (jobs[i].id != jobId)
            continue;
        switch (jobs[i].state) {
        case IPP_JSTATE_PENDING:
            status.fate = JobFate::Waiting;
            break;
        case IPP_JSTATE_HELD:
            status.fate = JobFate::Held;
            break;
        case IPP_JSTATE_PROCESSING:
            status.fate = JobFate::Printing;
            break;
        case IPP_JSTATE_STOPPED:
            status.fate = JobFate::Stopped;
            break;
        case IPP_JSTATE_CANCELED:
            status.fate = JobFate::Cancelled;
            break;
        case IPP_JSTATE_ABORTED:
            status.fate = JobFate::Aborted;
            break;
        case IPP_JSTATE_COMPLETED:
            status.fate = JobFate::Completed;
            break;
        }
    }
    if (jobs)
        cupsFreeJobs(count, jobs);
    if (status.fate == JobFate::Unknown || status.fate == JobFate::Completed)
        return status;
    // The job list leaves out what the spooler said of the job; its own attributes have it.
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", 0, "/jobs/%d", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
                 "job-printer-state-message");
    const std::unique_ptr<ipp_t, IppFree> response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"));
    if (ipp_attribute_t* message =
            response ? ippFindAttribute(response.get(), "job-printer-state-message", IPP_TAG_TEXT) : nullptr)
        status.message = QString::fromUtf8(ippGetString(message, 0, nullptr)).trimmed();
    return status;
}

bool CancelJob(const QString& queue, int jobId) {
    return cupsCancelJob(QueueName(queue).constData(), jobId) != 0;
}

} // namespace telmo::spooler
