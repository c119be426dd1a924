#include "ConverterStatus.h"
#include "DesktopEntry.h"
#include "frmMain.h"

#include "dialogs/QtTranslations.h"
#include "platform/PrivateTempFolder.h"
#include "platform/SessionHandOver.h"
#include "platform/StopSignalNotifier.h"
#include "platform/WindowMarker.h"
#include "ui/state/SourceArrival.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Taken from here on; one that arrives before the window is connected waits.
    platform::StopSignalNotifier stopSignals(tovaro::kStopSignals);
    const QString entryId = QString::fromLatin1(tovaro::kDesktopEntryId);
    const QStringList files = source::filesFromArguments(QCoreApplication::arguments());
    // One window per session: a window already open takes the files and comes to the
    // front. Its sign is asked first, as joining the session bus would delay our own window.
    platform::WindowMarker marker(entryId + QStringLiteral(".window"));
    if (marker.heldElsewhere() && platform::handOverFiles(entryId, files))
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
    window.Form_Load();
    QObject::connect(&stopSignals, &platform::StopSignalNotifier::received, &window, &frmMain::stopAndQuit);
    window.showCentred();
    if (namesInstance)
        qunsetenv("RESOURCE_NAME");
    platform::FileReceiver receiver;
    QObject::connect(&receiver, &platform::FileReceiver::filesArrived, &window, &frmMain::openHandedOver);
    QObject::connect(&window, &frmMain::firstFrameShown, &window, [&] {
        // A window that started alongside this one and took the name first gets the files.
        if (receiver.listen(entryId))
            marker.hold();
        else if (platform::handOverFiles(entryId, files))
            return QCoreApplication::exit(0);
        window.openAtStart(files);
    });
    return application.exec();
}
