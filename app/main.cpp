#include "DesktopEntry.h"
#include "frmMain.h"

#include "conversion/SourceArrival.h"
#include "dialogs/QtTranslations.h"
#include "platform/PrivateTempFolder.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Ties the window to its desktop entry: the Wayland app id, the task bar's icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(tovaro::kDesktopEntryId));
    (void)dialogs::installChineseQtTexts(application);
    frmMain window({QCoreApplication::applicationDirPath(), platform::temporaryBase()});
    window.Form_Load();
    window.showCentred();
    window.openAtStart(source::fileFromArguments(QCoreApplication::arguments()));
    return application.exec();
}
