// The live skin of the main window, offscreen: the pictures the hot zones show as the
// pointer moves, presses and releases; the popup menus and the command channel their
// entries write to; the text buttons' colours; what counts as the surface for a drag.

#define QTEST_QPA_MOUSE_HANDLING  // pointer events go through the window, grabs and all

#include "app/frmMain.h"
#include "dialogs/MessageBox.h"
#include "ui/BusySquare.h"
#include "ui/FileLine.h"
#include "ui/HiddenTextBox.h"
#include "ui/PopupMenus.h"
#include "ui/SettingsPanel.h"
#include "ui/SkinImage.h"

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// One letter per zone, from the picture it shows: N none, H hover, P pressed.
template <std::size_t N>
QString lettersOf(const std::array<SkinImage*, N>& zones, const std::array<QPixmap, N>& hover,
                  const std::array<QPixmap, N>& pressed)
{
    QString text;
    for (std::size_t i = 0; i < N; ++i) {
        const QImage picture = zones[i]->picture().toImage();
        text += !zones[i]->hasPicture()          ? QLatin1Char('N')
                : picture == hover[i].toImage()   ? QLatin1Char('H')
                : picture == pressed[i].toImage() ? QLatin1Char('P')
                                                  : QLatin1Char('?');
    }
    return text;
}

// "NNHNNN|NPNN": the tool bar, then the menu strip, as shown on the window.
QString shown(const frmMain& window)
{
    const skin::Pictures& p = window.pictures();
    return lettersOf(window.imgButton, p.buttonHover, p.buttonPush) + QLatin1Char('|') +
           lettersOf(window.imgMenu, p.menuHover, p.menuPush);
}

QPoint centreOf(const QWidget* element) { return element->mapTo(element->window(), element->rect().center()); }

// Runs `whileOpen` on the popup menu as soon as it is open, then closes it unless
// `whileOpen` chose an entry.
void onNextPopup(std::function<void(QMenu*)> whileOpen)
{
    QTimer::singleShot(0, [whileOpen] {
        auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(popup);
        whileOpen(popup);
        if (popup->isVisible())
            popup->close();
    });
}

const QPoint kBareSurface{300, 350};  // the status strip

}  // namespace

class LiveSkinTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_scratch.isValid());
        m_window = std::make_unique<frmMain>(StartupPaths{m_scratch.path(), m_scratch.path()});
        m_window->Form_Load();
        m_ran.clear();
        for (int code = 0; code < actions::kActionCount; ++code)
            m_window->actionTable[static_cast<std::size_t>(code)] = [this, code] { m_ran << code; };
        m_window->showCentred();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTest::mouseMove(m_window.get(), kBareSurface);
    }

    void cleanup()
    {
        dialogs::setMessageSink({});
        m_window.reset();
    }

    void hoverFollowsThePointerAcrossZonesAndSurface()
    {
        frmMain& w = *m_window;
        QTest::mouseMove(&w, centreOf(w.imgButton[2]));
        QTest::mouseMove(&w, centreOf(w.imgButton[3]));
        QTest::mouseMove(&w, centreOf(w.imgMenu[1]));
        QCOMPARE(shown(w), QStringLiteral("NNNHNN|NHNN"));
        QTest::mouseMove(&w, kBareSurface);
        QCOMPARE(shown(w), QStringLiteral("NNNNNN|NNNN"));

        // The status patch and the busy squares are drawn on the surface: moving
        // over them is moving over the window.
        w.imgLoaded->show();
        w.SP[3]->show();
        for (const QWidget* drawn : {static_cast<QWidget*>(w.imgLoaded), static_cast<QWidget*>(w.SP[3])}) {
            QTest::mouseMove(&w, centreOf(w.imgButton[0]));
            QTest::mouseMove(&w, centreOf(drawn));
            QCOMPARE(shown(w), QStringLiteral("NNNNNN|NNNN"));
        }
    }

    void pressHoldsUntilReleaseAnywhereRunsTheAction()
    {
        frmMain& w = *m_window;
        QTest::mouseMove(&w, centreOf(w.imgMenu[3]));
        QTest::mousePress(&w, Qt::RightButton, {}, centreOf(w.imgButton[0]));
        QCOMPARE(shown(w), QStringLiteral("PNNNNN|NNNH"));
        QVERIFY(w.looks.MouseHeld);
        QTest::mouseMove(&w, centreOf(w.imgButton[1]));
        QTest::mouseMove(&w, centreOf(w.imgMenu[2]));
        QCOMPARE(shown(w), QStringLiteral("PNNNNN|NNNH"));

        QTest::mouseRelease(&w, Qt::RightButton, {}, centreOf(w.imgButton[1]));
        QCOMPARE(shown(w), QStringLiteral("HNNNNN|NNNH"));
        QCOMPARE(m_ran, QList<int>{0});
        QVERIFY(!w.looks.MouseHeld);
    }

    void menuPressOpensItsGroupUnderTheItem()
    {
        frmMain& w = *m_window;
        w.picSetting->show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const QStringList groups{QStringLiteral("menuFile"), QStringLiteral("menuTools"),
                                 QStringLiteral("menuSettings"), QStringLiteral("menuAbout")};
        for (int j = 3; j >= 0; --j) {
            w.picSetting->cmbAB->setFocus();
            QString opened, looksWhileOpen;
            QPoint where;
            bool heldWhileOpen = false;
            onNextPopup([&](QMenu* popup) {
                opened = popup->objectName();
                where = w.mapFromGlobal(popup->pos());
                heldWhileOpen = w.looks.MouseHeld;
                looksWhileOpen = shown(w);
            });
            QTest::mousePress(&w, Qt::LeftButton, {}, centreOf(w.imgMenu[static_cast<std::size_t>(j)]));

            QCOMPARE(opened, groups[j]);
            QCOMPARE(where, QPoint(w.imgMenu[static_cast<std::size_t>(j)]->x(), 53));  // 36 px + 250 twips
            QVERIFY(heldWhileOpen);
            QVERIFY(!w.looks.MouseHeld);
            QCOMPARE(shown(w), looksWhileOpen);  // still pressed after it closed
            QCOMPARE(shown(w).mid(7, 4).indexOf(QLatin1Char('P')), j);
            // Only the File menu hands the keyboard to the window.
            QCOMPARE(w.focusWidget(), j == 0 ? static_cast<QWidget*>(&w) : static_cast<QWidget*>(w.picSetting->cmbAB));
            QTest::mouseRelease(&w, Qt::LeftButton, {}, centreOf(w.imgMenu[static_cast<std::size_t>(j)]));
        }
    }

    void acceleratorLetterChoosesTheEntry()
    {
        frmMain& w = *m_window;
        QTest::mouseMove(&w, centreOf(w.imgButton[3]));
        onNextPopup([](QMenu* popup) { QTest::keyClick(popup, Qt::Key_S); });
        QTest::mousePress(&w, Qt::LeftButton, {}, centreOf(w.imgMenu[2]));
        QCOMPARE(m_ran, QList<int>{3});
        QCOMPARE(w.menuMsg->text(), QStringLiteral("a3"));
        QCOMPARE(shown(w), QStringLiteral("NNNNNN|NNPN"));  // a menu command leaves no hover
        QVERIFY(!w.FromMenu);
        QTest::mouseRelease(&w, Qt::LeftButton, {}, centreOf(w.imgMenu[2]));
    }

    void groupsHoldTheirEntriesInOrder()
    {
        const frmPop& pop = m_window->popupMenus();
        QVERIFY(!pop.isVisible());
        const auto entries = [](const QMenu* group) {
            QStringList list;
            for (const QAction* action : group->actions())
                list << (action->isSeparator() ? QStringLiteral("-") : action->text());
            return list;
        };
        QCOMPARE(entries(pop.menuFile), (QStringList{QStringLiteral("添加新文件(&A)"), QStringLiteral("移除选中的文件(&R)"),
                                                     QStringLiteral("-"), QStringLiteral("退出(&E)")}));
        QCOMPARE(entries(pop.menuTools), QStringList{QStringLiteral("开始转换(&C)")});
        QCOMPARE(entries(pop.menuSettings), QStringList{QStringLiteral("设置(&S)")});
        QCOMPARE(entries(pop.menuAbout),
                 (QStringList{QStringLiteral("帮助(&H)"), QStringLiteral("-"), QStringLiteral("关于(&A)")}));
    }

    void channelAlternatesAndRunsEveryCommand()
    {
        frmPop& pop = m_window->popupMenus();
        // The same entry twice, then every entry once: each message differs from the
        // one before, so each one runs.
        const QList<std::pair<QAction*, QString>> sequence{
            {pop.menuSetting, QStringLiteral("a3")},   {pop.menuSetting, QStringLiteral("b3")},
            {pop.menuAdd, QStringLiteral("a0")},       {pop.menuRemove, QStringLiteral("b1")},
            {pop.menuConverter, QStringLiteral("a2")}, {pop.menuHelp, QStringLiteral("b4")},
            {pop.menuExit, QStringLiteral("a5")}};
        QList<int> expected;
        for (const auto& [entry, message] : sequence) {
            entry->trigger();
            QCOMPARE(m_window->menuMsg->text(), message);
            QCOMPARE(pop.msgToggle, message.left(1));
            expected << message.back().digitValue();
            QCOMPARE(m_ran, expected);
            QVERIFY(!m_window->FromMenu);
        }

        // A message that does not end in a digit is no command.
        QTest::mouseMove(m_window.get(), centreOf(m_window->imgButton[1]));
        for (const QString& message : {QStringLiteral("ax"), QString()})
            m_window->menuMsg->setText(message);
        QCOMPARE(m_ran, expected);
        QCOMPARE(shown(*m_window), QStringLiteral("NHNNNN|NNNN"));
    }

    void aboutShowsItsBoxAndSendsNothing()
    {
        QList<dialogs::Message> shownMessages;
        dialogs::setMessageSink([&](const dialogs::Message& m) { shownMessages << m; });
        m_window->popupMenus().menuA->trigger();
        QCOMPARE(shownMessages.size(), 1);
        QCOMPARE(shownMessages[0].title, QStringLiteral("About"));
        QCOMPARE(shownMessages[0].icon, dialogs::MessageIcon::None);
        const QStringList lines = shownMessages[0].text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[1].contains(QStringLiteral("版权所有")));
        QCOMPARE(m_window->menuMsg->text(), QStringLiteral("b0"));
        QVERIFY(!m_window->FromMenu);
        QVERIFY(m_ran.isEmpty());
    }

    void textButtonsTurnBlueUnderThePointer()
    {
        frmMain& w = *m_window;
        SettingsPanel* panel = w.picSetting;
        panel->show();
        const QColor system = panel->lblDefault->textColour();
        const QColor blue(0, 0, 255), black(0, 0, 0);
        QTest::mouseMove(&w, centreOf(panel->lblOk));
        QCOMPARE(panel->lblOk->textColour(), blue);
        QCOMPARE(panel->lblDefault->textColour(), system);

        QTest::mouseMove(&w, centreOf(w.imgButton[2]));
        QTest::mouseMove(&w, panel->mapTo(&w, QPoint(10, 160)));  // bare panel
        QCOMPARE(panel->lblOk->textColour(), black);
        QCOMPARE(panel->lblCancel->textColour(), black);
        QCOMPARE(shown(w), QStringLiteral("NNHNNN|NNNN"));  // the panel leaves the zones alone

        QTest::mouseMove(&w, centreOf(panel->lblCancel));
        QCOMPARE(panel->lblCancel->textColour(), blue);
        QTest::mouseMove(&w, kBareSurface);
        QCOMPARE(panel->lblCancel->textColour(), black);
        QCOMPARE(shown(w), QStringLiteral("NNNNNN|NNNN"));
    }

    // Offscreen there is no window manager to move the window, so it follows the
    // pointer itself; any button will do, and only from the surface.
    void dragOnTheSurfaceMovesTheWindow()
    {
        frmMain& w = *m_window;
        const QPoint start = w.pos();
        QTest::mousePress(&w, Qt::MiddleButton, {}, kBareSurface);
        QTest::mouseMove(&w, kBareSurface + QPoint(40, -25));
        QCOMPARE(w.pos(), start + QPoint(40, -25));
        // The window went along, so the pointer is on the same spot of it.
        QTest::mouseRelease(&w, Qt::MiddleButton, {}, kBareSurface);
        QTest::mouseMove(&w, kBareSurface + QPoint(10, -10));
        QCOMPARE(w.pos(), start + QPoint(40, -25));

        // The file line and the panel are not surface.
        const auto dragFrom = [&w](QPoint from) {
            QTest::mousePress(&w, Qt::LeftButton, {}, from);
            QTest::mouseMove(&w, from + QPoint(30, -30));
            QTest::mouseRelease(&w, Qt::LeftButton, {}, from + QPoint(30, -30));
        };
        dragFrom(centreOf(w.lblFile));
        w.picSetting->show();
        dragFrom(w.picSetting->mapTo(&w, QPoint(10, 160)));
        QCOMPARE(w.pos(), start + QPoint(40, -25));
    }

private:
    QTemporaryDir m_scratch;
    std::unique_ptr<frmMain> m_window;
    QList<int> m_ran;
};

QTEST_MAIN(LiveSkinTest)
#include "tst_liveskin.moc"
