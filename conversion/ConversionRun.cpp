#include "ConversionRun.h"

#include "ConverterName.h"
#include "ConverterStatus.h"
#include "FailureText.h"
#include "ResultName.h"
#include "platform/Process.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

namespace conversion {

ConversionRun::ConversionRun(RunSetup setup, QObject* parent)
    : QObject(parent),
      m_setup(std::move(setup)),
      m_files(m_setup.workingFolder, m_setup.dataFolder)
{}

ConversionRun::~ConversionRun()
{
    if (m_copyStop)
        m_copyStop->request();
    m_copy.waitForFinished();
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished();
    }
    removeWorkingCopies();
}

void ConversionRun::removeWorkingCopies()
{
    for (QString* path : {&m_converter, &m_input, &m_output}) {
        if (!path->isEmpty())
            (void)platform::deleteFile(*path);
        path->clear();
    }
}

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
    QString detail = converterDetail(withUserNames(m_converterOutput.lastError()),
                                     crashed ? std::nullopt : std::optional<int>(exitStatus));
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

void ConversionRun::start()
{
    m_running = true;
    m_stopped = false;
    if (const QString refusal = claim(); !refusal.isEmpty())
        return end(failed(refusal, QString()));
    if (m_setup.workingFolder.isEmpty())
        return end(failed(QStringLiteral("转换失败：没有可用的临时工作文件夹。"), QString()));

    const command::Folders folders{m_setup.dataFolder, m_setup.workingFolder, QLatin1Char('/')};
    // Nothing of this run stays behind in the working folder but a kept result.
    m_converter = command::converterPath(folders);
    m_input = command::workingInputPath(folders, m_setup.sourcePath);
    m_output = command::workingOutputPath(folders);
    copyConverter();
}

void ConversionRun::copyConverter()
{
    const QString delivered =
        m_setup.applicationFolder + QLatin1Char('/') + QString::fromLatin1(tovaro::kConverterFileName);
    if (!QFileInfo(delivered).isFile())
        return end(failed(QStringLiteral("转换失败：找不到转换程序。"), delivered));
    inBackground(
        [delivered, converter = m_converter](const platform::CopyStop& stop) {
            return platform::copyFileReplacing(delivered, converter, &stop);
        },
        [this](const platform::Status& copied) {
            if (!copied.ok())
                return end(failed(converterNotCopiedText(m_setup.dataFolder, copied.error()), copied.message()));
            copySource();
        });
}

void ConversionRun::copySource()
{
    // Nothing of an earlier run may pass for this run's input or output.
    (void)platform::deleteFile(m_output);
    (void)platform::deleteFile(m_input);
    inBackground([source = m_setup.sourcePath, input = m_input](
                     const platform::CopyStop& stop) { return platform::copyFileReplacing(source, input, &stop); },
                 [this](const platform::Status& copied) {
                     if (isDiskFull(copied.error()))
                         return end(failed(workingDiskFullText(m_setup.workingFolder), copied.message()));
                     if (!copied.ok())
                         return end(failed(QStringLiteral("转换失败：无法复制源文件“%1”。").arg(m_setup.sourcePath),
                                           copied.message()));
                     startConverter();
                 });
}

void ConversionRun::startConverter()
{
    const command::Folders folders{m_setup.dataFolder, m_setup.workingFolder, QLatin1Char('/')};
    m_command = command::compose(folders, m_setup.sourcePath, m_setup.readSettings());
    // For a 3GP source this is the input itself, which the converter must replace.
    m_outputBefore = platform::stampOf(m_output);
    m_converterOutput = ConverterOutput([this](std::optional<int> percent) { emit progressChanged(percent); });
    m_process = std::make_unique<QProcess>();
    QProcess* process = m_process.get();
    process->setStandardOutputFile(QProcess::nullDevice());
    connect(process, &QProcess::readyReadStandardError, this,
            [this, process] { m_converterOutput.read(process->readAllStandardError()); });
    connect(process, &QProcess::finished, this, &ConversionRun::converterEnded);
    // Queued: a start that fails may say so before start() has returned.
    connect(
        process, &QProcess::errorOccurred, this,
        [this](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                converterEnded();
        },
        Qt::QueuedConnection);
    // The stop signals start held: a stop sent while the converter's libraries are
    // still loading waits for the converter to take it and end in good order,
    // instead of ending it before any of its code runs.
    platform::startTiedToUs(*process, {m_command.program, m_command.arguments}, tovaro::kStopSignals);
}

void ConversionRun::converterEnded()
{
    const std::unique_ptr<QProcess> process = std::move(m_process);
    if (!process)
        return;  // told twice
    process->disconnect(this);
    if (m_stopped)
        return end(stoppedOutcome());
    if (process->error() == QProcess::FailedToStart)
        return end(failed(QStringLiteral("转换失败：无法启动转换程序。"), process->errorString()));
    m_converterOutput.read(process->readAllStandardError());
    m_converterOutput.end();

    const platform::FileStamp after = platform::stampOf(m_output);
    const bool fresh = after.exists && after.size > 0 && after != m_outputBefore;
    const bool crashed = process->exitStatus() != QProcess::NormalExit;
    if (crashed || process->exitCode() != 0 || !fresh)
        return end(converterFailed(process->exitCode(), crashed));
    placeResult();
}

void ConversionRun::placeResult()
{
    m_stamp = result::stamp(m_setup.now ? m_setup.now() : QDateTime::currentDateTime());
    // An output folder deleted since start-up is made again.
    (void)platform::createFolder(m_setup.outputFolder);
    saveUnderResultName(m_setup.outputFolder, [this](const platform::Status& saved) {
        if (!saved.ok()) {
            m_refusal = saved;
            m_refusalDetails = saved.message();
            return keepUnsaved(0);
        }
        Outcome outcome;
        outcome.converted = true;
        outcome.resultPath = m_placed;
        for (const QString& line : m_converterOutput.changes())
            outcome.changes << withUserNames(line);
        end(outcome);
    });
}

QString ConversionRun::unsavedFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/tovaro-pro/unsaved");
}

// The result is kept under the name it would have had, where it lasts: in the user's
// data folder, which no reboot or clean-up empties; only when that fails too, in the
// working folder, where no later run removes it but a reboot may.
void ConversionRun::keepUnsaved(qsizetype folderIndex)
{
    const QStringList folders{unsavedFolder(), m_setup.workingFolder};
    for (; folderIndex < folders.size(); ++folderIndex) {
        const QString& folder = folders.at(folderIndex);
        if (!folder.isEmpty() && (folderIndex > 0 || QDir().mkpath(folder)))
            break;
    }
    if (folderIndex >= folders.size())
        return end(failed(resultNotSavedText(m_setup.outputFolder, m_refusal.error(), QString()), m_refusalDetails));
    saveUnderResultName(folders.at(folderIndex), [this, folderIndex](const platform::Status& kept) {
        if (kept.ok())
            return end(failed(resultNotSavedText(m_setup.outputFolder, m_refusal.error(), m_placed), m_refusalDetails));
        m_refusalDetails += QLatin1Char('\n') + kept.message();
        keepUnsaved(folderIndex + 1);
    });
}

void ConversionRun::saveUnderResultName(const QString& folder, std::function<void(const platform::Status&)> then)
{
    // The copy notes the name it took where this run reads it once it is back.
    auto name = std::make_shared<QString>();
    inBackground(
        [output = m_output, folder, stamp = m_stamp, name](const platform::CopyStop& stop) {
            return platform::copyUnderFreeName(
                output, folder, [&stamp](int attempt) { return result::fileName(stamp, attempt); }, name.get(), &stop);
        },
        [this, name, then = std::move(then)](const platform::Status& saved) {
            m_placed = *name;
            then(saved);
        });
}

Outcome ConversionRun::stoppedOutcome()
{
    Outcome outcome;
    outcome.stopped = true;
    return outcome;
}

void ConversionRun::end(const Outcome& outcome)
{
    removeWorkingCopies();
    m_running = false;
    emit finished(outcome);
}

void ConversionRun::setSourcePath(const QString& path)
{
    m_setup.sourcePath = path;
    m_command = {};
    m_converterOutput = ConverterOutput();
}

void ConversionRun::stop()
{
    if (!m_running || m_stopped)
        return;
    m_stopped = true;
    if (m_copyStop)
        m_copyStop->request();
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        QTimer::singleShot(kStopGraceMs, m_process.get(), [process = m_process.get()] { process->kill(); });
    }
}

// A copy of a large file takes seconds, and one from a stalled source never ends;
// meanwhile the window must go on painting and answering. A stop makes the copy give
// up, and the run ends once it has.
void ConversionRun::inBackground(Copy copy, std::function<void(const platform::Status&)> handOn)
{
    m_copyStop = std::make_shared<platform::CopyStop>();
    m_copy.disconnect(this);
    connect(&m_copy, &QFutureWatcherBase::finished, this, [this, handOn = std::move(handOn)] {
        const auto then = handOn;  // the connection, and with it this lambda, goes now
        m_copy.disconnect(this);
        m_copyStop.reset();
        const platform::Status status = m_copy.result();
        if (m_stopped)
            return end(stoppedOutcome());
        then(status);
    });
    m_copy.setFuture(QtConcurrent::run([copy = std::move(copy), stop = m_copyStop] { return copy(*stop); }));
}

}  // namespace conversion
