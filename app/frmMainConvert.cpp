// The Convert action and the busy indicator. The run itself is conversion logic; the
// window shows its states: converting, then idle or, when it did not work, the files
// that failed still loaded and a warning.

#include "frmMain.h"

#include "DesktopEntry.h"
#include "Shutdown.h"
#include "dialogs/MessageBox.h"
#include "platform/DesktopSignals.h"
#include "platform/ShellOpen.h"
#include "ui/BusySquare.h"
#include "ui/SettingsPanel.h"
#include "ui/SkinImage.h"
#include "ui/state/BusyIndicator.h"
#include "ui/state/RunView.h"

#include <QFileInfo>
#include <QTimer>

namespace {

const QString kTitle = QStringLiteral("Tovaro PRO");

QString desktopEntryId() { return QString::fromLatin1(tovaro::kDesktopEntryId); }

QString joinedBlocks(const QString& first, const QString& second)
{
    if (first.isEmpty() || second.isEmpty())
        return first + second;
    return first + QStringLiteral("\n\n") + second;
}

}  // namespace

void frmMain::connectConversion() { connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer); }

void frmMain::Convert()
{
    if (!source.isLoaded()) {
        warn(QStringLiteral("请先添加文件"));
        return;
    }
    if (converting())
        return;  // only one run at a time, however the request came in

    auto run = std::make_unique<conversion::QueueRun>(conversion::RunSetup{m_paths.applicationFolder,
                                                                           m_folders.temp,
                                                                           m_folders.output,
                                                                           m_folders.data,
                                                                           {},
                                                                           [this] { return picSetting->selection(); },
                                                                           {}},
                                                      source.queue);
    if (const QString refusal = run->claim(); !refusal.isEmpty()) {
        warn(refusal);
        return;
    }
    connect(run.get(), &conversion::QueueRun::progressChanged, this, &frmMain::showProgress);
    connect(run.get(), &conversion::QueueRun::fileStarted, this, [this](const QString& path) {
        source.path = path;
        showSource();
    });
    // Queued, so that the run has left its own code when the window lets it go.
    connect(run.get(), &conversion::QueueRun::finished, this, &frmMain::runEnded, Qt::QueuedConnection);
    beginRun(std::move(run));
    m_run->start();
}

void frmMain::runEnded(const conversion::QueueOutcome& outcome)
{
    // The question whether to stop, open over the run, is answered first: its 是
    // means the user wants none of it.
    if (m_askingToStop && !outcome.stopped) {
        m_endedWhileAsking = outcome;
        return;
    }
    if (outcome.stopped)
        endProgram();  // what the user asked for; the working files are gone by now
    endRun(outcome.failedPaths());
    reportOutcome(outcome);
}

// The one place a run's outcome reaches the user: in the window, and in a
// notification for someone looking elsewhere. A single file is told about as such;
// a queue in one word for all its files.
void frmMain::reportOutcome(const conversion::QueueOutcome& queue)
{
    if (queue.stopped || queue.filesRun() == 0)
        return;
    if (queue.filesRun() == 1) {
        conversion::Outcome one;
        if (queue.failed.isEmpty()) {
            one.converted = true;
            one.resultPath = queue.results.first();
        } else {
            one = queue.failed.first().outcome;
        }
        reportOneOutcome(one);
        if (one.converted)
            tellChanges(queue);
        return;
    }
    const QString failures = queue.failed.isEmpty() ? QString() : conversion::queueFailureText(queue);
    if (!isActiveWindow()) {
        if (failures.isEmpty())
            platform::notify(desktopEntryId(), QStringLiteral("转换完成"),
                             QStringLiteral("已转换 %1 个文件").arg(queue.results.size()));
        else
            platform::notify(desktopEntryId(), QStringLiteral("转换失败"), failures.section(QLatin1Char('\n'), 0, 0));
    }
    if (failures.isEmpty()) {
        showResult(queue.results.last());
        tellChanges(queue);
    } else {  // one box for the whole queue
        warn(joinedBlocks(failures, conversion::queueChangeText(queue)),
             joinedBlocks(conversion::queueFailureDetail(queue), conversion::queueChangeDetail(queue)));
    }
}

// Files that converted with the sound left out, the rate lowered or damage skipped:
// the result is there, but not quite what the user asked for.
void frmMain::tellChanges(const conversion::QueueOutcome& queue)
{
    if (queue.changed.isEmpty())
        return;
    dialogs::showMessage(this, {QStringLiteral("提示"), conversion::queueChangeText(queue),
                                dialogs::MessageIcon::Information, conversion::queueChangeDetail(queue)});
}

void frmMain::reportOneOutcome(const conversion::Outcome& outcome)
{
    if (outcome.converted)
        announce(QStringLiteral("转换完成：%1").arg(QFileInfo(outcome.resultPath).fileName()));
    else if (!outcome.stopped)
        announce(QStringLiteral("转换失败：%1").arg(outcome.warning));
    if (!isActiveWindow()) {
        if (outcome.converted)
            platform::notify(desktopEntryId(), QStringLiteral("转换完成"), QFileInfo(outcome.resultPath).fileName());
        else if (!outcome.stopped)
            platform::notify(desktopEntryId(), QStringLiteral("转换失败"), outcome.warning);
    }
    if (outcome.converted)
        showResult(outcome.resultPath);
    else if (!outcome.stopped)
        warn(outcome.warning, outcome.detail);
}

// The output folder opens on the desktop. Where nothing can open it, the user is told
// where the result is: a finished run must never look like nothing happened.
void frmMain::showResult(const QString& resultPath)
{
    platform::shellOpen(m_folders.output, this, [this, resultPath](bool opened) {
        if (!opened)
            dialogs::showMessage(this,
                                 {QStringLiteral("完成"), QStringLiteral("转换完成，结果保存在：\n%1").arg(resultPath),
                                  dialogs::MessageIcon::Information});
    });
}

// The frameless window draws no title, but every task bar shows it.
void frmMain::showProgress(const std::optional<conversion::QueueProgress>& progress)
{
    setWindowTitle(progress ? progress->title(kTitle) : kTitle);
    platform::showLauncherProgress(desktopEntryId(), progress ? progress->fraction() : std::nullopt);
}

// Input is refused from the start, not only once the converter runs: the copies
// before it run in the background now, and nothing may change under them. The
// squares walk through the copies too, so a long copy shows as work in progress.
void frmMain::beginRun(std::unique_ptr<conversion::QueueRun> run)
{
    m_run = std::move(run);
    source::showConverting(source);
    showSource();
    imgButton[actions::kConvert]->clearPicture();
    refuseInput(true);
    for (BusySquare* square : SP)
        square->show();
    Timer1->start();
}

void frmMain::endRun(const QStringList& failed)
{
    showProgress(std::nullopt);
    source::showQueueEnded(source, failed);
    showSource();
    refuseInput(false);
    for (BusySquare* square : SP)
        square->hide();
    Timer1->stop();
    m_run.reset();
}

// Everything but the close glyph: quitting must stay possible during a run.
void frmMain::refuseInput(bool refused)
{
    for (QWidget* element : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (element != imgExit && !element->isWindow())
            element->setEnabled(!refused);
}

void frmMain::Timer1_Timer()
{
    const auto colours = busy::tick(BusyStep);
    for (std::size_t i = 0; i < colours.size(); ++i)
        SP[i]->setFillColour(QColor(colours[i].red, colours[i].green, colours[i].blue));
}
