#include "PopupMenus.h"

#include "HiddenTextBox.h"
#include "dialogs/MessageBox.h"

#include <QMenu>

namespace {

QMenu* menuGroup(const QString& name, const QString& caption, QWidget* parent)
{
    auto* group = new QMenu(caption, parent);
    group->setObjectName(name);
    return group;
}

// A plain line: a separator with a text would be drawn as a section heading.
QAction* separator(QMenu* group, const QString& name)
{
    QAction* line = group->addSeparator();
    line->setObjectName(name);
    return line;
}

}  // namespace

frmPop::frmPop(HiddenTextBox* menuMsg, QWidget* owner) : QWidget(owner, Qt::Window), m_menuMsg(menuMsg), m_owner(owner)
{
    setObjectName(QStringLiteral("frmPop"));

    menuFile = menuGroup(QStringLiteral("menuFile"), QStringLiteral("File"), this);
    menuAdd = entry(menuFile, QStringLiteral("menuAdd"), QStringLiteral("添加新文件(&A)"), actions::kAdd);
    menuRemove = entry(menuFile, QStringLiteral("menuRemove"), QStringLiteral("移除选中的文件(&R)"), actions::kRemove);
    menuS = separator(menuFile, QStringLiteral("menuS"));
    menuExit = entry(menuFile, QStringLiteral("menuExit"), QStringLiteral("退出(&E)"), actions::kExit);

    menuTools = menuGroup(QStringLiteral("menuTools"), QStringLiteral("Tools"), this);
    menuConverter =
        entry(menuTools, QStringLiteral("menuConverter"), QStringLiteral("开始转换(&C)"), actions::kConvert);

    menuSettings = menuGroup(QStringLiteral("menuSettings"), QStringLiteral("Settings"), this);
    menuSetting = entry(menuSettings, QStringLiteral("menuSetting"), QStringLiteral("设置(&S)"), actions::kSettings);

    menuAbout = menuGroup(QStringLiteral("menuAbout"), QStringLiteral("About"), this);
    menuHelp = entry(menuAbout, QStringLiteral("menuHelp"), QStringLiteral("帮助(&H)"), actions::kHelp);
    menuSS = separator(menuAbout, QStringLiteral("menuSS"));
    menuA = menuAbout->addAction(QStringLiteral("关于(&A)"), this, &frmPop::menuA_Click);
    menuA->setObjectName(QStringLiteral("menuA"));
}

QMenu* frmPop::group(int j) const
{
    switch (j) {
    case 0: return menuFile;
    case 1: return menuTools;
    case 2: return menuSettings;
    case 3: return menuAbout;
    default: return nullptr;
    }
}

QAction* frmPop::entry(QMenu* group, const QString& name, const QString& caption, actions::Code actionCode)
{
    QAction* action = group->addAction(caption, this, [this, actionCode] { sendCommand(actionCode); });
    action->setObjectName(name);
    return action;
}

void frmPop::ChangeMsg()
{
    msgToggle = m_menuMsg->text().left(1);
    msgToggle = msgToggle == QLatin1String("b") ? QStringLiteral("a") : QStringLiteral("b");
}

// The change handler of the box runs the command before this returns.
void frmPop::sendCommand(actions::Code actionCode)
{
    ChangeMsg();
    m_menuMsg->setText(msgToggle + QString::number(actionCode));
}

void frmPop::menuA_Click()
{
    dialogs::showMessage(m_owner, {QStringLiteral("About"),
                                   QStringLiteral("Tovaro PRO 3GP 视频转换器，由 Tovaro 工作室制作") +
                                       QStringLiteral("\r\n") + QStringLiteral("版权所有，保留一切权利。"),
                                   dialogs::MessageIcon::None});
}
