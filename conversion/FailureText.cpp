#include "FailureText.h"

#include "ConverterStatus.h"

#include <QList>

namespace conversion {

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

}  // namespace conversion
