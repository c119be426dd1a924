#pragma once
// Where the program keeps its files: results and the converter's working copy beside
// the program, the copied source and the converter's output in a private temp folder.

#include <QString>

struct StartupPaths {
    QString applicationFolder;  // the folder that holds the program
    QString temporaryBase;      // the shared temp folder our private one goes under
};

struct WorkingFolders {
    QString temp;  // empty when no safe private folder could be had
    QString output;
    QString data;
    QString openFrom;  // where the file-open dialog starts
};
