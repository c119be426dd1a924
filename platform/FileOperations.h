#pragma once
// File and folder operations the conversion and start-up rely on.

#include "Status.h"

#include <QString>

namespace platform {

// Copies `from` to `to`, replacing an existing `to`. The copy is written beside the
// target and renamed over it, so a failed copy never damages what was there before.
// The source's permission bits travel with it (the converter must stay executable).
Status copyFileReplacing(const QString& from, const QString& to);

// Creates one folder level. Fails when the folder exists or cannot be made.
Status createFolder(const QString& path);

// Removes a file. Fails when it is missing or cannot be removed.
Status deleteFile(const QString& path);

}  // namespace platform
