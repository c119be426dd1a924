// Files that arrive without Add's dialog: named on the command line, handed over by a
// later start of the program, or dropped on the window. They join the queue, also
// while it converts.

#include "frmMain.h"

#include "conversion/FailureText.h"
#include "ui/state/SourceArrival.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

void frmMain::openAtStart(const QStringList& names) { arrive(names); }

void frmMain::openHandedOver(const QStringList& names)
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    arrive(names);
}

void frmMain::arrive(const QStringList& names)
{
    QStringList files;
    QStringList missing;
    for (const QString& name : names)
        (QFileInfo(name).isFile() ? files : missing) << name;
    if (source::enqueue(source, files) > 0)
        showSource();
    if (!missing.isEmpty())
        warn(conversion::missingFilesWarning(missing));
}

// A drag that would be refused is never accepted, so the pointer shows it on the way.
void frmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (!source::droppedFiles(event->mimeData()->urls()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void frmMain::dropEvent(QDropEvent* event)
{
    const QStringList dropped = source::droppedFiles(event->mimeData()->urls());
    if (dropped.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Queued once the drop has ended: a warning box must not hold the file manager's
    // drag open.
    QMetaObject::invokeMethod(
        this, [this, dropped] { arrive(dropped); }, Qt::QueuedConnection);
}
