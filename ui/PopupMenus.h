#pragma once
// The popup menus of the menu strip, held by a window that is never shown. Their
// entries run nothing themselves: each writes a command message into the main
// window's hidden text box, and that box's change handler runs the command, so an
// entry and the tool-bar button with the same index always do the same thing.

#include "ui/state/ActionDispatch.h"

#include <QString>
#include <QWidget>

class HiddenTextBox;
class QAction;
class QMenu;

class frmPop : public QWidget {
    Q_OBJECT
public:
    // `menuMsg` is the main window's command box; `owner` owns the About box.
    frmPop(HiddenTextBox* menuMsg, QWidget* owner);

    // Group j as the menu strip opens it: 0 File, 1 Tools, 2 Settings, 3 About;
    // null for any other index.
    QMenu* group(int j) const;

private:
    // Puts into `msgToggle` the letter for the next message: the opposite of the
    // one the box's text starts with, so that every message differs from the last.
    void ChangeMsg();
    void menuA_Click();
    QAction* entry(QMenu* group, const QString& name, const QString& caption, actions::Code actionCode);
    void sendCommand(actions::Code actionCode);

    QString msgToggle;
    QMenu* menuFile;
    QMenu* menuTools;
    QMenu* menuSettings;
    QMenu* menuAbout;
    QAction* menuAdd;
    QAction* menuRemove;
    QAction* menuS;
    QAction* menuExit;
    QAction* menuConverter;
    QAction* menuSetting;
    QAction* menuHelp;
    QAction* menuSS;
    QAction* menuA;

    HiddenTextBox* m_menuMsg;
    QWidget* m_owner;
};
