#include "ResultFolders.h"

#include "WorkingFolders.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

bool canWriteIn(const QString& folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/.write-test-XXXXXX"));
    return probe.open();  // removed again when `probe` goes
}

ResultFolders chooseResultFolders(const QString& applicationFolder)
{
    if (canWriteIn(applicationFolder))
        return {outputFolderOf(applicationFolder), dataFolderOf(applicationFolder)};

    // The videos folder follows the user's xdg-user-dirs settings.
    const ResultFolders user{
        QStandardPaths::writableLocation(QStandardPaths::MoviesLocation) + QStringLiteral("/Tovaro PRO"),
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/tovaro-pro")};
    QDir().mkpath(user.output);
    QDir().mkpath(user.data);
    return user;
}
