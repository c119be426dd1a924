#include "ResultFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

bool canWriteIn(const QString& folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/.write-test-XXXXXX"));
    return probe.open();  // removed again when `probe` goes
}

namespace {

ResultFolders foldersFor(const QString& applicationFolder)
{
    if (canWriteIn(applicationFolder))
        return {applicationFolder + QStringLiteral("/output"), applicationFolder + QStringLiteral("/data"),
                applicationFolder};
    // The videos folder follows the user's xdg-user-dirs settings.
    const QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    return {videos + QStringLiteral("/Tovaro PRO"),
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/tovaro-pro"),
            videos};
}

}  // namespace

ResultFolders chooseResultFolders(const QString& applicationFolder)
{
    ResultFolders chosen = foldersFor(applicationFolder);
    QDir().mkpath(chosen.output);
    QDir().mkpath(chosen.data);
    if (!QFileInfo(chosen.openFrom).isDir())
        chosen.openFrom = QDir::homePath();
    return chosen;
}
