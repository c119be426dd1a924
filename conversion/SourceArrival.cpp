#include "SourceArrival.h"

#include <QFileInfo>

namespace source {

QString fileFromArguments(const QStringList& arguments)
{
    if (arguments.size() < 2 || arguments.at(1).isEmpty())
        return {};
    const QString& named = arguments.at(1);
    const QUrl url(named);
    const QString path = url.isLocalFile() ? url.toLocalFile() : named;
    return QFileInfo(path).absoluteFilePath();
}

QString droppedFile(const QList<QUrl>& urls)
{
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    const QString path = urls.first().toLocalFile();
    return QFileInfo(path).isDir() ? QString() : path;
}

QString missingFileWarning(const QString& name) { return QStringLiteral("找不到文件：") + name; }

}  // namespace source
