#include "ConversionRun.h"

#include "ProgressLine.h"
#include "ResultName.h"
#include "platform/FileOperations.h"
#include "platform/Process.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>

#include <optional>
#include <thread>

namespace conversion {

namespace {

const QString kLockName = QStringLiteral("/.conversion.lock");
const QByteArray kErrorPrefix = QByteArrayLiteral("conv.dll: ");
constexpr qsizetype kLongestLine = 64 * 1024;

// Removes a file when the run ends, however it ends.
struct RemovedAtEnd {
    QString path;
    ~RemovedAtEnd()
    {
        if (!path.isEmpty())
            (void)platform::deleteFile(path);
    }
};

QString exitDescription(const QProcess& process)
{
    if (process.exitStatus() == QProcess::CrashExit)
        return QStringLiteral("转换程序意外终止。");
    return QStringLiteral("转换程序的退出状态为 %1。").arg(process.exitCode());
}

}  // namespace

ConversionRun::ConversionRun(RunSetup setup, QObject* parent) : QObject(parent), m_setup(std::move(setup)) {}

QString ConversionRun::claim()
{
    // The working folder is shared by this user's copies of the program, the data
    // folder by everyone's copies started from this application folder. A lock file
    // that cannot be had at all is passed over: its folder fails in its own step.
    using Result = platform::ExclusiveLock::Result;
    const QString busy = QStringLiteral("已有一个转换正在进行，请等它结束后再转换。");
    if (!m_setup.workingFolder.isEmpty() && !m_workingLock.held() &&
        m_workingLock.tryAcquire(m_setup.workingFolder + kLockName) == Result::Busy)
        return busy;
    if (!m_dataLock.held() && m_dataLock.tryAcquire(m_setup.dataFolder + kLockName) == Result::Busy) {
        m_workingLock.release();
        return busy;
    }
    return QString();
}

Outcome ConversionRun::failed(const QString& what, const QString& detail) const
{
    Outcome outcome;
    outcome.warning = detail.isEmpty() ? what : what + QLatin1Char('\n') + detail;
    return outcome;
}

Outcome ConversionRun::exec()
{
    if (const QString refusal = claim(); !refusal.isEmpty())
        return failed(refusal, QString());
    if (m_setup.workingFolder.isEmpty())
        return failed(QStringLiteral("转换失败：没有可用的临时工作文件夹。"), QString());

    const command::Folders folders{m_setup.applicationFolder, m_setup.workingFolder, QLatin1Char('/')};
    const QString delivered = m_setup.applicationFolder + QStringLiteral("/conv.dll");
    const QString converter = command::converterPath(folders);
    if (!QFileInfo(delivered).isFile())
        return failed(QStringLiteral("转换失败：找不到转换程序。"), delivered);
    const RemovedAtEnd converterCopy{converter};
    if (const auto copied = offThread([&] { return platform::copyFileReplacing(delivered, converter); }); !copied.ok())
        return failed(QStringLiteral("转换失败：无法把转换程序复制到 data 文件夹。"), copied.message());

    // Nothing of an earlier run may pass for this run's input or output.
    const QString input = command::workingInputPath(folders, m_setup.sourcePath);
    const QString output = command::workingOutputPath(folders);
    (void)platform::deleteFile(output);
    (void)platform::deleteFile(input);
    if (const auto copied = offThread([&] { return platform::copyFileReplacing(m_setup.sourcePath, input); });
        !copied.ok())
        return failed(QStringLiteral("转换失败：无法复制源文件。"), copied.message());
    // For a 3GP source this is the input itself, which the converter must replace.
    const platform::FileStamp before = platform::stampOf(output);

    m_command = command::compose(folders, m_setup.sourcePath, m_setup.readSettings());
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    connect(&process, &QProcess::readyReadStandardError, this,
            [&] { readErrors(process.readAllStandardError()); });
    QEventLoop untilEnded;
    connect(&process, &QProcess::finished, &untilEnded, &QEventLoop::quit);
    connect(&process, &QProcess::errorOccurred, &untilEnded, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            untilEnded.quit();
    });
    platform::startTiedToUs(process, {m_command.program, m_command.arguments});
    if (process.state() != QProcess::NotRunning) {
        emit converterStarted();
        untilEnded.exec();
    }
    if (process.error() == QProcess::FailedToStart)
        return failed(QStringLiteral("转换失败：无法启动转换程序。"), process.errorString());
    readErrors(process.readAllStandardError() + '\n');

    const platform::FileStamp after = platform::stampOf(output);
    const bool fresh = after.exists && after.size > 0 && after != before;
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 || !fresh) {
        QString detail = m_lastError;
        if (detail.isEmpty())
            detail = process.exitCode() == 0 && process.exitStatus() == QProcess::NormalExit
                         ? QStringLiteral("转换程序没有写出结果文件。")
                         : exitDescription(process);
        return failed(QStringLiteral("转换失败。"), detail);
    }

    const QString stamp = result::stamp(m_setup.now());
    Outcome outcome;
    const auto saved = offThread([&] {
        return platform::copyUnderFreeName(output, m_setup.outputFolder,
                                           [&](int attempt) { return result::fileName(stamp, attempt); },
                                           &outcome.resultPath);
    });
    if (!saved.ok())
        return failed(QStringLiteral("转换结果无法保存到 output 文件夹，它仍在：\n%1").arg(output), saved.message());
    (void)m_setup.openFolder(m_setup.outputFolder);
    outcome.converted = true;
    return outcome;
}

// A copy of a large file takes seconds; meanwhile the window must go on painting.
platform::Status ConversionRun::offThread(const std::function<platform::Status()>& work)
{
    std::optional<platform::Status> status;
    QEventLoop untilDone;
    std::thread worker([&] {
        status = work();
        // Queued: it reaches the loop even when posted before the loop runs.
        QMetaObject::invokeMethod(&untilDone, [&untilDone] { untilDone.quit(); }, Qt::QueuedConnection);
    });
    untilDone.exec();
    worker.join();
    return *status;
}

// Progress lines become progressChanged; the last error line is kept for the
// failure warning.
void ConversionRun::readErrors(const QByteArray& chunk)
{
    m_errorTail += chunk;
    for (qsizetype end = m_errorTail.indexOf('\n'); end >= 0; end = m_errorTail.indexOf('\n')) {
        const QByteArray line = m_errorTail.left(end).trimmed();
        m_errorTail.remove(0, end + 1);
        if (line.startsWith(kErrorPrefix))
            m_lastError = QString::fromUtf8(line);
        else if (const auto progress = ProgressLine::read(line))
            reportProgress(progress->percent());
    }
    if (m_errorTail.size() > kLongestLine)
        m_errorTail.clear();  // no line is that long; do not hoard it
}

void ConversionRun::reportProgress(std::optional<int> percent)
{
    if (m_lastPercent == percent)
        return;
    m_lastPercent = percent;
    emit progressChanged(percent);
}

}  // namespace conversion
