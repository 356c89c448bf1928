#include "platform/print/SpoolJob.h"

#include "platform/print/Spooler.h"

#include <cups/cups.h>

namespace telmo {

SpoolJob::SpoolJob(const QString& queue, const QString& title, Options options)
    : queue_(queue), title_(title), options_(std::move(options)) {}

SpoolJob::~SpoolJob() {
    if (sending_)
        Cancel();
    Close();
}

void SpoolJob::Close() {
    if (http_)
        httpClose(http_);
    http_ = nullptr;
    if (isOpen())
        QIODevice::close();
}

void SpoolJob::Fail() {
    // The library's last error is per thread and says what the scheduler answered, or why it
    // could not be reached.
    setErrorString(QString::fromUtf8(cupsLastErrorString()));
    sending_ = false;
    Close();
}

bool SpoolJob::Start() {
    http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000, nullptr);
    if (!http_) {
        setErrorString(QStringLiteral("the print spooler does not answer"));
        return false;
    }
    int count = 0;
    cups_option_t* options = nullptr;
    for (const auto& [name, value] : options_)
        count = cupsAddOption(name.constData(), value.constData(), count, &options);
    const QByteArray queue = spooler::QueueName(queue_);
    const QByteArray title = title_.toUtf8();
    id_ = cupsCreateJob(http_, queue.constData(), title.constData(), count, options);
    cupsFreeOptions(count, options);
    if (id_ <= 0) {
        id_ = 0;
        Fail();
        return false;
    }
    if (cupsStartDocument(http_, queue.constData(), id_, title.constData(), CUPS_FORMAT_PDF, 1) !=
        HTTP_STATUS_CONTINUE) {
        Fail();
        spooler::CancelJob(queue_, id_); // a job without its document would wait for ever
        return false;
    }
    sending_ = true;
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return true;
}

qint64 SpoolJob::writeData(const char* data, qint64 length) {
    if (!sending_)
        return -1;
    if (cupsWriteRequestData(http_, data, static_cast<size_t>(length)) != HTTP_STATUS_CONTINUE) {
        Fail();
        return -1;
    }
    return length;
}

bool SpoolJob::Finish() {
    if (!sending_)
        return false;
    sending_ = false;
    const ipp_status_t status = cupsFinishDocument(http_, spooler::QueueName(queue_).constData());
    if (status > IPP_STATUS_OK_EVENTS_COMPLETE) {
        Fail();
        return false;
    }
    Close();
    return true;
}

void SpoolJob::Cancel() {
    // The document's request is dropped with its connection, then the job itself is withdrawn.
    sending_ = false;
    Close();
    if (id_ > 0)
        spooler::CancelJob(queue_, id_);
}

} // namespace telmo
