#pragma once
// One conversion, from the loaded source to a new file in the output folder. The
// window starts it and only shows its states; the run goes on by itself, one step
// per event: the copies run on a pool thread that reports back, and the converter is
// a separate process whose end arrives as a signal, so the window repaints and its
// timer ticks meanwhile. It says when it has ended with finished().

#include "ConverterCommand.h"
#include "ConverterOutput.h"
#include "WorkingFiles.h"
#include "platform/CopyStop.h"
#include "platform/FileOperations.h"
#include "platform/Status.h"

#include <QDateTime>
#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
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
    // Waits for a copy in progress to give up (a moment: it is told to stop) and kills
    // a converter still running: nothing of the run outlives it.
    ~ConversionRun() override;

    // Makes this the only conversion among every copy of the program that shares its
    // working files, until the run object goes (see WorkingFiles::claim).
    QString claim() { return m_files.claim(); }

    // Returns at once. The run copies the converter and the source into place, runs
    // the converter, names and copies its result into the output folder, and sends
    // finished() when all that is done, or at the first step that failed. The working
    // copies are gone by then, whatever happened; a result the output folder refused
    // is kept under its result name in the user's data folder (tovaro-pro/unsaved),
    // failing that in the working folder.
    void start();
    bool running() const { return m_running; }

    // The next start() converts `path`; what the run kept of the file before is
    // forgotten. Its claim stays: a queue holds it from its first file to its last.
    void setSourcePath(const QString& path);

    // Asks a running run to end as soon as it can: the converter is asked to stop and
    // killed if it has not after a grace period, a copy in progress gives up. The run
    // answers with finished(), its outcome marked stopped.
    void stop();

    // The command line of this run, as text: its record.
    const QString& commandLine() const { return m_command.text; }

    static constexpr int kStopGraceMs = 3000;

signals:
    void finished(const conversion::Outcome& outcome);
    // The converter reported how far it is: a whole percentage, or nothing when the
    // source's length is unknown. Sent only when it changes.
    void progressChanged(std::optional<int> percent);

private:
    // The steps, in order; each hands on to the next when its work is done.
    void copyConverter();
    void copySource();
    void startConverter();
    void converterEnded();
    void placeResult();
    void keepUnsaved(qsizetype folderIndex);
    // The run ends here, however it ends.
    void end(const Outcome& outcome);
    void removeWorkingCopies();

    // Runs `copy` on a pool thread; `then` gets its status back on this thread, unless
    // the run was stopped meanwhile.
    using Copy = std::function<platform::Status(const platform::CopyStop& stop)>;
    void inBackground(Copy copy, std::function<void(const platform::Status&)> then);
    void saveUnderResultName(const QString& folder, std::function<void(const platform::Status&)> then);

    static Outcome stoppedOutcome();
    Outcome failed(const QString& what, const QString& detail) const;
    Outcome converterFailed(int exitStatus, bool crashed) const;
    QString withUserNames(const QString& line) const;
    QString unsavedFolder() const;

    RunSetup m_setup;
    WorkingFiles m_files;
    command::ConverterCommand m_command;
    // This file's working copies: the converter, its input and its output.
    QString m_converter, m_input, m_output;
    bool m_running = false;
    bool m_stopped = false;
    std::unique_ptr<QProcess> m_process;  // while the converter runs
    platform::FileStamp m_outputBefore;   // the output's version before the converter ran
    ConverterOutput m_converterOutput;    // what the converter of this file wrote on stderr
    QFutureWatcher<platform::Status> m_copy;
    std::shared_ptr<platform::CopyStop> m_copyStop;  // the copy in progress's
    // Where the result went, or is being placed; when the output folder refused it,
    // why, and what the folders tried for it since said.
    QString m_stamp, m_placed;
    platform::Status m_refusal = platform::Status::success();
    QString m_refusalDetails;
};

}  // namespace conversion
