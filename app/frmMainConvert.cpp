// The Convert action.

#include "frmMain.h"

#include "dialogs/MessageBox.h"

void frmMain::Convert()
{
    if (!source.isLoaded()) {
        dialogs::showMessage(this, {source::warningTitle(), QStringLiteral("请先添加文件"), dialogs::MessageIcon::Warning});
        return;
    }
}
