#include "platform/pdf/Deflater.h"

#include <csignal>
#include <pthread.h>

namespace telmo {
namespace {

// Flate at its fastest level: page streams are many and repetitive, so a higher level costs
// half as much time again for a file 5% smaller (measured on order lists of 20,000 rows).
constexpr int kCompressionLevel = 1;

} // namespace

QByteArray Deflater::Deflate(const QByteArray& data) {
    // qCompress prefixes the zlib stream with its length in four bytes.
    return qCompress(data, kCompressionLevel).mid(4);
}

Deflater::~Deflater() {
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void Deflater::Start(QByteArray data) {
    if (!thread_.joinable()) {
        // The thread takes no signals (it inherits this mask): they go to the threads that
        // drive the document, where a handler may safely use what that thread holds.
        sigset_t all, before;
        sigfillset(&all);
        ::pthread_sigmask(SIG_BLOCK, &all, &before);
        thread_ = std::thread([this] { Run(); });
        ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    }
    {
        std::lock_guard lock(mutex_);
        input_ = std::move(data);
    }
    changed_.notify_all();
}

QByteArray Deflater::Take() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return output_.has_value(); });
    QByteArray packed = std::move(*output_);
    output_.reset();
    return packed;
}

void Deflater::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return input_.has_value() || stopping_; });
        if (!input_)
            return;
        const QByteArray data = std::move(*input_);
        input_.reset();
        lock.unlock();
        QByteArray packed = Deflate(data);
        lock.lock();
        output_ = std::move(packed);
        changed_.notify_all();
    }
}

} // namespace telmo
