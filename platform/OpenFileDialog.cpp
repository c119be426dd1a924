#include "OpenFileDialog.h"

#include <QFileDialog>
#include <QStringList>

#include <optional>

namespace platform {

namespace {

std::optional<QString>& queuedAnswer()
{
    static std::optional<QString> answer;
    return answer;
}

// Qt reads the patterns from the last parentheses of a filter entry. File names on
// this system are case-sensitive, so "*.avi" also offers "*.AVI".
QString qtNameFilter(const FileFilter& filter)
{
    QStringList patterns;
    for (const QString& pattern : filter.pattern.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        patterns << pattern;
        if (pattern.toUpper() != pattern)
            patterns << pattern.toUpper();
    }
    return filter.description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace

void setNextOpenFileName(const QString& path) { queuedAnswer() = path; }

QString getOpenFileName(const OpenFileRequest& request)
{
    if (std::optional<QString>& answer = queuedAnswer(); answer) {
        const QString path = *answer;
        answer.reset();
        return path;
    }

    QFileDialog dialog(request.owner, request.title, request.initialFolder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    QStringList nameFilters;
    for (const FileFilter& filter : request.filters)
        nameFilters << qtNameFilter(filter);
    dialog.setNameFilters(nameFilters);
    if (request.selectedFilter >= 0 && request.selectedFilter < nameFilters.size())
        dialog.selectNameFilter(nameFilters.at(request.selectedFilter));

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

}  // namespace platform
