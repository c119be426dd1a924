#include "COMDLG.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace COMDLG {

QString resolveInitialFolder(const QString& initialFolder, const QString& applicationFolder)
{
    if (initialFolder.trimmed().isEmpty())
        return applicationFolder;
    QString folder = initialFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    // A folder that exists but cannot be read would open the dialog on nothing.
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return applicationFolder;
    return folder;
}

QList<dialogs::FileFilter> convertFilter(const QString& filter)
{
    const QString text = filter.trimmed().isEmpty() ? QStringLiteral("*.*|*.*") : filter;
    const QStringList parts = text.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    QList<dialogs::FileFilter> pairs;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        pairs.append({parts.at(i), parts.at(i + 1)});
    return pairs;
}

QString ChooseOpenFile(QWidget* owner, const QString& title, const QString& initialFolder, const QString& filter,
                       quint32 flags)
{
    return ChooseOpenFiles(owner, title, initialFolder, filter, flags & ~OFN_ALLOWMULTISELECT).value(0);
}

QStringList ChooseOpenFiles(QWidget* owner, const QString& title, const QString& initialFolder, const QString& filter,
                            quint32 flags)
{
    dialogs::OpenFileRequest request;
    request.owner = owner;
    request.title = title;
    request.initialFolder = resolveInitialFolder(initialFolder, QCoreApplication::applicationDirPath());
    request.filters = convertFilter(filter);
    request.selectedFilter = 0;
    request.fileMustExist = (flags & OFN_FILEMUSTEXIST) != 0;
    request.readOnlyShown = (flags & OFN_HIDEREADONLY) == 0;
    request.multipleAllowed = (flags & OFN_ALLOWMULTISELECT) != 0;

    const QString before = QDir::currentPath();
    const QStringList chosenFiles = dialogs::getOpenFileNames(request);
    const QString chosen = chosenFiles.value(0);
    // Without OFN_NOCHANGEDIR the dialog leaves the process in the chosen file's
    // folder, as the classic dialog does; with it, where it was.
    if (!chosen.isEmpty() && (flags & OFN_NOCHANGEDIR) == 0)
        QDir::setCurrent(QFileInfo(chosen).absolutePath());
    else
        QDir::setCurrent(before);
    return chosenFiles;
}

}  // namespace COMDLG
