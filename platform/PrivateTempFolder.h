#pragma once
// The folder that holds the working copies of a conversion. It lives under the shared
// temporary folder, so it must be private to the user: anyone could have planted a
// symbolic link or a folder of their own at its name before we start.

#include "Status.h"

#include <QString>

namespace platform {

struct TempFolder {
    QString path;   // empty when it cannot be used
    Status status;  // why not, when path is empty
};

// $TMPDIR when it names a folder, otherwise /tmp.
QString temporaryBase();

// Makes sure `base`/tovaro-<uid> exists with mode 0700, is a real folder and belongs
// to this user. Refuses a symbolic link or a folder owned by someone else.
TempFolder preparePrivateTempFolder(const QString& base);

}  // namespace platform
