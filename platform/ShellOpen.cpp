#include "ShellOpen.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace platform {

namespace {

const QString kFileManagerService = QStringLiteral("org.freedesktop.FileManager1");

bool showInFileManager(const QString& folder)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kFileManagerService))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kFileManagerService, QStringLiteral("/org/freedesktop/FileManager1"),
                                                       kFileManagerService, QStringLiteral("ShowFolders"));
    call << QStringList{QUrl::fromLocalFile(folder).toString()} << QString();
    return bus.call(call, QDBus::Block, 3000).type() == QDBusMessage::ReplyMessage;
}

}  // namespace

Status shellOpen(const QString& path)
{
    const QFileInfo target(path);
    if (!target.exists())
        return Status::failure(QStringLiteral("%1 does not exist").arg(path));
    if (target.isDir() && showInFileManager(target.absoluteFilePath()))
        return Status::success();
    if (!QProcess::startDetached(QStringLiteral("xdg-open"), {target.absoluteFilePath()}))
        return Status::failure(QStringLiteral("cannot start xdg-open for %1").arg(path));
    return Status::success();
}

}  // namespace platform
