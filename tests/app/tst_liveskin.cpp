// The live skin of the main window, offscreen: the pictures the hot zones show as the
// pointer moves, presses and releases; the popup menus and the command channel their
// entries write to; the text buttons' colours; what counts as the surface for a drag.

#define QTEST_QPA_MOUSE_HANDLING  // pointer events go through the window, grabs and all

#include "ScratchFolder.h"
#include "StandInConverter.h"
#include "WindowElements.h"
#include "WindowPoints.h"
#include "app/Shutdown.h"
#include "app/frmMain.h"
#include "dialogs/MessageBox.h"
#include "dialogs/OpenFileDialog.h"
#include "ui/FileLine.h"
#include "ui/HiddenTextBox.h"
#include "ui/SettingsPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

using elements::button;
using elements::find;
using elements::menuItem;
using testsupport::kBareSurface;

// One letter per zone, from the picture it shows: N none, H hover, P pressed.
template <std::size_t N>
QString lettersOf(SkinImage* (*zone)(const QObject&, int), const frmMain& window, const std::array<QPixmap, N>& hover,
                  const std::array<QPixmap, N>& pressed)
{
    QString text;
    for (std::size_t i = 0; i < N; ++i) {
        const SkinImage* shownZone = zone(window, static_cast<int>(i));
        const QImage picture = shownZone->picture().toImage();
        text += !shownZone->hasPicture()          ? QLatin1Char('N')
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
    return lettersOf(&button, window, p.buttonHover, p.buttonPush) + QLatin1Char('|') +
           lettersOf(&menuItem, window, p.menuHover, p.menuPush);
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

}  // namespace

class LiveSkinTest : public QObject {
    Q_OBJECT

private slots:
    // Help's help text opens through a stand-in desktop opener that notes the file.
    void initTestCase()
    {
        QVERIFY(m_tools.isValid());
        m_openerLog = m_tools.filePath(QStringLiteral("opened.txt"));
        QVERIFY(standin::installOpener(m_tools.path(), m_openerLog));
        qputenv("PATH", QFile::encodeName(m_tools.path()) + ':' + qgetenv("PATH"));
    }

    void init()
    {
        QVERIFY(m_scratch.renew(QStringLiteral("Tovaro PRO")));
        QFile::remove(m_openerLog);
        m_messages.clear();
        dialogs::setMessageSink([this](const dialogs::Message& message) { m_messages << message; });
        m_ends = 0;
        setProgramEndObserver([this] { ++m_ends; });
        m_window = std::make_unique<frmMain>(StartupPaths{m_scratch.application(), m_scratch.temporaryBase()});
        m_window->Form_Load();
        m_window->showCentred();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTest::mouseMove(m_window.get(), kBareSurface);
    }

    void cleanup()
    {
        dialogs::setMessageSink({});
        setProgramEndObserver({});
        m_window.reset();
    }

    void hoverFollowsThePointerAcrossZonesAndSurface()
    {
        frmMain& w = *m_window;
        QTest::mouseMove(&w, centreOf(button(w, 2)));
        QTest::mouseMove(&w, centreOf(button(w, 3)));
        QTest::mouseMove(&w, centreOf(menuItem(w, 1)));
        QCOMPARE(shown(w), QStringLiteral("NNNHNN|NHNN"));
        QTest::mouseMove(&w, kBareSurface);
        QCOMPARE(shown(w), QStringLiteral("NNNNNN|NNNN"));

        // The status patch and the busy squares are drawn on the surface: moving
        // over them is moving over the window.
        dialogs::setNextOpenFileName(QStringLiteral("/videos/clip.avi"));
        QTest::mouseClick(&w, Qt::LeftButton, {}, centreOf(button(w, actions::kAdd)));
        QWidget* loaded = find(w, QStringLiteral("imgLoaded"));
        QVERIFY(loaded->isVisible());
        QWidget* square = elements::square(w, 3);
        square->show();  // as a run shows it
        for (const QWidget* drawn : {loaded, square}) {
            QTest::mouseMove(&w, centreOf(button(w, 0)));
            QTest::mouseMove(&w, centreOf(drawn));
            QCOMPARE(shown(w), QStringLiteral("NNNNNN|NNNN"));
        }
    }

    void pressHoldsUntilReleaseAnywhereRunsTheAction()
    {
        frmMain& w = *m_window;
        QTest::mouseMove(&w, centreOf(menuItem(w, 3)));
        QTest::mousePress(&w, Qt::RightButton, {}, centreOf(button(w, actions::kAdd)));
        QCOMPARE(shown(w), QStringLiteral("PNNNNN|NNNH"));
        QTest::mouseMove(&w, centreOf(button(w, 1)));
        QTest::mouseMove(&w, centreOf(menuItem(w, 2)));
        QCOMPARE(shown(w), QStringLiteral("PNNNNN|NNNH"));

        const QString chosen = QStringLiteral("/videos/假期.avi");
        dialogs::setNextOpenFileName(chosen);
        // A move queued behind the release still finds the press holding the looks.
        SkinImage* other = button(w, 4);
        const QPointF inOther = QPointF(other->rect().center());
        QCoreApplication::postEvent(other, new QMouseEvent(QEvent::MouseMove, inOther, other->mapToGlobal(inOther),
                                                           Qt::NoButton, Qt::RightButton, Qt::NoModifier));
        QTest::mouseRelease(&w, Qt::RightButton, {}, centreOf(button(w, 1)));
        QCOMPARE(shown(w), QStringLiteral("HNNNNN|NNNH"));
        QCOMPARE(fileShown(), chosen);  // Add ran, not Remove under the pointer
        // Nothing holds the looks any more.
        QTest::mouseMove(&w, centreOf(button(w, 4)));
        QCOMPARE(shown(w), QStringLiteral("NNNNHN|NNNH"));
    }

    // Space is a press and its release a release, through the same looks and action;
    // Enter clicks. A shortcut runs its command as a menu entry does, with no look.
    void keysActAsTheMouseAndTheMenusDo()
    {
        frmMain& w = *m_window;
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        const QString chosen = QStringLiteral("/videos/键盘.avi");
        dialogs::setNextOpenFileName(chosen);
        SkinImage* add = button(w, actions::kAdd);
        add->setFocus(Qt::TabFocusReason);
        QTest::keyPress(add, Qt::Key_Space);
        QCOMPARE(shown(w), QStringLiteral("PNNNNN|NNNN"));
        QVERIFY(fileShown().isEmpty());
        QTest::keyRelease(add, Qt::Key_Space);
        QCOMPARE(fileShown(), chosen);
        QCOMPARE(shown(w), QStringLiteral("HNNNNN|NNNN"));

        QTest::keyClick(add, Qt::Key_Delete);  // Remove, wherever the focus is
        QVERIFY(fileShown().isEmpty());
        QCOMPARE(shown(w), QStringLiteral("NNNNNN|NNNN"));

        // A menu opened from the keyboard starts on its first entry: Enter on the
        // focused item, or the item's Alt letter.
        QString opened;
        onNextPopup([&](QMenu* popup) {
            QTRY_VERIFY(popup->activeAction());
            opened = popup->objectName() + QLatin1Char(':') + popup->activeAction()->objectName();
        });
        QTest::keyClick(menuItem(w, 1), Qt::Key_Return);
        QCOMPARE(opened, QStringLiteral("menuTools:menuConverter"));
        onNextPopup([&](QMenu* popup) {
            QTRY_VERIFY(popup->activeAction());
            QTest::keyClick(popup, Qt::Key_Return);  // 设置(&S)
        });
        QTest::keyClick(&w, Qt::Key_S, Qt::AltModifier);
        QVERIFY(panel()->isVisible());
    }

    void menuPressOpensItsGroupUnderTheItem()
    {
        frmMain& w = *m_window;
        QTest::mouseClick(&w, Qt::LeftButton, {}, centreOf(button(w, actions::kSettings)));
        QTest::mouseMove(&w, kBareSurface);
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto* audioList = find<QComboBox>(w, QStringLiteral("cmbAB"));
        const QStringList groups{QStringLiteral("menuFile"), QStringLiteral("menuTools"),
                                 QStringLiteral("menuSettings"), QStringLiteral("menuAbout")};
        for (int j = 3; j >= 0; --j) {
            audioList->setFocus();
            QString opened, looksWhileOpen;
            QPoint where;
            onNextPopup([&](QMenu* popup) {
                opened = popup->objectName();
                where = w.mapFromGlobal(popup->pos());
                looksWhileOpen = shown(w);
            });
            QTest::mousePress(&w, Qt::LeftButton, {}, centreOf(menuItem(w, j)));

            QCOMPARE(opened, groups[j]);
            QCOMPARE(where, QPoint(menuItem(w, j)->x(), 53));  // 36 px + 250 twips
            QCOMPARE(shown(w), looksWhileOpen);                // still pressed after it closed
            QCOMPARE(shown(w).mid(7, 4).indexOf(QLatin1Char('P')), j);
            // Only the File menu hands the keyboard to the window.
            QCOMPARE(w.focusWidget(), j == 0 ? static_cast<QWidget*>(&w) : static_cast<QWidget*>(audioList));
            QTest::mouseRelease(&w, Qt::LeftButton, {}, centreOf(menuItem(w, j)));
        }
    }

    void acceleratorLetterChoosesTheEntry()
    {
        frmMain& w = *m_window;
        QTest::mouseMove(&w, centreOf(button(w, 3)));
        onNextPopup([](QMenu* popup) { QTest::keyClick(popup, Qt::Key_S); });
        QTest::mousePress(&w, Qt::LeftButton, {}, centreOf(menuItem(w, 2)));
        QVERIFY(panel()->isVisible());
        QCOMPARE(channel()->text(), QStringLiteral("a3"));
        QCOMPARE(shown(w), QStringLiteral("NNNNNN|NNPN"));  // a menu command leaves no hover
        QTest::mouseRelease(&w, Qt::LeftButton, {}, centreOf(menuItem(w, 2)));
    }

    void groupsHoldTheirEntriesInOrder()
    {
        openPopupMenusOnce();
        const QWidget* pop = find(*m_window, QStringLiteral("frmPop"));
        QVERIFY(!pop->isVisible());
        const auto entries = [pop](const char* group) {
            QStringList list;
            for (const QAction* action : find<QMenu>(*pop, QString::fromLatin1(group))->actions())
                list << (action->isSeparator() ? QStringLiteral("-") : action->text());
            return list;
        };
        QCOMPARE(entries("menuFile"),
                 (QStringList{QStringLiteral("添加新文件(&A)"), QStringLiteral("移除选中的文件(&R)"),
                              QStringLiteral("-"), QStringLiteral("退出(&E)")}));
        QCOMPARE(entries("menuTools"), QStringList{QStringLiteral("开始转换(&C)")});
        QCOMPARE(entries("menuSettings"), QStringList{QStringLiteral("设置(&S)")});
        QCOMPARE(entries("menuAbout"),
                 (QStringList{QStringLiteral("帮助(&H)"), QStringLiteral("-"), QStringLiteral("关于(&A)")}));
    }

    // Every entry runs its own command, seen by what the command does.
    void channelAlternatesAndRunsEveryCommand()
    {
        QVERIFY(testsupport::writeFile(m_scratch.application() + QStringLiteral("/说明.txt"), "帮助"));
        openPopupMenusOnce();
        const QString chosen = QStringLiteral("/videos/clip.avi");
        const auto settingsShown = [this] {
            const bool shownNow = panel()->isVisible();
            QTest::mouseClick(find(*m_window, QStringLiteral("lblCancel")), Qt::LeftButton);
            return shownNow;
        };
        // The same entry twice, then every entry once: each message differs from the
        // one before, so each one runs.
        const QList<std::tuple<const char*, QString, std::function<bool()>>> sequence{
            {"menuSetting", QStringLiteral("a3"), settingsShown},
            {"menuSetting", QStringLiteral("b3"), settingsShown},
            {"menuAdd", QStringLiteral("a0"), [&] { return fileShown() == chosen; }},
            {"menuRemove", QStringLiteral("b1"), [&] { return fileShown().isEmpty(); }},
            {"menuConverter", QStringLiteral("a2"),
             [&] { return m_messages.size() == 1 && m_messages[0].text == QStringLiteral("请先添加文件"); }},
            {"menuHelp", QStringLiteral("b4"),
             [&] { return QTest::qWaitFor([&] { return QFile::exists(m_openerLog); }); }},
            {"menuExit", QStringLiteral("a5"), [&] { return m_ends == 1; }}};
        for (const auto& [entry, message, ran] : sequence) {
            dialogs::setNextOpenFileName(chosen);
            find<QAction>(*m_window, QString::fromLatin1(entry))->trigger();
            QCOMPARE(channel()->text(), message);
            QVERIFY2(ran(), entry);
        }

        // A message that does not end in a digit is no command.
        QTest::mouseMove(m_window.get(), centreOf(button(*m_window, 1)));
        for (const QString& message : {QStringLiteral("ax"), QString()})
            channel()->setText(message);
        QVERIFY(!panel()->isVisible());
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_ends, 1);
        QCOMPARE(shown(*m_window), QStringLiteral("NHNNNN|NNNN"));
    }

    void aboutShowsItsBoxAndSendsNothing()
    {
        openPopupMenusOnce();
        find<QAction>(*m_window, QStringLiteral("menuA"))->trigger();
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title, QStringLiteral("About"));
        QCOMPARE(m_messages[0].icon, dialogs::MessageIcon::None);
        const QStringList lines = m_messages[0].text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[1].contains(QStringLiteral("版权所有")));
        QCOMPARE(channel()->text(), QStringLiteral("b0"));
        QVERIFY(!panel()->isVisible());
    }

    void textButtonsTurnBlueUnderThePointer()
    {
        frmMain& w = *m_window;
        QTest::mouseClick(&w, Qt::LeftButton, {}, centreOf(button(w, actions::kSettings)));
        QWidget* shownPanel = panel();
        auto* ok = find<LinkLabel>(w, QStringLiteral("lblOk"));
        auto* cancel = find<LinkLabel>(w, QStringLiteral("lblCancel"));
        auto* defaults = find<LinkLabel>(w, QStringLiteral("lblDefault"));
        const QColor system = defaults->textColour();
        const QColor blue(0, 0, 255), black(0, 0, 0);
        QTest::mouseMove(&w, centreOf(ok));
        QCOMPARE(ok->textColour(), blue);
        QCOMPARE(defaults->textColour(), system);

        QTest::mouseMove(&w, centreOf(button(w, 2)));
        QTest::mouseMove(&w, shownPanel->mapTo(&w, QPoint(10, 160)));  // bare panel
        QCOMPARE(ok->textColour(), black);
        QCOMPARE(cancel->textColour(), black);
        QCOMPARE(shown(w), QStringLiteral("NNHNNN|NNNN"));  // the panel leaves the zones alone

        QTest::mouseMove(&w, centreOf(cancel));
        QCOMPARE(cancel->textColour(), blue);
        QTest::mouseMove(&w, kBareSurface);
        QCOMPARE(cancel->textColour(), black);
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
        dragFrom(centreOf(find(w, QStringLiteral("lblFile"))));
        QTest::mouseClick(&w, Qt::LeftButton, {}, centreOf(button(w, actions::kSettings)));
        dragFrom(panel()->mapTo(&w, QPoint(10, 160)));
        QCOMPARE(w.pos(), start + QPoint(40, -25));
    }

private:
    QWidget* panel() { return find(*m_window, QStringLiteral("picSetting")); }
    HiddenTextBox* channel() { return find<HiddenTextBox>(*m_window, QStringLiteral("menuMsg")); }
    QString fileShown() { return find<FileLine>(*m_window, QStringLiteral("lblFile"))->text(); }

    // The popup menus are made the first time one opens: opens and closes File.
    void openPopupMenusOnce()
    {
        onNextPopup([](QMenu*) {});
        QTest::mousePress(m_window.get(), Qt::LeftButton, {}, centreOf(menuItem(*m_window, 0)));
        QTest::mouseRelease(m_window.get(), Qt::LeftButton, {}, centreOf(menuItem(*m_window, 0)));
        QTest::mouseMove(m_window.get(), kBareSurface);
    }

    QTemporaryDir m_tools;
    QString m_openerLog;
    testsupport::ScratchFolder m_scratch;
    std::unique_ptr<frmMain> m_window;
    QList<dialogs::Message> m_messages;
    int m_ends = 0;  // times the program would have ended
};

QTEST_MAIN(LiveSkinTest)
#include "tst_liveskin.moc"
