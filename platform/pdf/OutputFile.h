#pragma once

#include <QIODevice>
#include <QString>
#include <memory>

namespace telmo {

// A file that appears under its name only once it is complete. It is written to a temporary
// file in the target's folder, named after it (cut so that the name fits where the target's
// does) with the writer's process number and ".part" at the end, and renamed over the target
// by Commit, which then syncs the folder, so a reader never finds half a document there, a
// target that existed keeps its old contents until then, and a power loss after Commit cannot
// lose the file. Anything that ends it otherwise (Discard, the destructor, a failed write, the
// process ending on a signal that would end it anyway) removes the temporary file; one left by
// a process killed outright is removed by the next Open for the same target.
//
// Refused: a target that exists and is not a regular file (a pipe would block until someone
// reads it, a device cannot be replaced by a rename), and a symbolic link that another user
// made in a shared folder such as /tmp (following it would let that user choose which file is
// replaced).
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
    // Why the target may not be written; empty when it may. Sets target_ to the file a
    // symbolic link names.
    QString Refusal();

    QString target_;
    QString temporary_; // empty when written straight or when nothing is open
    class Writer;
    std::unique_ptr<Writer> writer_;
    bool failed_ = false;
    QString error_;
};

} // namespace telmo
