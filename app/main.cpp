#include "frmMain.h"

#include "platform/PrivateTempFolder.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    frmMain window({QCoreApplication::applicationDirPath(), platform::temporaryBase()});
    window.Form_Load();
    window.showCentred();
    return application.exec();
}
