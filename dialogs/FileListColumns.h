#pragma once
// The file dialog's size and date columns in Chinese and wide enough to read.
// Qt's file model writes them in the system locale (English under C or C.UTF-8,
// the locale of a fresh machine) and the dialog sizes them for short English texts.

class QFileDialog;

namespace dialogs {

// Puts Chinese size and date texts into `dialog`'s detail view, and widens its
// columns to what they show whenever entries arrive. The dialog must be Qt's own.
void showChineseFileColumns(QFileDialog& dialog);

}  // namespace dialogs
