// The Convert action and the busy indicator. The run itself is conversion logic; the
// window shows its states: converting, then idle or, when it did not work, the file
// still loaded and a warning.

#include "frmMain.h"

#include "DesktopEntry.h"
#include "Shutdown.h"
#include "conversion/BusyIndicator.h"
#include "conversion/RunView.h"
#include "dialogs/MessageBox.h"
#include "platform/DesktopSignals.h"
#include "platform/ShellOpen.h"
#include "ui/BusySquare.h"
#include "ui/SettingsPanel.h"
#include "ui/SkinImage.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>

namespace {

const QString kTitle = QStringLiteral("Tovaro PRO");

QString desktopEntryId() { return QString::fromLatin1(tovaro::kDesktopEntryId); }

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

    conversion::ConversionRun run({m_paths.applicationFolder,
                                   m_folders.temp,
                                   m_folders.output,
                                   m_folders.data,
                                   source.path,
                                   [this] { return picSetting->selection(); },
                                   {}});
    if (const QString refusal = run.claim(); !refusal.isEmpty()) {
        warn(refusal);
        return;
    }

    beginRun(run);
    connect(&run, &conversion::ConversionRun::progressChanged, this, &frmMain::showProgress);
    QCoreApplication::processEvents();
    const conversion::Outcome outcome = run.exec();
    if (outcome.stopped)
        endProgram();  // what the user asked for; the working files are gone by now
    endRun(outcome.converted);
    reportOutcome(outcome);
}

// The one place a run's outcome reaches the user: in the window, and in a
// notification for someone looking elsewhere.
void frmMain::reportOutcome(const conversion::Outcome& outcome)
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
void frmMain::showProgress(std::optional<int> percent)
{
    setWindowTitle(percent ? QStringLiteral("%1 - %2%").arg(kTitle).arg(*percent) : kTitle);
    platform::showLauncherProgress(desktopEntryId(), percent ? std::optional<double>(*percent / 100.0) : std::nullopt);
}

// Input is refused from the start, not only once the converter runs: the copies
// before it run in the background now, and nothing may change under them. The
// squares walk through the copies too, so a long copy shows as work in progress.
void frmMain::beginRun(conversion::ConversionRun& run)
{
    m_run = &run;
    source::showConverting(source);
    showSource();
    imgButton[actions::kConvert]->clearPicture();
    refuseInput(true);
    for (BusySquare* square : SP)
        square->show();
    Timer1->start();
}

void frmMain::endRun(bool converted)
{
    showProgress(std::nullopt);
    source::showRunEnded(source, converted);
    showSource();
    refuseInput(false);
    for (BusySquare* square : SP)
        square->hide();
    Timer1->stop();
    m_run = nullptr;
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
