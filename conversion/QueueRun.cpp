#include "QueueRun.h"

#include "FailureText.h"

#include <QFileInfo>

namespace conversion {

QStringList QueueOutcome::failedPaths() const
{
    QStringList paths;
    for (const FailedFile& file : failed)
        paths << file.path;
    return paths;
}

QString QueueProgress::title(const QString& title) const
{
    QString shown = title;
    if (total > 1)
        shown += QStringLiteral(" - %1/%2").arg(number).arg(total);
    if (percent)
        shown += QStringLiteral(" - %1%").arg(*percent);
    return shown;
}

std::optional<double> QueueProgress::fraction() const
{
    if (total <= 1 && !percent)
        return std::nullopt;
    const double done = static_cast<double>(number - 1) + percent.value_or(0) / 100.0;
    return done / static_cast<double>(total);
}

QueueRun::QueueRun(RunSetup setup, const QStringList& queue, QObject* parent)
    : QObject(parent),
      m_run(std::move(setup)),
      m_queue(queue)
{
    connect(&m_run, &ConversionRun::progressChanged, this, [this](std::optional<int> percent) {
        emit progressChanged({m_number, m_queue.size(), percent});
    });
    connect(&m_run, &ConversionRun::finished, this, [this](const Outcome& one) { fileEnded(m_path, one); });
}

void QueueRun::start()
{
    m_outcome = {};
    m_number = 0;
    QMetaObject::invokeMethod(this, &QueueRun::startNext, Qt::QueuedConnection);
}

void QueueRun::startNext()
{
    // The queue may grow while a file converts, so its length is read every turn.
    if (m_stopped || m_number >= m_queue.size()) {
        m_outcome.stopped = m_stopped;
        emit finished(m_outcome);
        return;
    }
    m_path = m_queue.at(m_number);
    const QString path = m_path;
    ++m_number;
    emit fileStarted(path);
    if (m_queue.size() > 1)
        emit progressChanged({m_number, m_queue.size(), std::nullopt});
    // Files are only named when they join: one deleted or moved since then fails
    // here, without touching the working folders.
    if (!QFileInfo(path).isFile())
        return fileEnded(path, Outcome{false, false, {}, missingFileText(path), {}, {}});
    m_run.setSourcePath(path);
    m_run.start();
}

void QueueRun::fileEnded(const QString& path, const Outcome& one)
{
    if (one.stopped || m_stopped) {
        m_outcome.stopped = true;
        emit finished(m_outcome);
        return;
    }
    if (one.converted)
        m_outcome.results << one.resultPath;
    if (one.converted && !one.changes.isEmpty())
        m_outcome.changed << ChangedFile{path, one.changes};
    else if (!one.converted)
        m_outcome.failed << FailedFile{path, one};
    startNext();
}

void QueueRun::stop()
{
    m_stopped = true;
    m_run.stop();
}

namespace {

// Each file's name and what is said of it, up to kFailuresListed of them.
template <typename File, typename Said>
void listFiles(QStringList& lines, const QList<File>& files, Said said)
{
    const qsizetype listed = std::min(files.size(), kFailuresListed);
    for (qsizetype i = 0; i < listed; ++i)
        lines << QStringLiteral("%1：%2").arg(QFileInfo(files.at(i).path).fileName(), said(files.at(i)));
    if (files.size() > listed)
        lines << QStringLiteral("……另有 %1 个，见详情。").arg(files.size() - listed);
}

}  // namespace

QString queueFailureText(const QueueOutcome& outcome)
{
    QStringList lines;
    lines << QStringLiteral("已转换 %1 个文件，%2 个文件转换失败：")
                 .arg(outcome.results.size())
                 .arg(outcome.failed.size());
    listFiles(lines, outcome.failed, [](const FailedFile& file) { return file.outcome.warning; });
    lines << QStringLiteral("转换失败的文件仍在队列中，可以更改设置后再次转换。");
    return lines.join(QLatin1Char('\n'));
}

QString queueFailureDetail(const QueueOutcome& outcome)
{
    QStringList blocks;
    for (const FailedFile& file : outcome.failed) {
        QString block = file.path + QLatin1Char('\n') + file.outcome.warning;
        if (!file.outcome.detail.isEmpty())
            block += QLatin1Char('\n') + file.outcome.detail;
        blocks << block;
    }
    return blocks.join(QStringLiteral("\n\n"));
}

QString queueChangeText(const QueueOutcome& outcome)
{
    if (outcome.changed.isEmpty())
        return QString();
    QStringList lines{QStringLiteral("转换完成，但以下文件的转换结果与源文件或所选设置有所不同：")};
    listFiles(lines, outcome.changed, [](const ChangedFile& file) {
        QStringList told;
        for (const QString& line : file.changes)
            if (const auto change = resultChange(line); change && !told.contains(*change))
                told << *change;
        return told.join(QString());
    });
    return lines.join(QLatin1Char('\n'));
}

QString queueChangeDetail(const QueueOutcome& outcome)
{
    QStringList blocks;
    for (const ChangedFile& file : outcome.changed) {
        QStringList block{file.path};
        for (const QString& line : file.changes)
            block << converterDetail(line);
        blocks << block.join(QLatin1Char('\n'));
    }
    return blocks.join(QStringLiteral("\n\n"));
}

}  // namespace conversion
