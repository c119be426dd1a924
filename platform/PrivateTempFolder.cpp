#include "PrivateTempFolder.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace platform {

QString temporaryBase()
{
    const QString fromEnvironment = qEnvironmentVariable("TMPDIR");
    if (!fromEnvironment.isEmpty() && QFileInfo(fromEnvironment).isDir())
        return fromEnvironment;
    return QStringLiteral("/tmp");
}

TempFolder preparePrivateTempFolder(const QString& base)
{
    const QString path = base + QStringLiteral("/tovaro-") + QString::number(::getuid());
    const QByteArray native = QFile::encodeName(path);
    auto refuse = [&](const QString& why) {
        return TempFolder{QString(), Status::failure(path + QStringLiteral(": ") + why)};
    };

    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));

    struct stat info {};
    if (::lstat(native.constData(), &info) != 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISLNK(info.st_mode))
        return refuse(QStringLiteral("is a symbolic link"));
    if (!S_ISDIR(info.st_mode))
        return refuse(QStringLiteral("is not a folder"));
    if (info.st_uid != ::getuid())
        return refuse(QStringLiteral("belongs to another user"));
    // Ours, but perhaps left open by an older run or a umask: close it to others.
    if ((info.st_mode & 0777) != 0700 && ::chmod(native.constData(), 0700) != 0)
        return refuse(QString::fromLocal8Bit(std::strerror(errno)));

    return TempFolder{path, Status::success()};
}

}  // namespace platform
