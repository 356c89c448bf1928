#include "platform/pdf/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace telmo {
namespace {

// The temporary file a signal handler removes: a plain buffer, since a handler may not
// allocate or lock. One file at a time is written; a second one is only removed normally.
char unfinishedPath[PATH_MAX];
volatile std::sig_atomic_t hasUnfinished = 0;

void RememberUnfinished(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (hasUnfinished || name.size() >= static_cast<qsizetype>(sizeof unfinishedPath))
        return;
    std::memcpy(unfinishedPath, name.constData(), static_cast<size_t>(name.size()) + 1);
    hasUnfinished = 1;
}

void ForgetUnfinished(const QString& path) {
    if (hasUnfinished && QFile::encodeName(path) == QByteArray(unfinishedPath))
        hasUnfinished = 0;
}

QString ErrnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

// Writes to a file descriptor through a buffer of its own, keeping the reason of the first
// failed write (QFile loses it for a descriptor it did not open). After a failure every write
// fails, so nothing is written past a gap.
class OutputFile::Writer : public QIODevice {
public:
    explicit Writer(int fd) : fd_(fd) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }
    ~Writer() override { Close(); }

    bool Drain() {
        const char* data = buffer_.constData();
        qsizetype left = buffer_.size();
        while (left > 0 && error_ == 0) {
            const ssize_t written = ::write(fd_, data, static_cast<size_t>(left));
            if (written < 0) {
                if (errno != EINTR)
                    error_ = errno;
                continue;
            }
            data += written;
            left -= written;
        }
        buffer_.clear();
        return error_ == 0;
    }
    int Error() const { return error_; }
    int Handle() const { return fd_; }
    bool Close() {
        if (fd_ < 0)
            return error_ == 0;
        Drain();
        if (::close(fd_) != 0 && error_ == 0 && errno != EINTR)
            error_ = errno;
        fd_ = -1;
        QIODevice::close();
        return error_ == 0;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (error_ != 0 || fd_ < 0)
            return -1;
        buffer_.append(data, static_cast<qsizetype>(size));
        if (buffer_.size() >= kBufferSize && !Drain())
            return -1;
        return size;
    }

private:
    static constexpr qsizetype kBufferSize = 1 << 16;
    int fd_;
    int error_ = 0;
    QByteArray buffer_;
};

OutputFile::OutputFile(QString target) : target_(std::move(target)) {}

OutputFile::~OutputFile() {
    Discard();
}

QIODevice& OutputFile::Device() {
    if (!writer_)
        writer_ = std::make_unique<Writer>(-1); // fails every write
    return *writer_;
}

void OutputFile::Fail(const QString& reason) {
    if (!failed_)
        error_ = reason;
    failed_ = true;
}

bool OutputFile::Open() {
    QFileInfo info(target_);
    if (info.isDir()) {
        Fail(QStringLiteral("it is a folder"));
        return false;
    }
    // A device or a pipe is written straight: renaming a file over it would replace the
    // device node itself.
    if (info.exists() && !info.isFile()) {
        const int fd = ::open(QFile::encodeName(target_).constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            Fail(ErrnoText(errno));
            return false;
        }
        writer_ = std::make_unique<Writer>(fd);
        return true;
    }
    // Through a symbolic link the file it names is replaced, not the link.
    const QString real = info.isSymLink() && info.exists() ? info.canonicalFilePath() : target_;
    const QFileInfo realInfo(real);
    const QDir folder = realInfo.absoluteDir();
    struct stat existing {};
    const bool replaces = ::stat(QFile::encodeName(real).constData(), &existing) == 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString candidate = folder.filePath(
            QStringLiteral("%1.%2.part")
                .arg(realInfo.fileName())
                .arg(QRandomGenerator::global()->generate() & 0xffffff, 6, 16, QLatin1Char('0')));
        // 0666 as any new file, narrowed by the umask; a replaced file keeps its mode.
        const int fd =
            ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            Fail(ErrnoText(errno));
            return false;
        }
        if (replaces)
            (void)::fchmod(fd, existing.st_mode & 07777);
        temporary_ = candidate;
        RememberUnfinished(temporary_);
        writer_ = std::make_unique<Writer>(fd);
        target_ = real;
        return true;
    }
    Fail(QStringLiteral("no free temporary file name in %1").arg(folder.path()));
    return false;
}

bool OutputFile::Flush() {
    if (writer_ && !writer_->Drain())
        Fail(ErrnoText(writer_->Error()));
    return !failed_ && writer_;
}

bool OutputFile::Commit() {
    if (!writer_ || writer_->Handle() < 0) {
        if (!failed_)
            Fail(QStringLiteral("it was not open"));
        Discard();
        return false;
    }
    Flush();
    // A full disk or a failing network share may show only when the data reaches the disk;
    // a device or pipe cannot be synced, which is no failure.
    if (!failed_ && ::fsync(writer_->Handle()) != 0 && errno != EINVAL && errno != EROFS)
        Fail(ErrnoText(errno));
    if (!writer_->Close() && !failed_)
        Fail(ErrnoText(writer_->Error()));
    if (failed_) {
        Discard();
        return false;
    }
    if (!temporary_.isEmpty()) {
        if (::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(target_).constData()) !=
            0) {
            Fail(ErrnoText(errno));
            Discard();
            return false;
        }
        ForgetUnfinished(temporary_);
        temporary_.clear();
    }
    return true;
}

void OutputFile::Discard() {
    if (writer_)
        writer_->Close();
    if (!temporary_.isEmpty()) {
        ::unlink(QFile::encodeName(temporary_).constData());
        ForgetUnfinished(temporary_);
        temporary_.clear();
    }
}

void OutputFile::RemoveUnfinishedNow() noexcept {
    if (hasUnfinished) {
        ::unlink(unfinishedPath);
        hasUnfinished = 0;
    }
}

} // namespace telmo
