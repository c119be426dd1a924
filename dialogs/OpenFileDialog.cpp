#include "OpenFileDialog.h"

#include "FileListColumns.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QStringList>

#include <optional>

namespace dialogs {

namespace {

std::optional<QStringList>& queuedAnswer()
{
    static std::optional<QStringList> answer;
    return answer;
}

OpenFileRequest& recordedRequest()
{
    static OpenFileRequest request;
    return request;
}

// "*.avi" becomes "*.[aA][vV][iI]": file names here are case-sensitive, and a
// camera's MOVIE.AVI or a Windows copy's Clip.Avi must be offered all the same.
QString anyCase(const QString& pattern)
{
    QString result;
    for (const QChar c : pattern) {
        if (c.toLower() != c.toUpper())
            result += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        else
            result += c;
    }
    return result;
}

// Qt reads the patterns from the last parentheses of a filter entry; the dialog
// shows only the description (HideNameFilterDetails). "*.*" means every file, as
// it does on the system the filter texts come from, those without a dot included.
QString qtNameFilter(const FileFilter& filter)
{
    QStringList patterns;
    for (const QString& pattern : filter.pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        patterns << (pattern.trimmed() == QStringLiteral("*.*") ? QStringLiteral("*") : anyCase(pattern.trimmed()));
    return filter.description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

// The classic dialog's check box below the file type. Nothing reads it: a file
// opened for conversion is only ever read.
void addReadOnlyBox(QFileDialog& dialog)
{
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!grid)
        return;
    auto* readOnly = new QCheckBox(QStringLiteral("以只读方式打开(&R)"), &dialog);
    readOnly->setObjectName(QStringLiteral("readOnlyCheck"));
    grid->addWidget(readOnly, grid->rowCount(), 1);
}

}  // namespace

void setNextOpenFileName(const QString& path) { queuedAnswer() = path.isEmpty() ? QStringList() : QStringList{path}; }

void setNextOpenFileNames(const QStringList& paths) { queuedAnswer() = paths; }

const OpenFileRequest& lastOpenFileRequest() { return recordedRequest(); }

QString getOpenFileName(const OpenFileRequest& request)
{
    OpenFileRequest single = request;
    single.multipleAllowed = false;
    return getOpenFileNames(single).value(0);
}

QStringList getOpenFileNames(const OpenFileRequest& request)
{
    recordedRequest() = request;
    if (std::optional<QStringList>& answer = queuedAnswer(); answer) {
        const QStringList paths = *answer;
        answer.reset();
        return paths;
    }

    QFileDialog dialog(request.owner, request.title, request.initialFolder);
    dialog.setObjectName(QStringLiteral("openFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    showChineseFileColumns(dialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    // Several files picked in the list with Ctrl or Shift. The file mode stays: one
    // typed name is taken as typed, as without the choice of several.
    if (request.multipleAllowed)
        for (QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>())
            if (view->objectName() == QLatin1String("listView") || view->objectName() == QLatin1String("treeView"))
                view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QStringList nameFilters;
    for (const FileFilter& filter : request.filters)
        nameFilters << qtNameFilter(filter);
    dialog.setNameFilters(nameFilters);
    if (request.selectedFilter >= 0 && request.selectedFilter < nameFilters.size())
        dialog.selectNameFilter(nameFilters.at(request.selectedFilter));
    if (request.readOnlyShown)
        addReadOnlyBox(dialog);

    // Taken as the dialog accepts: asked afterwards, the dialog answers from its file
    // list, which a folder still being read in the background may have reset.
    // The dialog names only the first of several picked files; the rest are its
    // selection at that moment. Folders among them are not opened.
    QStringList chosen;
    QObject::connect(&dialog, &QFileDialog::filesSelected, &dialog, [&](const QStringList& files) {
        chosen = files;
        if (!request.multipleAllowed)
            return;
        QStringList picked;
        for (const QString& file : dialog.selectedFiles())
            if (!QFileInfo(file).isDir())
                picked << file;
        if (picked.size() > 1)
            chosen = picked;
    });
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return chosen;
}

}  // namespace dialogs
