#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

typedef struct _http_s http_t;

namespace telmo {

// One spooler job taking a PDF document as it is written: Start creates the job and opens its
// document, writes go to the scheduler as they come, Finish closes the document so that the
// job prints, and Cancel withdraws it. The job has a connection of its own, so the spooler can
// be asked about the queue and the job meanwhile.
//
// A thread of its own sends what is written, so that drawing the next pages does not wait
// while the scheduler is busy reading the last ones; at most kMaxQueuedBytes wait to be sent,
// beyond that a write waits, so memory stays bounded however long the document.
//
// A send that fails (the scheduler gone, the queue removed under the job) fails every later
// write and Finish; errorString() says why in the spooler's words.
class SpoolJob : public QIODevice {
public:
    // Options as the spooler takes them ("copies", "sides", "media"...).
    using Options = std::vector<std::pair<QByteArray, QByteArray>>;

    SpoolJob(const QString& queue, const QString& title, Options options);
    ~SpoolJob() override; // a job neither finished nor cancelled is cancelled

    SpoolJob(const SpoolJob&) = delete;
    SpoolJob& operator=(const SpoolJob&) = delete;

    // Creates the job and starts its document; false with errorString() when the spooler refused.
    bool Start();
    // Sends the rest and ends the document; the job is then the spooler's to print. False with
    // errorString().
    bool Finish();
    // Withdraws the job; what was sent of it is not printed.
    void Cancel();
    // The spooler's number for the job, 0 before Start.
    int Id() const { return id_; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override;

private:
    static constexpr qsizetype kChunkBytes = 64 * 1024;
    static constexpr qsizetype kMaxQueuedBytes = 4 * 1024 * 1024;

    void Send(); // the sending thread
    void Queue(QByteArray chunk);
    // Ends the sending thread once what is queued is sent (or at once when dropping it);
    // false when a send failed.
    bool StopSending(bool drop);
    void Close();

    QString queue_;
    QString title_;
    Options options_;
    http_t* http_ = nullptr;
    int id_ = 0;
    bool sending_ = false; // the document is open: between Start and Finish or Cancel
    QByteArray pending_;   // written, not yet queued: chunks go to the thread whole

    std::thread sender_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QByteArray> queued_; // guarded by mutex_, as are the three below
    qsizetype queuedBytes_ = 0;
    bool noMore_ = false;
    bool failed_ = false;
    QString failure_; // the spooler's words, set by the thread when a send failed
};

} // namespace telmo
