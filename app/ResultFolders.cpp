#include "ResultFolders.h"

#include <QDir>
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
        return {applicationFolder + QStringLiteral("/output"), applicationFolder + QStringLiteral("/data")};
    // The videos folder follows the user's xdg-user-dirs settings.
    return {QStandardPaths::writableLocation(QStandardPaths::MoviesLocation) + QStringLiteral("/Tovaro PRO"),
            QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/tovaro-pro")};
}

}  // namespace

ResultFolders chooseResultFolders(const QString& applicationFolder)
{
    ResultFolders chosen = foldersFor(applicationFolder);
    QDir().mkpath(chosen.output);
    QDir().mkpath(chosen.data);
    return chosen;
}
