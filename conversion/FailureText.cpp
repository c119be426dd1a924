#include "FailureText.h"

#include "ConverterStatus.h"

#include <QList>
#include <QStorageInfo>
#include <QStringList>

#include <algorithm>
#include <cerrno>

namespace conversion {

QString missingFileText(const QString& path) { return QStringLiteral("找不到文件：") + path; }

QString missingFilesWarning(const QStringList& names)
{
    if (names.size() == 1)
        return missingFileText(names.first());
    return QStringLiteral("找不到文件：\n") + names.join(QLatin1Char('\n'));
}

QString failureText(int status, const QString& userFile)
{
    using tovaro::ConverterStatus;
    switch (static_cast<ConverterStatus>(status)) {
    case ConverterStatus::SourceUnreadable: return QStringLiteral("转换失败：无法读取“%1”。").arg(userFile);
    case ConverterStatus::NotAVideo:
        return QStringLiteral("转换失败：“%1”不是视频文件，或其中没有可以播放的内容。").arg(userFile);
    case ConverterStatus::SourceDamaged: return QStringLiteral("转换失败：“%1”已损坏，无法解码。").arg(userFile);
    case ConverterStatus::OutputUnwritable: return QStringLiteral("转换失败：无法写入“%1”的转换结果。").arg(userFile);
    case ConverterStatus::OutOfSpace:
        return QStringLiteral("转换失败：磁盘空间不足，“%1”的转换结果无法写完。").arg(userFile);
    case ConverterStatus::Stopped: return QStringLiteral("“%1”的转换被中止。").arg(userFile);
    case ConverterStatus::UsageError: return QStringLiteral("转换失败：转换程序不接受“%1”的转换设置。").arg(userFile);
    case ConverterStatus::Written:
    case ConverterStatus::Failed: break;
    }
    return QStringLiteral("转换失败：“%1”无法转换。").arg(userFile);
}

QString withKnownNames(QString line, const QList<WorkingName>& names)
{
    for (const WorkingName& name : names)
        if (!name.working.isEmpty())
            line.replace(name.working, name.known);
    return line;
}

namespace {

struct LineKind {
    const char* marks;  // any one of these, '|' between them, in the converter's line
    const char* told;
};

// The lines of a conversion that worked but changed what was asked. The sound's own
// reason may read like a damaged file or a failure, so these are matched first.
constexpr LineKind kResultChanges[] = {
    {"warning: the sound is left out", "源文件的声音无法解码，转换结果只有画面，没有声音。"},
    {"is more than H.263 lets", "所选的视频码率超出了这个画面大小和帧率所能容纳的上限，视频按上限码率转换。"},
    {"warning: the source is damaged", "源文件已损坏或不完整，只转换了能够解码的部分。"},
};

// The converter's lines by what they report, most particular first; the marks are
// words of the messages the converter prints.
constexpr LineKind kLineKinds[] = {
    {"No space left|quota exceeded", "磁盘已满，转换程序无法写完转换结果。"},
    {"stopped on request|encoding stopped", "转换被中止。"},
    {"is not a video", "这个文件不是视频文件，或其中没有可以播放的内容。"},
    {"cannot open '|cannot read '", "转换程序无法读取源文件。"},
    {"the source is damaged|cannot decode|Invalid data found", "源文件已损坏，无法解码。"},
    {"Permission denied|Read-only file system|cannot write|cannot move|cannot finish|cannot complete|"
     "already exists|is a folder|not a regular file|longer than its folder allows|too long a path",
     "转换程序无法写入转换结果。"},
    {"sound|audio|AMR-NB", "源文件的声音无法转换。"},
    {"picture|H.263|scale", "源文件的画面无法转换。"},
    {"out of memory|Cannot allocate memory", "内存不足，转换程序无法继续。"},
    {"try --help", "转换程序不接受这些转换设置。"},
    {"cannot confine|Landlock", "转换程序无法限制自己能访问的文件。"},
};

// The kinds the converter's exit status names, as the lines' kinds tell them.
const char* toldForStatus(int status)
{
    using tovaro::ConverterStatus;
    switch (static_cast<ConverterStatus>(status)) {
    case ConverterStatus::SourceUnreadable: return "转换程序无法读取源文件。";
    case ConverterStatus::NotAVideo: return "这个文件不是视频文件，或其中没有可以播放的内容。";
    case ConverterStatus::SourceDamaged: return "源文件已损坏，无法解码。";
    case ConverterStatus::OutputUnwritable: return "转换程序无法写入转换结果。";
    case ConverterStatus::OutOfSpace: return "磁盘已满，转换程序无法写完转换结果。";
    case ConverterStatus::Stopped: return "转换被中止。";
    case ConverterStatus::UsageError: return "转换程序不接受这些转换设置。";
    case ConverterStatus::Written:
    case ConverterStatus::Failed: break;
    }
    return nullptr;
}

template <std::size_t N>
const char* toldForLine(const QString& line, const LineKind (&kinds)[N])
{
    for (const LineKind& kind : kinds) {
        const QStringList marks = QString::fromUtf8(kind.marks).split(QLatin1Char('|'));
        if (std::any_of(marks.begin(), marks.end(), [&](const QString& mark) { return line.contains(mark); }))
            return kind.told;
    }
    return nullptr;
}

}  // namespace

std::optional<QString> resultChange(const QString& line)
{
    if (const char* told = toldForLine(line, kResultChanges))
        return QString::fromUtf8(told);
    return std::nullopt;
}

QString converterDetail(const QString& line, std::optional<int> status)
{
    if (line.isEmpty())
        return line;
    if (const char* told = status ? toldForStatus(*status) : nullptr)
        return QString::fromUtf8(told) + QStringLiteral("\n\n") + line;
    const char* told = toldForLine(line, kResultChanges);
    if (!told)
        told = toldForLine(line, kLineKinds);
    if (!told)
        told = "转换程序报告了一个错误。";
    return QString::fromUtf8(told) + QStringLiteral("\n\n") + line;
}

bool isDiskFull(int error) { return error == ENOSPC || error == EDQUOT; }

QString diskOf(const QString& folder)
{
    const QStorageInfo disk(folder);
    return disk.isValid() ? disk.rootPath() : folder;
}

QString workingDiskFullText(const QString& workingFolder, const QString& unfinishedResultOf)
{
    const QString unfinished =
        unfinishedResultOf.isEmpty() ? QString() : QStringLiteral("，“%1”的转换结果无法写完").arg(unfinishedResultOf);
    return QStringLiteral(
               "转换失败：临时工作文件夹所在的磁盘“%1”已满%2。\n临时工作文件夹：%3\n"
               "请清理这个磁盘，或把 TMPDIR 设为空间足够的文件夹，然后再试。")
        .arg(diskOf(workingFolder), unfinished, workingFolder);
}

QString converterNotCopiedText(const QString& dataFolder, int error)
{
    if (isDiskFull(error))
        return QStringLiteral(
                   "转换失败：程序数据文件夹所在的磁盘“%1”已满，无法复制转换程序。\n程序数据文件夹：%2\n"
                   "请清理这个磁盘，然后再试。")
            .arg(diskOf(dataFolder), dataFolder);
    return QStringLiteral("转换失败：无法把转换程序复制到程序数据文件夹“%1”。").arg(dataFolder);
}

QString resultNotSavedText(const QString& resultsFolder, int error, const QString& keptAt)
{
    QString why = QStringLiteral("无法写入这个文件夹");
    if (isDiskFull(error))
        why = QStringLiteral("它所在的磁盘“%1”已满").arg(diskOf(resultsFolder));
    else if (error == EACCES || error == EPERM || error == EROFS)
        why = QStringLiteral("没有写入这个文件夹的权限");
    const QString notSaved = QStringLiteral("转换结果无法保存到“%1”：%2。").arg(resultsFolder, why);
    if (keptAt.isEmpty())
        return notSaved + QStringLiteral("\n也没有其他地方可以存放它。");
    return notSaved + QStringLiteral("\n转换结果已另存到：\n%1").arg(keptAt);
}

}  // namespace conversion
