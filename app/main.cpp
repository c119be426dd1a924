#include "DesktopEntry.h"
#include "frmMain.h"

#include "conversion/SourceArrival.h"
#include "dialogs/QtTranslations.h"
#include "platform/PrivateTempFolder.h"
#include "platform/SessionHandOver.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QString entryId = QString::fromLatin1(tovaro::kDesktopEntryId);
    const QStringList files = source::filesFromArguments(QCoreApplication::arguments());
    // One window per session: a window already open takes the files and comes to the front.
    platform::FileReceiver receiver;
    if (!receiver.listen(entryId) && platform::handOverFiles(entryId, files))
        return 0;
    // Ties the window to its desktop entry: the Wayland app id, the task bar's icon.
    QGuiApplication::setDesktopFileName(entryId);
    (void)dialogs::installChineseQtTexts(application);
    frmMain window({QCoreApplication::applicationDirPath(), platform::temporaryBase()});
    QObject::connect(&receiver, &platform::FileReceiver::filesArrived, &window, &frmMain::openHandedOver);
    window.Form_Load();
    window.showCentred();
    window.openAtStart(files);
    return application.exec();
}
