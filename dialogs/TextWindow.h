#pragma once
// A plain window that shows a text and lets the user read, select and copy it, but
// not change it: the program's own viewer for its help text.

#include <QString>

class QPlainTextEdit;
class QWidget;

namespace dialogs {

// Shows `text` in a window of its own, kept on top of `owner` and closed with it.
// A second call with the same title brings the open window back instead.
QPlainTextEdit* showTextWindow(QWidget* owner, const QString& title, const QString& text);

}  // namespace dialogs
