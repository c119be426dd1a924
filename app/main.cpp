#include "frmMain.h"

#include "dialogs/QtTranslations.h"
#include "platform/PrivateTempFolder.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    (void)dialogs::installChineseQtTexts(application);
    frmMain window({QCoreApplication::applicationDirPath(), platform::temporaryBase()});
    window.Form_Load();
    window.showCentred();
    return application.exec();
}
