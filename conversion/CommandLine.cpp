#include "CommandLine.h"

namespace command {

QString sourceExtension(const QString& sourcePath, QChar separator)
{
    qsizetype start = qMax<qsizetype>(0, sourcePath.size() - 3);
    // Never cut a character outside the basic plane in half: its two halves would
    // make a name the file system cannot hold.
    if (start > 0 && sourcePath.at(start).isLowSurrogate())
        --start;
    QString extension = sourcePath.mid(start);
    for (QChar& c : extension)
        if (c == separator || c == QLatin1Char('/'))
            c = QLatin1Char('_');
    return extension;
}

QString workingFileName(const QString& extension) { return QStringLiteral("tmpFile.") + extension; }

QString converterPath(const Folders& folders) { return folders.data + folders.separator + QStringLiteral("conv.exe"); }

QString workingInputPath(const Folders& folders, const QString& sourcePath)
{
    return folders.working + folders.separator + workingFileName(sourceExtension(sourcePath, folders.separator));
}

QString workingOutputPath(const Folders& folders)
{
    return folders.working + folders.separator + workingFileName(QStringLiteral("3gp"));
}

ConverterCommand compose(const Folders& folders, const QString& sourcePath,
                         const settings::ConversionSettings& selection)
{
    ConverterCommand command;
    command.program = converterPath(folders);
    command.inputPath = workingInputPath(folders, sourcePath);
    command.outputPath = workingOutputPath(folders);
    const QStringList options{QStringLiteral("-i"),          command.inputPath,
                              QStringLiteral("-vcodec"),     QStringLiteral("h263"),
                              QStringLiteral("-b"),          selection.videoKbps.trimmed(),
                              QStringLiteral("-y"),          QStringLiteral("-r"),
                              selection.frameRate.trimmed(), QStringLiteral("-s"),
                              selection.frameSize.trimmed(), QStringLiteral("-acodec"),
                              QStringLiteral("amr_nb"),      QStringLiteral("-ac"),
                              QStringLiteral("1"),           QStringLiteral("-f"),
                              QStringLiteral("3gp"),         QStringLiteral("-ar"),
                              QStringLiteral("8000"),        QStringLiteral("-ab"),
                              selection.audioKbps.trimmed()};
    command.arguments = options;
    command.arguments << command.outputPath;
    // Two blanks before the output path: the converter skips the empty word between.
    command.text =
        command.program + QLatin1Char(' ') + options.join(QLatin1Char(' ')) + QStringLiteral("  ") + command.outputPath;
    return command;
}

}  // namespace command
