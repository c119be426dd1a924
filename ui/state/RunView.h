#pragma once
// What the banner shows around a conversion run.

#include "SourceSelection.h"

namespace source {

// The loaded picture gives way to the converting picture, and so does the file line
// of a single file; a queue's file line stays and says which file converts.
inline void showConverting(SourceView& view)
{
    view.fileLineShown = view.queue.size() > 1;
    view.loadedShown = false;
    view.waitShown = true;
}

// A converted source is done with: nothing is loaded any more. One that was not
// converted stays loaded, so the user can change the settings and try again.
inline void showRunEnded(SourceView& view, bool converted)
{
    view.waitShown = false;
    view.fileLineShown = true;
    if (converted)
        view.path.clear();
    view.loadedShown = view.isLoaded();
}

// After a queue, the files that failed stay loaded, in their order, so that Convert
// tries them again; the converted ones are done with.
inline void showQueueEnded(SourceView& view, const QStringList& failed)
{
    view.queue = failed;
    view.path = failed.value(0);
    showRunEnded(view, failed.isEmpty());
}

}  // namespace source
