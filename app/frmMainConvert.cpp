// The Convert action and the busy indicator. The run itself is conversion logic; the
// window shows its states: converting, then idle or, when it did not work, the file
// still loaded and a warning.

#include "frmMain.h"

#include "conversion/BusyIndicator.h"
#include "conversion/ConversionRun.h"
#include "conversion/RunView.h"
#include "dialogs/MessageBox.h"
#include "platform/ShellOpen.h"
#include "ui/BusySquare.h"
#include "ui/SettingsPanel.h"
#include "ui/SkinImage.h"

#include <QCoreApplication>
#include <QTimer>

void frmMain::connectConversion() { connect(Timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer); }

void frmMain::Convert()
{
    const auto warn = [this](const QString& text) {
        dialogs::showMessage(this, {source::warningTitle(), text, dialogs::MessageIcon::Warning});
    };
    if (!source.isLoaded()) {
        warn(QStringLiteral("请先添加文件"));
        return;
    }
    if (converting)
        return;  // only one run at a time, however the request came in

    conversion::ConversionRun run({m_paths.applicationFolder, m_folders.temp, m_folders.output, m_folders.data,
                                   source.path, [this] { return picSetting->selection(); },
                                   [](const QString& folder) { return platform::shellOpen(folder); }});
    if (const QString refusal = run.claim(); !refusal.isEmpty()) {
        warn(refusal);
        return;
    }

    converting = true;
    showConverting();
    QCoreApplication::processEvents();
    const conversion::Outcome outcome = run.exec();
    lastCommandLine = run.commandLine();
    showConversionEnded(outcome.converted);
    converting = false;
    if (!outcome.converted)
        warn(outcome.warning);
}

// Input is refused from the start, not only once the converter runs: the copies
// before it run in the background now, and nothing may change under them. The
// squares walk through the copies too, so a long copy shows as work in progress.
void frmMain::showConverting()
{
    source::showConverting(source);
    showSource();
    imgButton[2]->clearPicture();
    setEnabled(false);
    for (BusySquare* square : SP)
        square->show();
    Timer1->start();
}

void frmMain::showConversionEnded(bool converted)
{
    source::showRunEnded(source, converted);
    showSource();
    setEnabled(true);
    for (BusySquare* square : SP)
        square->hide();
    Timer1->stop();
}

void frmMain::Timer1_Timer()
{
    const auto colours = busy::tick(BusyStep);
    for (std::size_t i = 0; i < SP.size(); ++i)
        SP[i]->setFillColour(QColor(colours[i].red, colours[i].green, colours[i].blue));
}
