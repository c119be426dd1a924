#pragma once
// Opening a folder or a document the way the desktop would on a double click,
// without waiting for the desktop: the caller hears later whether it worked.

#include <QString>

#include <functional>

class QObject;

namespace platform {

// A folder goes to the desktop's file manager (its D-Bus interface when one answers,
// otherwise the desktop opener); a document goes to the desktop opener, xdg-open.
// Returns at once. `done` runs on this thread, within `context`, with false when
// nothing could open `path`, and with true once an opener has taken it.
void shellOpen(const QString& path, QObject* context, std::function<void(bool opened)> done);

}  // namespace platform
