#pragma once
// The desktop's file-open dialog, as one blocking call, with a seam for tests.

#include <QList>
#include <QString>

class QWidget;

namespace dialogs {

struct FileFilter {
    QString description;  // what the user reads, e.g. "AVI格式(*.AVI)"
    QString pattern;      // e.g. "*.avi"; several patterns are separated by ';'
};

struct OpenFileRequest {
    QWidget* owner = nullptr;  // the dialog is modal to it
    QString title;
    QString initialFolder;
    QList<FileFilter> filters;
    int selectedFilter = 0;  // index into filters
    bool fileMustExist = false;
    bool readOnlyShown = false;    // the "open as read-only" check box; its state is not read
    bool multipleAllowed = false;  // several files may be picked in the list at once
};

// The chosen file's full path, or an empty text when the user cancelled.
// Patterns match file names whatever their letter case: "*.avi" offers MOVIE.AVI.
QString getOpenFileName(const OpenFileRequest& request);
// Every chosen file's full path, in the order the dialog gives them; empty on cancel.
QStringList getOpenFileNames(const OpenFileRequest& request);

// For tests: the next call returns `path` at once instead of showing the dialog
// (an empty path is a cancel). The request it was asked with is kept.
void setNextOpenFileName(const QString& path);
void setNextOpenFileNames(const QStringList& paths);
const OpenFileRequest& lastOpenFileRequest();

}  // namespace dialogs
