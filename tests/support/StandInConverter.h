#pragma once
// Stand-in converters: small shell scripts installed as the converter in an
// application folder. Each notes how it was called (program and arguments, one a line)
// in "called.txt" beside it, then does what the test asks.

#include "ConverterName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace standin {

// Writes the output (the last argument): "converted " and then the input it was given.
// Like the converter, it writes beside the output and renames at the end, so the
// input may be the output.
inline const char* const kConverts = R"(out=; for a in "$@"; do out=$a; done
{ printf 'converted '; cat "$2"; } > "$out.part" && mv "$out.part" "$out")";
// Fails the way the converter does: progress, then its error line, status 1.
inline const char* const kFails = R"(echo 'progress: time=0.50 duration=2.00' >&2
echo 'conv.dll: cannot decode the source: Invalid data found when processing input' >&2
echo 'progress: time=0.50 duration=2.00' >&2
exit 1)";
// Ends well and writes nothing.
inline const char* const kWritesNothing = "exit 0";

// Waits until "release" appears beside the converter, then converts.
inline QString waitsForRelease(const QString& applicationFolder)
{
    return QStringLiteral("while [ ! -e '%1/release' ]; do sleep 0.02; done\n").arg(applicationFolder) +
           QString::fromLatin1(kConverts);
}

inline bool writeScript(const QString& path, const QString& body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write((QStringLiteral("#!/bin/sh\n") + body).toUtf8()) < 0)
        return false;
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Where the program looks for its converter.
inline QString converterPath(const QString& applicationFolder)
{
    return applicationFolder + QLatin1Char('/') + QString::fromLatin1(tovaro::kConverterFileName);
}

inline bool install(const QString& applicationFolder, const QString& body)
{
    return writeScript(
        converterPath(applicationFolder),
        QStringLiteral("printf '%s\\n' \"$0\" \"$@\" > '%1/called.txt'\n%2\n").arg(applicationFolder, body));
}

// A desktop opener, xdg-open in `folder`, that appends what it is asked to open to `log`.
inline bool installOpener(const QString& folder, const QString& log)
{
    return writeScript(folder + QStringLiteral("/xdg-open"),
                       QStringLiteral("printf '%s\\n' \"$1\" >> '%1'\n").arg(log));
}

// The program and arguments of the last call; empty when it was never called.
inline QStringList calledWith(const QString& applicationFolder)
{
    QFile file(applicationFolder + QStringLiteral("/called.txt"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    lines.removeLast();  // after the final newline
    return lines;
}

// Runs `then` once, from the event loop of `context`'s thread, as soon as `path`
// exists: a stand-in writes its files only once it runs, which no signal tells.
inline void whenFileAppears(QObject* context, const QString& path, std::function<void()> then)
{
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [poll, path, then = std::move(then)] {
        if (!QFileInfo::exists(path))
            return;
        poll->stop();
        poll->deleteLater();
        then();
    });
    poll->start(10);
}

inline void release(const QString& applicationFolder)
{
    QFile file(applicationFolder + QStringLiteral("/release"));
    (void)file.open(QIODevice::WriteOnly);
}

}  // namespace standin
