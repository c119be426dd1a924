#pragma once
// File and folder operations the conversion and start-up rely on.

#include "CopyStop.h"
#include "Status.h"

#include <QString>

#include <functional>

namespace platform {

// Copies `from` to `to`, replacing an existing `to`. The copy is written beside the
// target and renamed over it, so a failed copy never damages what was there before.
// The source's permission bits travel with it (the converter must stay executable).
// A `stop` requested meanwhile ends the copy soon, as a failure that leaves nothing.
Status copyFileReplacing(const QString& from, const QString& to, const CopyStop* stop = nullptr);

// Copies `from` into `folder` under the first name that `nameFor(1)`, `nameFor(2)`,
// ... gives that is not taken. The copy is written under a hidden name and flushed to
// disk first, and given its final name only when complete, so a crash never leaves a
// partial file under a real name. A name taken meanwhile by someone else, even at the
// same moment, is never replaced. `placed` receives the path written. A `stop`, as for
// copyFileReplacing.
Status copyUnderFreeName(const QString& from, const QString& folder, const std::function<QString(int)>& nameFor,
                         QString* placed, const CopyStop* stop = nullptr);

// What identifies one version of a file: replacing or rewriting it changes this.
struct FileStamp {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
FileStamp stampOf(const QString& path);

// Creates one folder level. Fails when the folder exists or cannot be made.
Status createFolder(const QString& path);

// Removes a file. Fails when it is missing or cannot be removed.
Status deleteFile(const QString& path);

}  // namespace platform
