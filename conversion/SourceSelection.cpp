#include "SourceSelection.h"

namespace source {

AddResult add(SourceView& view, const std::function<QString()>& chooseFile)
{
    if (view.isLoaded())
        return AddResult::AlreadyLoaded;
    const QString chosen = chooseFile();
    if (chosen.isEmpty())
        return AddResult::Cancelled;
    view.fileLineShown = true;
    view.path = chosen;
    view.loadedShown = true;
    view.waitShown = false;
    return AddResult::Loaded;
}

void remove(SourceView& view)
{
    view.path.clear();
    view.loadedShown = false;
    view.waitShown = false;
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
