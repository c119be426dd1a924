#include "FileListColumns.h"

#include <algorithm>

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QTimer>
#include <QTreeView>

namespace dialogs {

namespace {

enum Column { Name = 0, Size = 1, Type = 2, Modified = 3 };

class ChineseColumns : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role) const override
    {
        const QVariant shown = QIdentityProxyModel::data(index, role);
        if (role != Qt::DisplayRole || (index.column() != Size && index.column() != Modified) ||
            shown.toString().isEmpty())
            return shown;
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!files)
            return shown;
        const QFileInfo info = files->fileInfo(mapToSource(index));
        if (index.column() == Size)
            return m_chinese.formattedDataSize(info.size());
        return m_chinese.toString(info.lastModified(), QLocale::ShortFormat);
    }

private:
    const QLocale m_chinese{QLocale::Chinese, QLocale::China};
};

int neededWidth(QTreeView* details, int column)
{
    const int entries = static_cast<QAbstractItemView*>(details)->sizeHintForColumn(column);
    return std::max(details->header()->sectionSizeHint(column), entries);
}

// Every column as wide as what it shows, and all of them in view: the name column
// gives up what it has to spare, then the dialog grows by the rest. Columns only
// grow otherwise: a column that narrows as the user scrolls would jump about.
void fitColumns(QFileDialog* dialog, QTreeView* details)
{
    QHeaderView* header = details->header();
    for (const int column : {Size, Type, Modified})
        if (const int needed = neededWidth(details, column); header->sectionSize(column) < needed)
            header->resizeSection(column, needed);
    const int excess = header->length() - details->viewport()->width();
    if (excess <= 0 || !details->isVisible())
        return;
    const int spare = std::max(0, header->sectionSize(Name) - neededWidth(details, Name));
    header->resizeSection(Name, header->sectionSize(Name) - std::min(spare, excess));
    if (excess > spare)
        dialog->resize(dialog->width() + excess - spare, dialog->height());
}

}  // namespace

void showChineseFileColumns(QFileDialog& dialog)
{
    auto* columns = new ChineseColumns(&dialog);
    dialog.setProxyModel(columns);
    auto* details = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!details)
        return;
    fitColumns(&dialog, details);
    // Connected after the view, so the view knows the new rows when this runs.
    const auto fit = [&dialog, details] { fitColumns(&dialog, details); };
    QObject::connect(columns, &QAbstractItemModel::rowsInserted, details, fit);
    QObject::connect(columns, &QAbstractItemModel::layoutChanged, details, fit);
    QTimer::singleShot(0, details, fit);  // once the dialog shows, with its real size
}

}  // namespace dialogs
