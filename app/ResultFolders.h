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
};

// Folders outside the application folder are made here when missing, parents and all.
ResultFolders chooseResultFolders(const QString& applicationFolder);

// Whether a new file can be made in `folder`, found out by making one. Permission
// bits cannot tell: root, ACLs and read-only mounts all disagree with them.
bool canWriteIn(const QString& folder);
