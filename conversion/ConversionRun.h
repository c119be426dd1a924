#pragma once
// One conversion, from the loaded source to a new file in the output folder. The
// window calls it and only shows its states. Events keep flowing while it works: the
// copies run on a thread of their own, and the converter is a separate process whose
// end a local event loop waits for, so the window repaints and its timer ticks.

#include "CommandLine.h"
#include "ConverterOutput.h"
#include "WorkingFiles.h"
#include "platform/Status.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QProcess;

namespace conversion {

struct RunSetup {
    QString applicationFolder;  // holds the converter (tovaro::kConverterFileName)
    QString workingFolder;      // private to the user; empty when start-up refused it
    QString outputFolder;
    QString dataFolder;
    QString sourcePath;
    // Read once, when the command line is composed.
    std::function<settings::ConversionSettings()> readSettings;
    // The moment the converter ended, for the result's name; empty: the clock's.
    std::function<QDateTime()> now;
};

struct Outcome {
    bool converted = false;
    bool stopped = false;  // stop() ended it; nothing is to be told
    QString resultPath;    // the new file in the output folder
    QString warning;       // what the user is told when it did not work, in Chinese
    QString detail;        // the technical reason, with the user's file names
    // When it worked: the converter's lines on what the result leaves out or holds
    // otherwise than asked, with the user's file names.
    QStringList changes;
};

class ConversionRun : public QObject {
    Q_OBJECT
public:
    explicit ConversionRun(RunSetup setup, QObject* parent = nullptr);

    // Makes this the only conversion among every copy of the program that shares its
    // working files, until the run object goes (see WorkingFiles::claim).
    QString claim() { return m_files.claim(); }

    // Copies the converter and the source into place, runs the converter, names and
    // copies its result into the output folder. Returns when all that is done, or at
    // the first step that failed. The working copies are gone by then, whatever
    // happened; a result the output folder refused is kept under its result name in
    // the user's data folder (tovaro-pro/unsaved), failing that in the working folder.
    Outcome exec();

    // The next exec() converts `path`; what the run kept of the file before is
    // forgotten. Its claim stays: a queue holds it from its first file to its last.
    void setSourcePath(const QString& path);

    // Ends a running exec() as soon as it can: the converter is asked to stop and
    // killed if it has not after a grace period, a copy in progress is abandoned.
    // Called from an event handler while exec() waits.
    void stop();

    // The command line of this run, as text: its record.
    const QString& commandLine() const { return m_command.text; }

    static constexpr int kStopGraceMs = 3000;

signals:
    void stopRequested();
    // The converter reported how far it is: a whole percentage, or nothing when the
    // source's length is unknown. Sent only when it changes.
    void progressChanged(std::optional<int> percent);

private:
    // The steps of exec(); each gives the run's outcome when the run ends there.
    std::optional<Outcome> copyIntoWorkingFolder(const QString& converter, const QString& input, const QString& output);
    std::optional<Outcome> runConverter(const QString& output);
    Outcome placeResult(const QString& output);
    static Outcome stoppedOutcome();
    Outcome failed(const QString& what, const QString& detail) const;
    Outcome converterFailed(int exitStatus, bool crashed) const;
    QString withUserNames(const QString& line) const;
    Outcome keepUnsaved(const QString& output, const QString& stamp, const platform::Status& why);
    platform::Status saveUnderResultName(const QString& file, const QString& folder, const QString& stamp,
                                         QString* placed);
    platform::Status offThread(std::function<platform::Status()> work);

    RunSetup m_setup;
    WorkingFiles m_files;
    command::ConverterCommand m_command;
    QPointer<QProcess> m_process;  // while the converter runs
    bool m_stopped = false;
    ConverterOutput m_output;  // what the converter of this file wrote on stderr
};

}  // namespace conversion
