#pragma once
// One window per user session. The first start of the program takes a well-known
// name on the session bus; a later start hands the files it was given to the holder
// of that name and ends. Without a session bus every start keeps its own window.

#include <QObject>
#include <QStringList>

namespace platform {

class FileReceiver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tovaropro.TovaroPRO")
public:
    using QObject::QObject;

    // Takes `serviceName` on the session bus. False without a bus, or when another
    // program holds the name: then handOverFiles() reaches it.
    bool listen(const QString& serviceName);

    // The bus's object path for a service name: "/" and its dots as slashes.
    static QString objectPath(const QString& serviceName);

signals:
    void filesArrived(const QStringList& files);

public slots:
    // The method a later start calls, with absolute file names (possibly none).
    Q_SCRIPTABLE void Open(const QStringList& files);
};

// Gives `files` to the program that holds `serviceName`; true once it took them.
bool handOverFiles(const QString& serviceName, const QStringList& files);

}  // namespace platform
