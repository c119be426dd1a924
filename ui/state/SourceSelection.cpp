#include "SourceSelection.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace source {

AddResult add(SourceView& view, const std::function<QStringList()>& chooseFiles)
{
    if (view.isLoaded())
        return AddResult::AlreadyLoaded;
    const QStringList chosen = chooseFiles();
    if (chosen.isEmpty() || chosen.first().isEmpty())
        return AddResult::Cancelled;
    view.queue.clear();
    view.fileLineShown = true;
    view.waitShown = false;
    enqueue(view, chosen);
    return AddResult::Loaded;
}

AddResult add(SourceView& view, const std::function<QString()>& chooseFile)
{
    return add(view, std::function<QStringList()>([&chooseFile] { return QStringList{chooseFile()}; }));
}

qsizetype enqueue(SourceView& view, const QStringList& files)
{
    if (view.queue.isEmpty() && view.isLoaded())
        view.queue.append(view.path);
    QSet<QString> queued(view.queue.cbegin(), view.queue.cend());
    const qsizetype before = view.queue.size();
    for (const QString& file : files) {
        if (file.isEmpty())
            continue;
        // One file under two spellings (a/./b, a//b) is still one file.
        const QString name = QFileInfo(file).isRelative() ? file : QDir::cleanPath(file);
        if (!queued.contains(name)) {
            queued.insert(name);
            view.queue.append(name);
        }
    }
    if (!view.isLoaded() && !view.queue.isEmpty()) {
        view.path = view.queue.first();
        view.fileLineShown = true;
        view.loadedShown = !view.waitShown;
    }
    // While a run converts, the file line says where it is once there is a queue.
    if (view.waitShown)
        view.fileLineShown = view.queue.size() > 1;
    return view.queue.size() - before;
}

void remove(SourceView& view)
{
    view.path.clear();
    view.queue.clear();
    view.loadedShown = false;
    view.waitShown = false;
}

QString fileLineText(const SourceView& view)
{
    if (view.queue.size() <= 1)
        return view.path;
    return QStringLiteral("%1（第 %2 个，共 %3 个）")
        .arg(QFileInfo(view.path).fileName())
        .arg(view.position() + 1)
        .arg(view.queue.size());
}

QString fileLineToolTip(const SourceView& view)
{
    if (view.queue.size() <= 1)
        return view.path;
    QStringList lines;
    const qsizetype shown = std::min(view.queue.size(), kToolTipNames);
    for (qsizetype i = 0; i < shown; ++i) {
        const QString& name = view.queue.at(i);
        lines << (name == view.path ? QStringLiteral("▶ ") : QStringLiteral("    ")) + name;
    }
    if (view.queue.size() > shown)
        lines << QStringLiteral("……另有 %1 个").arg(view.queue.size() - shown);
    return lines.join(QLatin1Char('\n'));
}

QString openDialogTitle() { return QStringLiteral("Open"); }

QString openDialogFilter()
{
    return QStringLiteral(
        "AVI格式(*.AVI)|*.avi|FLV格式(*.FLV)|*.flv|WMV格式(*.wmv)|*.wmv|MOV格式(*.mov)|*.mov|"
        "DAT格式(*.dat)|*.dat|ASF格式(*.asf)|*.asf|MPG格式(*.mpg)|*.mpg|MP4格式(*.mp4)|*.mp4|"
        "RM格式(*.rm)|*.rm|所有格式(*.*)|*.*");
}

QString warningTitle() { return QStringLiteral("警告"); }

QString alreadyLoadedWarning() { return QStringLiteral("已经加载过文件，如果需要重新选择，请先移除已经加载的文件"); }

}  // namespace source
