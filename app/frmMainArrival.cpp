// Files that arrive without Add's dialog: named on the command line or dropped on the
// window. Each then loads by Add's rules.

#include "frmMain.h"

#include "conversion/SourceArrival.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>

void frmMain::openAtStart(const QString& name)
{
    if (name.isEmpty())
        return;
    if (!QFileInfo(name).isFile()) {
        warn(source::missingFileWarning(name));
        return;
    }
    addChosen([&name] { return name; });
}

// A drag that would be refused is never accepted, so the pointer shows it on the way.
void frmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (!converting() && !source::droppedFile(event->mimeData()->urls()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void frmMain::dropEvent(QDropEvent* event)
{
    const QString dropped = source::droppedFile(event->mimeData()->urls());
    if (converting() || dropped.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Loaded once the drop has ended: a warning box must not hold the file manager's
    // drag open.
    QMetaObject::invokeMethod(
        this, [this, dropped] { addChosen([&dropped] { return dropped; }); }, Qt::QueuedConnection);
}
