#pragma once
// The program's message boxes: modal, one OK button. Tests replace the box on the
// screen with a sink that receives the message, so no test ever waits on a window.

#include <QString>

#include <functional>

class QWidget;

namespace dialogs {

enum class MessageIcon { None, Warning };

struct Message {
    QString title;
    QString text;
    MessageIcon icon = MessageIcon::None;
};

void showMessage(QWidget* owner, const Message& message);

// While a sink is set, messages go to it instead of the screen. An empty function
// restores the real box.
void setMessageSink(std::function<void(const Message&)> sink);

}  // namespace dialogs
