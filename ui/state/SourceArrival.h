#pragma once
// The other ways source files arrive besides Add: named on the command line (what
// the file manager's Open With runs, also when handed over by a later start of the
// program) and dropped on the window. This only finds which files are meant; they
// then join the queue.

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace source {

// Every name after the program's own, as absolute paths (a file: URL counts as its
// path), in order. Folders are not searched: they come back as named, and fail as
// files that are not there.
QStringList filesFromArguments(const QStringList& arguments);

// The local files among the dropped URLs, in order, folders left out. Empty when the
// drop is to be refused: nothing, only folders, or any URL that is not a local file.
QStringList droppedFiles(const QList<QUrl>& urls);

}  // namespace source
