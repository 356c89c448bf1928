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
        // The library's last error is per thread: what the scheduler answered, or why it
        // could not be reached.
        setErrorString(QString::fromUtf8(cupsLastErrorString()));
        Close();
        return false;
    }
    if (cupsStartDocument(http_, queue.constData(), id_, title.constData(), CUPS_FORMAT_PDF, 1) !=
        HTTP_STATUS_CONTINUE) {
        setErrorString(QString::fromUtf8(cupsLastErrorString()));
        Close();
        spooler::CancelJob(queue_, id_); // a job without its document would wait for ever
        return false;
    }
    sending_ = true;
    noMore_ = failed_ = false;
    sender_ = std::thread(&SpoolJob::Send, this);
    QIODevice::open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return true;
}

void SpoolJob::Send() {
    for (;;) {
        QByteArray chunk;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !queued_.empty() || noMore_ || failed_; });
            if (failed_ || queued_.empty())
                return;
            chunk = std::move(queued_.front());
            queued_.pop_front();
        }
        const bool sent = cupsWriteRequestData(http_, chunk.constData(), static_cast<size_t>(chunk.size())) ==
                          HTTP_STATUS_CONTINUE;
        std::lock_guard lock(mutex_);
        queuedBytes_ -= chunk.size();
        if (!sent) {
            failed_ = true;
            failure_ = QString::fromUtf8(cupsLastErrorString());
        }
        changed_.notify_all();
        if (!sent)
            return;
    }
}

void SpoolJob::Queue(QByteArray chunk) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queuedBytes_ < kMaxQueuedBytes || failed_; });
    queuedBytes_ += chunk.size();
    queued_.push_back(std::move(chunk));
    changed_.notify_all();
}

qint64 SpoolJob::writeData(const char* data, qint64 length) {
    {
        std::lock_guard lock(mutex_);
        if (!sending_ || failed_) {
            setErrorString(failure_);
            return -1;
        }
    }
    pending_.append(data, length);
    if (pending_.size() >= kChunkBytes) {
        Queue(std::move(pending_));
        pending_ = QByteArray();
    }
    return length;
}

bool SpoolJob::StopSending(bool drop) {
    if (!sender_.joinable())
        return false;
    if (!drop && !pending_.isEmpty())
        Queue(std::move(pending_));
    pending_ = QByteArray();
    {
        std::lock_guard lock(mutex_);
        noMore_ = true;
        if (drop) {
            queued_.clear();
            queuedBytes_ = 0;
        }
        changed_.notify_all();
    }
    sender_.join();
    std::lock_guard lock(mutex_);
    if (failed_)
        setErrorString(failure_);
    return !failed_;
}

bool SpoolJob::Finish() {
    if (!sending_)
        return false;
    sending_ = false;
    bool ok = StopSending(false);
    if (ok &&
        cupsFinishDocument(http_, spooler::QueueName(queue_).constData()) > IPP_STATUS_OK_EVENTS_COMPLETE) {
        setErrorString(QString::fromUtf8(cupsLastErrorString()));
        ok = false;
    }
    Close();
    return ok;
}

void SpoolJob::Cancel() {
    // The document's request is dropped with its connection, then the job itself is withdrawn.
    sending_ = false;
    StopSending(true);
    Close();
    if (id_ > 0)
        spooler::CancelJob(queue_, id_);
}

} // namespace telmo
