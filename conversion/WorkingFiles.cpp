#include "WorkingFiles.h"

#include "ConverterCommand.h"
#include "platform/FileOperations.h"

#include <QDir>

namespace conversion {

namespace {

const QString kLockName = QStringLiteral("/.conversion.lock");

// Every file in `folder` whose name matches `pattern`, hidden ones too. No folder
// (an empty name) holds none: QDir would take the current one.
void removeMatching(const QString& folder, const QString& pattern)
{
    if (folder.isEmpty())
        return;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({pattern}, QDir::Files | QDir::Hidden))
        (void)platform::deleteFile(dir.filePath(name));
}

// The staging files of copies a killed program left halfway (see platform::copyFileReplacing).
void removeAbandonedCopiesIn(const QString& folder) { removeMatching(folder, QStringLiteral(".copy-*")); }

}  // namespace

WorkingFiles::WorkingFiles(QString workingFolder, QString dataFolder)
    : m_workingFolder(std::move(workingFolder)),
      m_dataFolder(std::move(dataFolder))
{}

QString WorkingFiles::claim()
{
    // A lock file that cannot be had at all is passed over: its folder fails in its own
    // step. A data folder deleted since start-up is made again.
    using Result = platform::ExclusiveLock::Result;
    const QString busy = QStringLiteral("已有一个转换正在进行，请等它结束后再转换。");
    if (!m_workingFolder.isEmpty() && !m_workingLock.held() &&
        m_workingLock.tryAcquire(m_workingFolder + kLockName) == Result::Busy)
        return busy;
    (void)platform::createFolder(m_dataFolder);
    if (!m_dataLock.held() && m_dataLock.tryAcquire(m_dataFolder + kLockName) == Result::Busy) {
        m_workingLock.release();
        return busy;
    }
    return QString();
}

void WorkingFiles::removeLeftovers()
{
    if (!claim().isEmpty())
        return;
    const command::Folders folders{m_dataFolder, m_workingFolder, QLatin1Char('/')};
    (void)platform::deleteFile(command::converterPath(folders));
    if (m_workingLock.held()) {
        removeMatching(m_workingFolder, command::workingFileName(QStringLiteral("*")));
        removeAbandonedCopiesIn(m_workingFolder);
    }
    m_workingLock.release();
    m_dataLock.release();
}

void WorkingFiles::removeAbandonedCopies() const
{
    removeAbandonedCopiesIn(m_workingFolder);
    removeAbandonedCopiesIn(m_dataFolder);
}

}  // namespace conversion
