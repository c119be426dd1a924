#include "ShellOpen.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <QUrl>

namespace platform {

namespace {

const QString kFileManagerService = QStringLiteral("org.freedesktop.FileManager1");

// xdg-open ends with a failure status when no program takes the path. Its end is
// heard through the event loop: a widget deletes its children (the opener among
// them, which ends xdg-open as it goes) before it stops listening, so an end heard
// at once could reach a context that is half gone.
void openWithDesktopOpener(const QString& path, QObject* context, const std::function<void(bool)>& done)
{
    auto* opener = new QProcess(context);
    opener->setStandardInputFile(QProcess::nullDevice());
    opener->setStandardOutputFile(QProcess::nullDevice());
    opener->setStandardErrorFile(QProcess::nullDevice());
    QObject::connect(
        opener, &QProcess::finished, context,
        [opener, done](int code, QProcess::ExitStatus status) {
            done(status == QProcess::NormalExit && code == 0);
            opener->deleteLater();
        },
        Qt::QueuedConnection);
    QObject::connect(opener, &QProcess::errorOccurred, context, [opener, done](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        done(false);
        opener->deleteLater();
    });
    opener->start(QStringLiteral("xdg-open"), {path});
}

}  // namespace

void shellOpen(const QString& path, QObject* context, std::function<void(bool opened)> done)
{
    const QFileInfo target(path);
    if (!target.exists()) {
        QTimer::singleShot(0, context, [done] { done(false); });
        return;
    }
    const QString absolute = target.absoluteFilePath();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!target.isDir() || !bus.isConnected()) {
        openWithDesktopOpener(absolute, context, done);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kFileManagerService, QStringLiteral("/org/freedesktop/FileManager1"),
                                       kFileManagerService, QStringLiteral("ShowFolders"));
    call << QStringList{QUrl::fromLocalFile(absolute).toString()} << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 3000), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context, [watcher, absolute, context, done] {
        if (watcher->isError())
            openWithDesktopOpener(absolute, context, done);
        else
            done(true);
        watcher->deleteLater();
    });
}

}  // namespace platform
