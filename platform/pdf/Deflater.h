#pragma once

#include <QByteArray>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace telmo {

// Flate for PDF streams, and a thread that packs one page's content while the next page is
// laid out: packing is about a fifth of a long report's time, and the page before is the
// only one held besides the page being drawn.
class Deflater {
public:
    Deflater() = default;
    ~Deflater(); // waits for the stream in hand, then ends the thread
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    // A zlib stream of the data, at once, on the calling thread.
    static QByteArray Deflate(const QByteArray& data);

    // Starts packing the data on the thread; the result started before must have been taken.
    void Start(QByteArray data);
    // The packed result of the last Start, when it is ready.
    QByteArray Take();

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::optional<QByteArray> input_, output_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace telmo
