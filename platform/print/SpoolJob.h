#pragma once

#include <QIODevice>
#include <QString>
#include <utility>
#include <vector>

typedef struct _http_s http_t;

namespace telmo {

// One spooler job taking a PDF document as it is written: Start creates the job and opens its
// document, every write goes to the scheduler at once (the document is never held whole,
// here or in a spool file), Finish closes the document so that the job prints, and Cancel
// withdraws it. The job has a connection of its own, so the spooler can be asked about the
// queue and the job meanwhile.
//
// A write that fails (the scheduler gone, the queue removed under the job) fails every later
// one; errorString() says why in the spooler's words.
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
    // Ends the document; the job is then the spooler's to print. False with errorString().
    bool Finish();
    // Withdraws the job; what was sent of it is not printed.
    void Cancel();
    // The spooler's number for the job, 0 before Start.
    int Id() const { return id_; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override;

private:
    void Fail();
    void Close();

    QString queue_;
    QString title_;
    Options options_;
    http_t* http_ = nullptr;
    int id_ = 0;
    bool sending_ = false; // the document is open: between Start and Finish or Cancel
};

} // namespace telmo
