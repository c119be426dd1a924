#include "SessionHandOver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

namespace platform {

namespace {

const QString kInterface = QStringLiteral("org.tovaropro.TovaroPRO");
// The holder answers from its event loop; one that has not for this long is hung,
// and the new start then opens a window of its own instead.
constexpr int kAnswerTimeoutMs = 10000;

}  // namespace

QString FileReceiver::objectPath(const QString& serviceName)
{
    return QLatin1Char('/') + QString(serviceName).replace(QLatin1Char('.'), QLatin1Char('/'));
}

bool FileReceiver::listen(const QString& serviceName)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    // The object is in place before the name is taken, so no call finds the name
    // without it.
    if (!bus.registerObject(objectPath(serviceName), this, QDBusConnection::ExportScriptableSlots))
        return false;
    const auto reply = bus.interface()->registerService(serviceName, QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered)
        return true;
    bus.unregisterObject(objectPath(serviceName));
    return false;
}

void FileReceiver::Open(const QStringList& files) { emit filesArrived(files); }

bool handOverFiles(const QString& serviceName, const QStringList& files)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName, FileReceiver::objectPath(serviceName), kInterface,
                                                       QStringLiteral("Open"));
    call << files;
    return bus.call(call, QDBus::Block, kAnswerTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

}  // namespace platform
