#include "DesktopSignals.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QVariantMap>

namespace platform {

namespace {

const QString kNotifications = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

void showLauncherProgress(const QString& entryId, std::optional<double> fraction)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    // Readers go by the entry's URI, not by the object path, which only has to be ours.
    QDBusMessage update =
        QDBusMessage::createSignal(QStringLiteral("/org/tovaropro/LauncherEntry"),
                                   QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress-visible"), fraction.has_value());
    properties.insert(QStringLiteral("progress"), fraction.value_or(0.0));
    update << QStringLiteral("application://%1.desktop").arg(entryId) << properties;
    (void)bus.send(update);
}

void notify(const QString& entryId, const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kNotifications, QStringLiteral("/org/freedesktop/Notifications"),
                                                       kNotifications, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), entryId);
    const QString appName = QStringLiteral("Tovaro PRO");
    const uint replacesNothing = 0;
    const int serverDefaultTimeout = -1;
    call << appName << replacesNothing << entryId << summary << body << QStringList() << hints << serverDefaultTimeout;
    (void)bus.asyncCall(call);
}

}  // namespace platform
