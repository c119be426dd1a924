#include "MessageBox.h"

#include <QMessageBox>

namespace dialogs {

namespace {
std::function<void(const Message&)>& sink()
{
    static std::function<void(const Message&)> current;
    return current;
}
}  // namespace

void setMessageSink(std::function<void(const Message&)> newSink) { sink() = std::move(newSink); }

void showMessage(QWidget* owner, const Message& message)
{
    if (sink()) {
        sink()(message);
        return;
    }
    QMessageBox box(message.icon == MessageIcon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, message.title,
                    message.text, QMessageBox::Ok, owner);
    box.setObjectName(QStringLiteral("messageBox"));
    box.exec();
}

}  // namespace dialogs
