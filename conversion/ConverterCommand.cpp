#include "ConverterCommand.h"

#include "ConverterProtocol.h"

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

QString converterPath(const Folders& folders)
{
    return folders.data + folders.separator + QString::fromLatin1(tovaro::kWorkingConverterName);
}

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
    using namespace tovaro::option;
    const auto word = [](const char* text) { return QString::fromLatin1(text); };
    const QStringList options{word(kInput),
                              command.inputPath,
                              word(kVideoCodec),
                              word(kOnlyVideoCodec),
                              word(kVideoKbps),
                              selection.videoKbps.trimmed(),
                              word(kOverwrite),
                              word(kFrameRate),
                              selection.frameRate.trimmed(),
                              word(kFrameSize),
                              selection.frameSize.trimmed(),
                              word(kAudioCodec),
                              word(kOnlyAudioCodec),
                              word(kAudioChannels),
                              word(kOnlyAudioChannels),
                              word(kFormat),
                              word(kOnlyFormat),
                              word(kAudioRate),
                              word(kOnlyAudioRate),
                              word(kAudioKbps),
                              selection.audioKbps.trimmed()};
    command.arguments = options;
    command.arguments << command.outputPath;
    // Two blanks before the output path: the converter skips the empty word between.
    command.text =
        command.program + QLatin1Char(' ') + options.join(QLatin1Char(' ')) + QStringLiteral("  ") + command.outputPath;
    return command;
}

}  // namespace command
