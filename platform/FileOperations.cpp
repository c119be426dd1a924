#include "FileOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace platform {

namespace {
QString systemError() { return QString::fromLocal8Bit(std::strerror(errno)); }
}  // namespace

Status copyFileReplacing(const QString& from, const QString& to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return Status::failure(QStringLiteral("cannot read %1: %2").arg(from, source.errorString()));

    // The temporary file lives in the target's folder so the final rename stays on
    // one file system and is atomic.
    QTemporaryFile staging(QFileInfo(to).absolutePath() + QStringLiteral("/.copy-XXXXXX"));
    if (!staging.open())
        return Status::failure(QStringLiteral("cannot write beside %1: %2").arg(to, staging.errorString()));

    char buffer[1 << 16];
    for (;;) {
        const qint64 got = source.read(buffer, sizeof buffer);
        if (got < 0)
            return Status::failure(QStringLiteral("cannot read %1: %2").arg(from, source.errorString()));
        if (got == 0)
            break;
        if (staging.write(buffer, got) != got)
            return Status::failure(QStringLiteral("cannot write %1: %2").arg(to, staging.errorString()));
    }
    if (!staging.flush())
        return Status::failure(QStringLiteral("cannot write %1: %2").arg(to, staging.errorString()));
    staging.setPermissions(source.permissions());

    if (std::rename(QFile::encodeName(staging.fileName()).constData(), QFile::encodeName(to).constData()) != 0)
        return Status::failure(QStringLiteral("cannot replace %1: %2").arg(to, systemError()));
    staging.setAutoRemove(false);  // it is the target now
    return Status::success();
}

Status createFolder(const QString& path)
{
    if (QFileInfo::exists(path))
        return Status::failure(QStringLiteral("%1 already exists").arg(path));
    if (!QDir().mkdir(path))
        return Status::failure(QStringLiteral("cannot create %1").arg(path));
    return Status::success();
}

Status deleteFile(const QString& path)
{
    QFile file(path);
    if (!file.remove())
        return Status::failure(QStringLiteral("cannot delete %1: %2").arg(path, file.errorString()));
    return Status::success();
}

}  // namespace platform
