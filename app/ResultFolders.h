#pragma once
// Where results and the converter's working copy go. A copy of the program in a
// folder it may write (unpacked in a home folder, the build tree) keeps them beside
// itself. An installed copy, whose folder belongs to the system, puts results in the
// user's videos folder and the working copy (with the conversion lock) in the
// user's cache folder.

#include <QString>

struct ResultFolders {
    QString output;
    QString data;
    // Where the file-open dialog starts: beside the program, or for an installed copy
    // the user's videos folder (home when there is none), never a system folder.
    QString openFrom;
};

// Both folders are made here when missing, parents and all; a folder that cannot be
// made is no reason to stop: each run tries again and says what went wrong.
ResultFolders chooseResultFolders(const QString& applicationFolder);

// Whether a new file can be made in `folder`, found out by making one. Permission
// bits cannot tell: root, ACLs and read-only mounts all disagree with them.
bool canWriteIn(const QString& folder);
