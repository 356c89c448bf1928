#include "platform/pdf/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
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

constexpr std::array kEndingSignals{SIGHUP,  SIGINT,  SIGQUIT, SIGTERM, SIGUSR1,   SIGUSR2,
                                    SIGALRM, SIGPIPE, SIGXFSZ, SIGXCPU, SIGVTALRM, SIGPROF};

// Holds the ending signals back while a temporary file is made and remembered, so that one
// arriving in between cannot end the process with a file nobody will remove.
class EndingSignalsHeld {
public:
    EndingSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : kEndingSignals)
            sigaddset(&held, signal);
        ::pthread_sigmask(SIG_BLOCK, &held, &before_);
    }
    ~EndingSignalsHeld() { ::pthread_sigmask(SIG_SETMASK, &before_, nullptr); }
    EndingSignalsHeld(const EndingSignalsHeld&) = delete;
    EndingSignalsHeld& operator=(const EndingSignalsHeld&) = delete;

private:
    sigset_t before_;
};

// The signals whose default action ends the process: each first removes the temporary file
// being written, then ends the process as it would have. Only signals still at their default
// are taken; a host's own handler is left alone.
extern "C" void RemoveUnfinishedAndEnd(int signal) {
    OutputFile::RemoveUnfinishedNow();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

void InstallSignalCleanup() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    for (const int signal : kEndingSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL)
            continue;
        struct sigaction cleanup {};
        cleanup.sa_handler = RemoveUnfinishedAndEnd;
        sigemptyset(&cleanup.sa_mask);
        ::sigaction(signal, &cleanup, nullptr);
    }
}

bool SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some filesystems cannot sync a folder at all; that is no failure of this file.
    const bool synced = ::fsync(fd) == 0 || errno == EINVAL;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

// The temporary file's name: the target's name, cut (at a character boundary) so the whole
// fits the folder's longest name, then ".PPPPPPPP-RRRRRR.part": the writer's process number
// and a random part, both hexadecimal. The fixed width makes the files of any writer for the
// same target share the cut name, so a later run can find those of writers that have died.
class TemporaryName {
public:
    TemporaryName(const QByteArray& targetName, const QByteArray& folder) : stem_(targetName) {
        long longest = ::pathconf(folder.constData(), _PC_NAME_MAX);
        if (longest <= 0)
            longest = NAME_MAX;
        qsizetype keep = std::max<qsizetype>(0, longest - kSuffixLength);
        if (stem_.size() > keep) {
            while (keep > 0 && (static_cast<unsigned char>(stem_[keep]) & 0xC0) == 0x80)
                --keep; // never half a UTF-8 character
            stem_.truncate(keep);
        }
    }

    QByteArray Make(uint32_t random) const {
        char suffix[kSuffixLength + 1];
        std::snprintf(suffix, sizeof suffix, ".%08x-%06x.part", static_cast<unsigned>(::getpid()),
                      random & 0xffffffu);
        return stem_ + suffix;
    }

    // Removes this target's temporary files of our own whose writer is no longer running.
    void RemoveStale(const QByteArray& folder) const {
        DIR* dir = ::opendir(folder.constData());
        if (dir == nullptr)
            return;
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            unsigned pid = 0, random = 0;
            int end = 0;
            if (name.size() != stem_.size() + kSuffixLength || !name.startsWith(stem_) ||
                std::sscanf(name.constData() + stem_.size(), ".%8x-%6x.part%n", &pid, &random, &end) != 2 ||
                end != kSuffixLength || static_cast<pid_t>(pid) == ::getpid())
                continue;
            const QByteArray path = folder + '/' + name;
            struct stat file {};
            if (::lstat(path.constData(), &file) != 0 || !S_ISREG(file.st_mode) || file.st_uid != ::geteuid())
                continue;
            if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
                ::unlink(path.constData());
        }
        ::closedir(dir);
    }

private:
    static constexpr int kSuffixLength = 21; // ".PPPPPPPP-RRRRRR.part"
    QByteArray stem_;
};

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

QString OutputFile::Refusal() {
    const QByteArray path = QFile::encodeName(target_);
    struct stat link {};
    if (::lstat(path.constData(), &link) != 0)
        return errno == ENOENT ? QString() : ErrnoText(errno);
    if (S_ISLNK(link.st_mode)) {
        // The kernel's rule for links in sticky shared folders (fs.protected_symlinks), which a
        // rename over the file the link names would otherwise get round: only a link of our own
        // or of the folder's owner is followed there.
        struct stat folder {};
        const QByteArray folderPath = QFile::encodeName(QFileInfo(target_).absolutePath());
        if (::stat(folderPath.constData(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
            (folder.st_mode & S_IWOTH) && link.st_uid != ::geteuid() && link.st_uid != folder.st_uid)
            return QStringLiteral("it is a symbolic link that another user made in a shared folder; "
                                  "name the file itself, in a folder of your own");
    }
    struct stat named {};
    if (::stat(path.constData(), &named) != 0)
        return errno == ENOENT ? QString() : ErrnoText(errno); // a dangling link is replaced itself
    if (S_ISDIR(named.st_mode))
        return QStringLiteral("it is a folder");
    if (!S_ISREG(named.st_mode))
        return S_ISFIFO(named.st_mode) ? QStringLiteral("it is a pipe (FIFO), not a regular file")
                                       : QStringLiteral("it is a device or socket, not a regular file");
    // Through a symbolic link the file it names is replaced, not the link.
    if (S_ISLNK(link.st_mode))
        target_ = QFileInfo(target_).canonicalFilePath();
    return QString();
}

bool OutputFile::Open() {
    if (const QString refusal = Refusal(); !refusal.isEmpty()) {
        Fail(refusal);
        return false;
    }
    InstallSignalCleanup();
    const QFileInfo info(target_);
    const QString folder = info.absolutePath();
    const QByteArray folderBytes = QFile::encodeName(folder);
    struct stat existing {};
    const bool replaces = ::stat(QFile::encodeName(target_).constData(), &existing) == 0;
    const TemporaryName name(QFile::encodeName(info.fileName()), folderBytes);
    name.RemoveStale(folderBytes);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray candidate = folderBytes + '/' + name.Make(QRandomGenerator::global()->generate());
        // 0666 as any new file, narrowed by the umask; a replaced file keeps its mode.
        EndingSignalsHeld held;
        const int fd = ::open(candidate.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0)
            RememberUnfinished(QFile::decodeName(candidate));
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            Fail(ErrnoText(errno));
            return false;
        }
        if (replaces)
            (void)::fchmod(fd, existing.st_mode & 07777);
        temporary_ = QFile::decodeName(candidate);
        writer_ = std::make_unique<Writer>(fd);
        return true;
    }
    Fail(QStringLiteral("no free temporary file name in %1").arg(folder));
    return false;
}

bool OutputFile::Flush() {
    if (writer_ && !writer_->Drain())
        Fail(ErrnoText(writer_->Error()));
    return !failed_ && writer_;
}

bool OutputFile::Commit() {
    if (!writer_ || writer_->Handle() < 0 || temporary_.isEmpty()) {
        if (!failed_)
            Fail(QStringLiteral("it was not open"));
        Discard();
        return false;
    }
    Flush();
    // A full disk or a failing network share may show only when the data reaches the disk.
    if (!failed_ && ::fsync(writer_->Handle()) != 0 && errno != EINVAL)
        Fail(ErrnoText(errno));
    if (!writer_->Close() && !failed_)
        Fail(ErrnoText(writer_->Error()));
    if (failed_) {
        Discard();
        return false;
    }
    if (::rename(QFile::encodeName(temporary_).constData(), QFile::encodeName(target_).constData()) != 0) {
        Fail(ErrnoText(errno));
        Discard();
        return false;
    }
    ForgetUnfinished(temporary_);
    temporary_.clear();
    // The rename lives in the folder: until the folder is synced a power loss could undo it.
    if (!SyncFolder(QFileInfo(target_).absolutePath())) {
        Fail(QStringLiteral("the file was renamed into place but its folder could not be synced (%1)")
                 .arg(ErrnoText(errno)));
        return false;
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
