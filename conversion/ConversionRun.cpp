#include "ConversionRun.h"

#include "ConverterName.h"
#include "ConverterStatus.h"
#include "FailureText.h"
#include "ResultName.h"
#include "platform/FileOperations.h"
#include "platform/Process.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <memory>
#include <optional>
#include <thread>

namespace conversion {

namespace {

// Removes files when the run ends, however it ends.
struct RemovedAtEnd {
    QStringList paths;
    ~RemovedAtEnd()
    {
        for (const QString& path : paths)
            (void)platform::deleteFile(path);
    }
};

// What a copy on another thread and the window thread share. The thread may outlive
// the run when a stop abandons it, so it owns its share.
struct CopyState {
    QEventLoop* waiting = nullptr;  // touched on the window thread only
    std::optional<platform::Status> status;
};

}  // namespace

ConversionRun::ConversionRun(RunSetup setup, QObject* parent)
    : QObject(parent),
      m_setup(std::move(setup)),
      m_files(m_setup.workingFolder, m_setup.dataFolder)
{}

Outcome ConversionRun::failed(const QString& what, const QString& detail) const
{
    Outcome outcome;
    outcome.warning = what;
    outcome.detail = detail;
    return outcome;
}

QString ConversionRun::withUserNames(const QString& line) const
{
    return withKnownNames(line,
                          {{m_command.inputPath, m_setup.sourcePath}, {m_command.outputPath, m_setup.outputFolder}});
}

Outcome ConversionRun::converterFailed(int exitStatus, bool crashed) const
{
    const QString& userFile = m_setup.sourcePath;
    QString detail =
        converterDetail(withUserNames(m_output.lastError()), crashed ? std::nullopt : std::optional<int>(exitStatus));
    if (crashed) {
        if (detail.isEmpty())
            detail = QStringLiteral("转换程序意外终止。");
        return failed(QStringLiteral("转换失败：转换“%1”时转换程序意外终止。").arg(userFile), detail);
    }
    if (exitStatus == static_cast<int>(tovaro::ConverterStatus::Written))
        return failed(QStringLiteral("转换失败：转换程序没有写出“%1”的结果文件。").arg(userFile), detail);
    if (detail.isEmpty())
        detail = QStringLiteral("转换程序的退出状态为 %1。").arg(exitStatus);
    // The converter writes its result into the working folder.
    if (exitStatus == static_cast<int>(tovaro::ConverterStatus::OutOfSpace))
        return failed(workingDiskFullText(m_setup.workingFolder, userFile), detail);
    return failed(failureText(exitStatus, userFile), detail);
}

Outcome ConversionRun::exec()
{
    if (const QString refusal = claim(); !refusal.isEmpty())
        return failed(refusal, QString());
    if (m_setup.workingFolder.isEmpty())
        return failed(QStringLiteral("转换失败：没有可用的临时工作文件夹。"), QString());

    const command::Folders folders{m_setup.dataFolder, m_setup.workingFolder, QLatin1Char('/')};
    const QString converter = command::converterPath(folders);
    const QString input = command::workingInputPath(folders, m_setup.sourcePath);
    const QString output = command::workingOutputPath(folders);
    // Nothing of this run stays behind in the working folder but a kept result.
    const RemovedAtEnd workingCopies{{converter, input, output}};

    if (auto ended = copyIntoWorkingFolder(converter, input, output))
        return *ended;
    m_command = command::compose(folders, m_setup.sourcePath, m_setup.readSettings());
    if (auto ended = runConverter(output))
        return *ended;
    return placeResult(output);
}

std::optional<Outcome> ConversionRun::copyIntoWorkingFolder(const QString& converter, const QString& input,
                                                            const QString& output)
{
    const QString delivered =
        m_setup.applicationFolder + QLatin1Char('/') + QString::fromLatin1(tovaro::kConverterFileName);
    if (!QFileInfo(delivered).isFile())
        return failed(QStringLiteral("转换失败：找不到转换程序。"), delivered);
    const auto copied = offThread([delivered, converter] { return platform::copyFileReplacing(delivered, converter); });
    if (m_stopped)
        return stoppedOutcome();
    if (!copied.ok())
        return failed(converterNotCopiedText(m_setup.dataFolder, copied.error()), copied.message());

    // Nothing of an earlier run may pass for this run's input or output.
    (void)platform::deleteFile(output);
    (void)platform::deleteFile(input);
    const auto sourceCopied =
        offThread([source = m_setup.sourcePath, input] { return platform::copyFileReplacing(source, input); });
    if (m_stopped)
        return stoppedOutcome();
    if (isDiskFull(sourceCopied.error()))
        return failed(workingDiskFullText(m_setup.workingFolder), sourceCopied.message());
    if (!sourceCopied.ok())
        return failed(QStringLiteral("转换失败：无法复制源文件“%1”。").arg(m_setup.sourcePath), sourceCopied.message());
    return std::nullopt;
}

std::optional<Outcome> ConversionRun::runConverter(const QString& output)
{
    // For a 3GP source this is the input itself, which the converter must replace.
    const platform::FileStamp before = platform::stampOf(output);
    m_output = ConverterOutput([this](std::optional<int> percent) { emit progressChanged(percent); });
    QProcess process;
    m_process = &process;
    process.setStandardOutputFile(QProcess::nullDevice());
    connect(&process, &QProcess::readyReadStandardError, this, [&] { m_output.read(process.readAllStandardError()); });
    QEventLoop untilEnded;
    connect(&process, &QProcess::finished, &untilEnded, &QEventLoop::quit);
    connect(&process, &QProcess::errorOccurred, &untilEnded, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            untilEnded.quit();
    });
    // The stop signals start held: a stop sent while the converter's libraries are
    // still loading waits for the converter to take it and end in good order,
    // instead of ending it before any of its code runs.
    platform::startTiedToUs(process, {m_command.program, m_command.arguments}, tovaro::kStopSignals);
    if (process.state() != QProcess::NotRunning && !m_stopped)
        untilEnded.exec();
    if (process.state() != QProcess::NotRunning) {  // stopped before its loop ran
        process.kill();
        process.waitForFinished();
    }
    m_process = nullptr;
    if (m_stopped)
        return stoppedOutcome();
    if (process.error() == QProcess::FailedToStart)
        return failed(QStringLiteral("转换失败：无法启动转换程序。"), process.errorString());
    m_output.read(process.readAllStandardError());
    m_output.end();

    const platform::FileStamp after = platform::stampOf(output);
    const bool fresh = after.exists && after.size > 0 && after != before;
    const bool crashed = process.exitStatus() != QProcess::NormalExit;
    if (crashed || process.exitCode() != 0 || !fresh)
        return converterFailed(process.exitCode(), crashed);
    return std::nullopt;
}

Outcome ConversionRun::placeResult(const QString& output)
{
    const QString stamp = result::stamp(m_setup.now ? m_setup.now() : QDateTime::currentDateTime());
    // An output folder deleted since start-up is made again.
    (void)platform::createFolder(m_setup.outputFolder);
    QString placed;
    const auto saved = saveUnderResultName(output, m_setup.outputFolder, stamp, &placed);
    if (m_stopped)
        return stoppedOutcome();
    if (!saved.ok())
        return keepUnsaved(output, stamp, saved);
    Outcome outcome;
    outcome.converted = true;
    outcome.resultPath = placed;
    for (const QString& line : m_output.changes())
        outcome.changes << withUserNames(line);
    return outcome;
}

Outcome ConversionRun::stoppedOutcome()
{
    Outcome outcome;
    outcome.stopped = true;
    return outcome;
}

platform::Status ConversionRun::saveUnderResultName(const QString& file, const QString& folder, const QString& stamp,
                                                    QString* placed)
{
    // The thread owns where it notes the name: a stop may leave it running.
    auto name = std::make_shared<QString>();
    const auto saved = offThread([file, folder, stamp, name] {
        return platform::copyUnderFreeName(
            file, folder, [&stamp](int attempt) { return result::fileName(stamp, attempt); }, name.get());
    });
    if (saved.ok())
        *placed = *name;
    return saved;
}

// The result is kept under the name it would have had, where it lasts: in the user's
// data folder, which no reboot or clean-up empties; only when that fails too, in the
// working folder, where no later run removes it but a reboot may.
Outcome ConversionRun::keepUnsaved(const QString& output, const QString& stamp, const platform::Status& why)
{
    QString details = why.message();
    const QString lasting =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/tovaro-pro/unsaved");
    for (const QString& folder : {lasting, m_setup.workingFolder}) {
        if (folder.isEmpty() || (folder == lasting && !QDir().mkpath(folder)))
            continue;
        QString kept;
        const auto keptThere = saveUnderResultName(output, folder, stamp, &kept);
        if (m_stopped)
            return stoppedOutcome();
        if (keptThere.ok())
            return failed(resultNotSavedText(m_setup.outputFolder, why.error(), kept), details);
        details += QLatin1Char('\n') + keptThere.message();
    }
    return failed(resultNotSavedText(m_setup.outputFolder, why.error(), QString()), details);
}

void ConversionRun::setSourcePath(const QString& path)
{
    m_setup.sourcePath = path;
    m_command = {};
    m_output = ConverterOutput();
}

void ConversionRun::stop()
{
    if (m_stopped)
        return;
    m_stopped = true;
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        QTimer::singleShot(kStopGraceMs, m_process.data(), [process = m_process] {
            if (process)
                process->kill();
        });
    }
    // Staging files of a copy that is abandoned: its thread may never return.
    m_files.removeAbandonedCopies();
    emit stopRequested();
}

// A copy of a large file takes seconds, and one from a stalled source never ends;
// meanwhile the window must go on painting and answering. A stop abandons the copy:
// its thread keeps only what it owns, and dies with the program.
platform::Status ConversionRun::offThread(std::function<platform::Status()> work)
{
    if (m_stopped)
        return platform::Status::failure(QStringLiteral("stopped"));
    auto state = std::make_shared<CopyState>();
    QEventLoop untilDone;
    state->waiting = &untilDone;
    const auto stopConnection = connect(this, &ConversionRun::stopRequested, &untilDone, &QEventLoop::quit);
    std::thread worker([state, work = std::move(work)] {
        platform::Status status = work();
        // Handed over on the window thread, through the application object, which
        // outlives any run: the loop may be gone by then.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [state, status] {
                state->status = status;
                if (state->waiting)
                    state->waiting->quit();
            },
            Qt::QueuedConnection);
    });
    untilDone.exec();
    state->waiting = nullptr;
    disconnect(stopConnection);
    if (!state->status) {
        worker.detach();
        return platform::Status::failure(QStringLiteral("stopped"));
    }
    worker.join();
    return *state->status;
}

}  // namespace conversion
