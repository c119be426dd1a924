#include "SourceArrival.h"

#include <QFileInfo>

namespace source {

QStringList filesFromArguments(const QStringList& arguments)
{
    QStringList files;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& named = arguments.at(i);
        if (named.isEmpty())
            continue;
        const QUrl url(named);
        const QString path = url.isLocalFile() ? url.toLocalFile() : named;
        files << QFileInfo(path).absoluteFilePath();
    }
    return files;
}

QStringList droppedFiles(const QList<QUrl>& urls)
{
    QStringList files;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            return {};
        const QString path = url.toLocalFile();
        if (!QFileInfo(path).isDir())
            files << path;
    }
    return files;
}

}  // namespace source
