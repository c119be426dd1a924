#include "ConverterStatus.h"
#include "DesktopEntry.h"
#include "frmMain.h"

#include "conversion/SourceArrival.h"
#include "dialogs/QtTranslations.h"
#include "platform/PrivateTempFolder.h"
#include "platform/SessionHandOver.h"
#include "platform/StopSignals.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Taken from here on; one that arrives before the window is connected waits.
    platform::StopSignals stopSignals(tovaro::kStopSignals);
    const QString entryId = QString::fromLatin1(tovaro::kDesktopEntryId);
    const QStringList files = source::filesFromArguments(QCoreApplication::arguments());
    // One window per session: a window already open takes the files and comes to the front.
    platform::FileReceiver receiver;
    if (!receiver.listen(entryId) && platform::handOverFiles(entryId, files))
        return 0;
    // Ties the window to its desktop entry: the Wayland app id, the task bar's icon.
    QGuiApplication::setDesktopFileName(entryId);
    // The X11 class: its class half from the application name, its instance half from
    // RESOURCE_NAME as the first window is made (and only then: the programs we start
    // later must not inherit it). A RESOURCE_NAME of the user's own is kept.
    QCoreApplication::setApplicationName(QString::fromLatin1(tovaro::kWindowClass));
    const bool namesInstance = !qEnvironmentVariableIsSet("RESOURCE_NAME");
    if (namesInstance)
        qputenv("RESOURCE_NAME", tovaro::kWindowClass);
    (void)dialogs::installChineseQtTexts(application);
    frmMain window({QCoreApplication::applicationDirPath(), platform::temporaryBase()});
    QObject::connect(&receiver, &platform::FileReceiver::filesArrived, &window, &frmMain::openHandedOver);
    window.Form_Load();
    QObject::connect(&stopSignals, &platform::StopSignals::received, &window, &frmMain::stopAndQuit);
    window.showCentred();
    if (namesInstance)
        qunsetenv("RESOURCE_NAME");
    window.openAtStart(files);
    return application.exec();
}
