#include "TextWindow.h"

#include <QPlainTextEdit>

namespace dialogs {

QPlainTextEdit* showTextWindow(QWidget* owner, const QString& title, const QString& text)
{
    const QString name = QStringLiteral("textWindow");
    auto* window = owner ? owner->findChild<QPlainTextEdit*>(name, Qt::FindDirectChildrenOnly) : nullptr;
    if (!window || window->windowTitle() != title) {
        window = new QPlainTextEdit(owner);
        window->setObjectName(name);
        window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->setWindowTitle(title);
        window->setReadOnly(true);
        window->setPlainText(text);
        window->resize(560, 420);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace dialogs
