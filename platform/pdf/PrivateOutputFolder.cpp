#include "platform/pdf/PrivateOutputFolder.h"

#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace telmo {
namespace {

// Only this user can add, remove or replace names in the folder.
bool OnlyOursToWrite(const struct stat& folder) {
    return S_ISDIR(folder.st_mode) && folder.st_uid == ::geteuid() &&
           (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

[[noreturn]] void Refuse(const QString& folder, const QString& why) {
    throw RuntimeError(err::kPathFileAccessError,
                       QStringLiteral("no printer is set up and the folder for an unnamed report, %1, %2; "
                                      "give --pdf FILE or --printer NAME")
                           .arg(folder, why));
}

} // namespace

QString PrivateDefaultFile(const QString& fileName) {
    const QString temp = QDir::tempPath();
    struct stat info {};
    if (::stat(QFile::encodeName(temp).constData(), &info) == 0 && OnlyOursToWrite(info))
        return QDir(temp).filePath(fileName);
    const QString own = QDir(temp).filePath(QStringLiteral("telmo-%1").arg(::geteuid()));
    const QByteArray ownBytes = QFile::encodeName(own);
    if (::mkdir(ownBytes.constData(), 0700) != 0 && errno != EEXIST)
        Refuse(own, QStringLiteral("cannot be made (%1)").arg(QString::fromLocal8Bit(std::strerror(errno))));
    // lstat: a link planted under the folder's name is not followed.
    if (::lstat(ownBytes.constData(), &info) != 0 || !OnlyOursToWrite(info))
        Refuse(own, QStringLiteral("is not a folder that only you can write to"));
    return QDir(own).filePath(fileName);
}

} // namespace telmo
