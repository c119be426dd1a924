#include "DesktopEntry.h"
#include "frmMain.h"

#include "platform/PrivateTempFolder.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Ties the window to its desktop entry: the Wayland app id, the task bar's icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(tovaro::kDesktopEntryId));
    frmMain window({QCoreApplication::applicationDirPath(), platform::temporaryBase()});
    window.Form_Load();
    window.showCentred();
    return application.exec();
}
