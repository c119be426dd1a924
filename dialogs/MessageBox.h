#pragma once
// The program's message boxes: modal, with OK, or 是 and 否 for a question. Tests
// replace the box on the screen with a sink that receives the message, so no test
// ever waits on a window; the box itself is made by a function of its own.

#include <QString>

#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace dialogs {

enum class MessageIcon { None, Warning, Information, Question };

struct Message {
    Message() = default;
    Message(QString title_, QString text_, MessageIcon icon_ = MessageIcon::None, QString detail_ = {})
        : title(std::move(title_)),
          text(std::move(text_)),
          icon(icon_),
          detail(std::move(detail_))
    {}

    QString title;
    QString text;
    MessageIcon icon = MessageIcon::None;
    QString detail;  // behind the box's details button; none when empty
};

void showMessage(QWidget* owner, const Message& message);

// Asks with 是 and 否 (the default); true for 是. Closing the box answers 否.
bool askYesNo(QWidget* owner, const Message& question);

// While a sink is set, messages and questions go to it instead of the screen, and a
// question gets the answer queued by setNextAnswer (否 when none is). An empty
// function restores the real box.
void setMessageSink(std::function<void(const Message&)> sink);
void setNextAnswer(bool yes);

// The box as it would show: a dialog window with a title and a close button and no
// other decorations.
std::unique_ptr<QMessageBox> makeMessageBox(QWidget* owner, const Message& message, bool question = false);

}  // namespace dialogs
