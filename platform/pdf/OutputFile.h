#pragma once

#include <QIODevice>
#include <QString>
#include <memory>

namespace telmo {

// A file that appears under its name only once it is complete. It is written to a temporary
// file in the target's folder, named after it with ".part" at the end, and renamed over the target by Commit,
// so a reader never finds half a document there, and a target that existed keeps its old contents until then.
// Anything that ends it otherwise (Discard, the destructor, a failed write, the process ending on a signal)
// removes the temporary file.
//
// A target that exists and is not a regular file (a terminal, a pipe, /dev/null) cannot be
// replaced by a rename; it is written straight, and a failure there is still reported.
class OutputFile {
public:
    explicit OutputFile(QString target);
    ~OutputFile(); // discards what was not committed

    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file (or opens the device). False with ErrorString() otherwise.
    bool Open();
    QIODevice& Device();
    // Flushes what is buffered, so that a full disk shows now rather than at the end.
    bool Flush();
    // Flushes, syncs and renames over the target. False with ErrorString() (and the temporary
    // file removed) when any write since Open failed.
    bool Commit();
    void Discard();
    QString ErrorString() const { return error_; }
    const QString& Target() const { return target_; }

    // Removes the temporary file being written, if any. Only async-signal-safe calls: for a
    // signal handler that ends the process.
    static void RemoveUnfinishedNow() noexcept;

private:
    void Fail(const QString& reason);

    QString target_;
    QString temporary_; // empty when written straight or when nothing is open
    class Writer;
    std::unique_ptr<Writer> writer_;
    bool failed_ = false;
    QString error_;
};

} // namespace telmo
