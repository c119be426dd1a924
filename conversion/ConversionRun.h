#pragma once
// One conversion, from the loaded source to a new file in the output folder. The
// window calls it and only shows its states. Events keep flowing while it works: the
// copies run on a thread of their own, and the converter is a separate process whose
// end a local event loop waits for, so the window repaints and its timer ticks.

#include "CommandLine.h"
#include "platform/ExclusiveLock.h"
#include "platform/Status.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace conversion {

struct RunSetup {
    QString applicationFolder;  // holds conv.dll
    QString workingFolder;      // private to the user; empty when start-up refused it
    QString outputFolder;
    QString dataFolder;
    QString sourcePath;
    // Read once, when the command line is composed.
    std::function<settings::ConversionSettings()> readSettings;
    // Shows the output folder on the desktop.
    std::function<platform::Status(const QString& folder)> openFolder;
    // The moment the converter ended, for the result's name.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
};

struct Outcome {
    bool converted = false;
    QString resultPath;  // the new file in the output folder
    QString warning;     // what the user is told when it did not work
};

class ConversionRun : public QObject {
    Q_OBJECT
public:
    explicit ConversionRun(RunSetup setup, QObject* parent = nullptr);

    // Makes this the only conversion among every copy of the program that shares its
    // working files, until the run object goes. Returns the warning when another one
    // is running; nothing has been touched then.
    QString claim();

    // Copies the converter and the source into place, runs the converter, names and
    // copies its result into the output folder and opens that folder. Returns when
    // all that is done, or at the first step that failed.
    Outcome exec();

    // The command line of this run, as text: its record.
    const QString& commandLine() const { return m_command.text; }

signals:
    // The converter process has just started.
    void converterStarted();
    // The converter reported how far it is: a whole percentage, or nothing when the
    // source's length is unknown. Sent only when it changes.
    void progressChanged(std::optional<int> percent);

private:
    Outcome failed(const QString& what, const QString& detail) const;
    platform::Status offThread(const std::function<platform::Status()>& work);
    void readErrors(const QByteArray& chunk);
    void reportProgress(std::optional<int> percent);

    RunSetup m_setup;
    platform::ExclusiveLock m_workingLock;
    platform::ExclusiveLock m_dataLock;
    command::ConverterCommand m_command;
    QByteArray m_errorTail;    // stderr after its last complete line
    QString m_lastError;       // the converter's last "conv.dll: " line
    std::optional<std::optional<int>> m_lastPercent;  // what progressChanged last said
};

}  // namespace conversion
