#pragma once
// What the test programs share: a fresh scratch folder for every test function,
// with the application folder and temporary base the program would be given, and
// whole-file reads and writes. Header only; Qt Core and Qt Test.

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace testsupport {

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes `content` over whatever `path` held, then gives it `permissions` when set.
inline bool writeFile(const QString& path, const QByteArray& content, QFile::Permissions permissions = {})
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        return false;
    file.close();
    return !permissions || file.setPermissions(permissions);
}

constexpr QFile::Permissions kExecutable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

// Removed with all it holds when renewed or destroyed. Call renew() in init().
class ScratchFolder {
public:
    // Starts over with a new, empty folder. With an `applicationName`, it holds that
    // application folder and a temporary base "tmp"; false when any of it failed.
    bool renew(const QString& applicationName = QString())
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_application.clear();
        m_temporaryBase.clear();
        if (!m_dir->isValid())
            return false;
        if (applicationName.isEmpty())
            return true;
        m_application = filePath(applicationName);
        m_temporaryBase = filePath(QStringLiteral("tmp"));
        return QDir().mkpath(m_application) && QDir().mkpath(m_temporaryBase);
    }

    QString path() const { return m_dir->path(); }
    QString filePath(const QString& name) const { return m_dir->filePath(name); }
    const QString& application() const { return m_application; }
    const QString& temporaryBase() const { return m_temporaryBase; }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_application;
    QString m_temporaryBase;
};

}  // namespace testsupport
