#pragma once
// The two other ways a source file arrives besides Add: named on the command line
// (what the file manager's Open With runs) and dropped on the window. Both then load
// it by Add's rules; this only finds which file is meant.

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace source {

// The file named first after the program's own name, as an absolute path (a file:
// URL counts as its path). Empty when nothing is named; later names are ignored.
QString fileFromArguments(const QStringList& arguments);

// The one local file among the dropped URLs; empty when the drop is to be refused:
// nothing, several items, a URL that is not a local file, or a folder.
QString droppedFile(const QList<QUrl>& urls);

// Told when the file named on the command line does not exist.
QString missingFileWarning(const QString& name);

}  // namespace source
