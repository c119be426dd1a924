#pragma once
// The files a conversion works with outside the user's sight: the converter's working
// copy in the data folder, the source's copy and the converter's output in the working
// folder. Every copy of the program that shares those folders shares these files, so
// one conversion at a time holds them; what a killed run left goes at the next start.

#include "platform/ExclusiveLock.h"

#include <QString>

namespace conversion {

class WorkingFiles {
public:
    // `workingFolder` is private to the user, empty when start-up refused it;
    // `dataFolder` is shared by everyone's copies started from one application folder.
    WorkingFiles(QString workingFolder, QString dataFolder);

    // Makes this the only conversion among every copy of the program that shares these
    // files, until the object goes. Returns the warning when another one is running;
    // nothing has been touched then.
    QString claim();

    // Removes what a run killed with the program left behind, unless another copy of
    // the program is converting with those files right now. Gives up its claim after.
    void removeLeftovers();

    // Removes the staging files of copies that a program killed halfway left behind.
    void removeAbandonedCopies() const;

private:
    QString m_workingFolder;
    QString m_dataFolder;
    platform::ExclusiveLock m_workingLock;
    platform::ExclusiveLock m_dataLock;
};

}  // namespace conversion
