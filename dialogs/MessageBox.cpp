#include "MessageBox.h"

#include <QMessageBox>

#include <optional>

namespace dialogs {

namespace {

std::function<void(const Message&)>& sink()
{
    static std::function<void(const Message&)> current;
    return current;
}

std::optional<bool>& queuedAnswer()
{
    static std::optional<bool> answer;
    return answer;
}

QMessageBox::Icon iconOf(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void setMessageSink(std::function<void(const Message&)> newSink) { sink() = std::move(newSink); }

void setNextAnswer(bool yes) { queuedAnswer() = yes; }

std::unique_ptr<QMessageBox> makeMessageBox(QWidget* owner, const Message& message, bool question)
{
    auto box = std::make_unique<QMessageBox>(iconOf(message.icon), message.title, message.text,
                                             question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, owner);
    box->setObjectName(QStringLiteral("messageBox"));
    // Without this, window managers read a dialog of a frameless owner as a plain
    // window and give it minimise and maximise buttons.
    box->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    if (question) {
        // Enter must never throw work away: the safe answer is the default, 是 stays
        // one click or the Y key away.
        box->setDefaultButton(QMessageBox::No);
        box->setEscapeButton(QMessageBox::No);
    }
    if (!message.detail.isEmpty())
        box->setDetailedText(message.detail);
    return box;
}

void showMessage(QWidget* owner, const Message& message)
{
    if (sink()) {
        sink()(message);
        return;
    }
    makeMessageBox(owner, message)->exec();
}

bool askYesNo(QWidget* owner, const Message& question)
{
    if (sink()) {
        sink()(question);
        const bool yes = queuedAnswer().value_or(false);
        queuedAnswer().reset();
        return yes;
    }
    return makeMessageBox(owner, question, true)->exec() == QMessageBox::Yes;
}

}  // namespace dialogs
