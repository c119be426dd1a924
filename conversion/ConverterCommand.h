#pragma once
// The converter's command line as the window builds it: one text, piece by piece, and
// the same pieces as a program path plus argument list for starting it without a
// shell. The converter's own cli/ reads it.

#include "ui/state/SettingsLists.h"

#include <QChar>
#include <QString>
#include <QStringList>

namespace command {

// Where the converter and its working files are. `separator` joins the pieces: '\\'
// for the layout the command line was designed for, '/' here.
struct Folders {
    QString data;     // where the converter's working copy runs; no trailing separator
    QString working;  // the private working folder
    QChar separator = QLatin1Char('/');
};

struct ConverterCommand {
    QString program;        // the converter's working copy in the data folder
    QStringList arguments;  // every word after the program, none split or quoted
    QString text;           // the whole command line, kept as the run's record
    QString inputPath;      // the working copy of the source
    QString outputPath;     // what the converter writes
};

// The last three characters of the source path, whatever they are ("avi", ".rm",
// "peg"). A separator among them becomes '_', so the working copy of a file without
// an extension (named "ab") still lands inside the working folder.
QString sourceExtension(const QString& sourcePath, QChar separator);

// The working files' names: "tmpFile." and the extension, which may be a pattern.
QString workingFileName(const QString& extension);

// The converter's working copy, the one that runs: kWorkingConverterName in the data
// folder, whatever name it is delivered under.
QString converterPath(const Folders& folders);
QString workingInputPath(const Folders& folders, const QString& sourcePath);
QString workingOutputPath(const Folders& folders);

ConverterCommand compose(const Folders& folders, const QString& sourcePath,
                         const settings::ConversionSettings& selection);

}  // namespace command
