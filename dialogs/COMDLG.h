#pragma once
// The file-open dialog as the program asks for it: a title, a starting folder, a
// filter text of "description|pattern" pairs and the classic OFN_* flags.

#include "OpenFileDialog.h"

#include <QString>

class QWidget;

namespace COMDLG {

// The flags the program and its callers use; any other bit is accepted and ignored.
constexpr quint32 OFN_HIDEREADONLY = 0x00000004;
constexpr quint32 OFN_NOCHANGEDIR = 0x00000008;
constexpr quint32 OFN_ALLOWMULTISELECT = 0x00000200;
constexpr quint32 OFN_FILEMUSTEXIST = 0x00001000;
constexpr quint32 OFN_LONGNAMES = 0x00200000;

// The folder the dialog opens in: `initialFolder` with a trailing separator when it
// names a folder that can be listed, otherwise the application folder.
QString resolveInitialFolder(const QString& initialFolder, const QString& applicationFolder);

// "A|*.a|B|*.b" as pairs in order; an empty or blank filter offers "*.*" alone.
// Parts are neither trimmed nor dropped when empty; a description left without a
// pattern at the end is no pair and is left out.
QList<dialogs::FileFilter> convertFilter(const QString& filter);

// Shows the dialog modal to `owner` with the first pair selected. Returns the chosen
// path (a typed name of a file that does not exist comes back as typed, with its
// folder), or the empty text on cancel or failure. One file only: choosing several
// at once is not offered.
QString ChooseOpenFile(QWidget* owner, const QString& title, const QString& initialFolder, const QString& filter,
                       quint32 flags);

// The same, and with OFN_ALLOWMULTISELECT the user may also pick several files in
// the list (Ctrl, Shift). Empty on cancel.
QStringList ChooseOpenFiles(QWidget* owner, const QString& title, const QString& initialFolder, const QString& filter,
                            quint32 flags);

}  // namespace COMDLG
