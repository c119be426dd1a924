#pragma once
// What the banner shows around a conversion run.

#include "SourceSelection.h"

namespace source {

// The file line and the loaded picture give way to the converting picture.
inline void showConverting(SourceView& view)
{
    view.fileLineShown = false;
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

}  // namespace source
