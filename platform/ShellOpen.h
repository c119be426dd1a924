#pragma once
// Opening a folder or a document the way the desktop would on a double click.

#include "Status.h"

#include <QString>

namespace platform {

// A folder goes to the desktop's file manager (its D-Bus interface when one runs,
// otherwise the desktop opener); a document goes to the desktop opener, xdg-open.
Status shellOpen(const QString& path);

}  // namespace platform
