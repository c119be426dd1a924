#include "frmMain.h"

#include "conversion/SourceArrival.h"
#include "dialogs/QtTranslations.h"
#include "platform/PrivateTempFolder.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // The desktop entry's id: desktops match the window to its menu entry and icon by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tovaropro.TovaroPRO"));
    (void)dialogs::installChineseQtTexts(application);
    frmMain window({QCoreApplication::applicationDirPath(), platform::temporaryBase()});
    window.Form_Load();
    window.showCentred();
    window.openAtStart(source::fileFromArguments(QCoreApplication::arguments()));
    return application.exec();
}
