// The window's commands on an offscreen display: tool-bar releases reach their
// actions, Add and Remove with what the window shows, a file named on the command
// line or dropped on the window, Help and the help text.

#include "ScratchFolder.h"
#include "WindowElements.h"
#include "app/Shutdown.h"
#include "app/frmMain.h"
#include "dialogs/MessageBox.h"
#include "dialogs/OpenFileDialog.h"
#include "ui/FileLine.h"
#include "ui/HiddenTextBox.h"
#include "ui/state/SourceArrival.h"

#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QTest>

#include <memory>

using testsupport::readFile;

class CommandsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_scratch.renew(QStringLiteral("Tovaro PRO")));
        m_application = m_scratch.application();
        m_window = std::make_unique<frmMain>(StartupPaths{m_application, m_scratch.temporaryBase()});
        m_window->Form_Load();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_messages.clear();
        dialogs::setMessageSink([this](const dialogs::Message& message) { m_messages << message; });
        m_ends = 0;
        setProgramEndObserver([this] { ++m_ends; });
    }

    void cleanup()
    {
        dialogs::setMessageSink({});
        setProgramEndObserver({});
        m_window.reset();
    }

    void addLoadsTheChosenFile()
    {
        // Blanks, Chinese, quotes and a leading dash are all just characters of a path.
        const QString path = QStringLiteral("/home/用户/my videos/-聚会 \"new\" 'x'.avi");
        dialogs::setNextOpenFileName(path);
        QTest::mouseClick(button(actions::kAdd), Qt::LeftButton);

        const dialogs::OpenFileRequest& asked = dialogs::lastOpenFileRequest();
        QCOMPARE(asked.title, QStringLiteral("Open"));
        QCOMPARE(asked.initialFolder, m_application + QLatin1Char('/'));  // the program's own, writable
        QCOMPARE(asked.filters.size(), 10);
        QCOMPARE(asked.filters.first().description, QStringLiteral("AVI格式(*.AVI)"));
        QCOMPARE(asked.filters.last().pattern, QStringLiteral("*.*"));
        QCOMPARE(asked.selectedFilter, 0);

        QCOMPARE(lblFile()->text(), path);
        QVERIFY(lblFile()->isVisible());
        QVERIFY(element(QStringLiteral("imgLoaded"))->isVisible());
        QVERIFY(!element(QStringLiteral("imgWait"))->isVisible());
        QVERIFY(m_messages.isEmpty());
    }

    void secondAddWarnsAndKeepsTheFirstFile()
    {
        dialogs::setNextOpenFileName(QStringLiteral("/videos/first.avi"));
        QTest::mouseClick(button(actions::kAdd), Qt::LeftButton);
        dialogs::setNextOpenFileName(QStringLiteral("/videos/second.avi"));
        QTest::mouseClick(button(actions::kAdd), Qt::LeftButton);

        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.first().title, QStringLiteral("警告"));
        QCOMPARE(m_messages.first().text, QStringLiteral("已经加载过文件，如果需要重新选择，请先移除已经加载的文件"));
        QCOMPARE(m_messages.first().icon, dialogs::MessageIcon::Warning);
        QCOMPARE(lblFile()->text(), QStringLiteral("/videos/first.avi"));

        // The dialog was not asked: after Remove its queued answer is still there.
        QTest::mouseClick(button(actions::kRemove), Qt::LeftButton);
        QTest::mouseClick(button(actions::kAdd), Qt::LeftButton);
        QCOMPARE(lblFile()->text(), QStringLiteral("/videos/second.avi"));
    }

    void cancelAndRemoveLeaveNoFileLoaded()
    {
        dialogs::setNextOpenFileName(QString());
        QTest::mouseClick(button(actions::kAdd), Qt::LeftButton);
        QVERIFY(lblFile()->text().isEmpty());
        QVERIFY(!element(QStringLiteral("imgLoaded"))->isVisible());

        QTest::mouseClick(button(actions::kRemove), Qt::LeftButton);  // nothing loaded: still fine
        QVERIFY(lblFile()->text().isEmpty());
        QVERIFY(!element(QStringLiteral("imgLoaded"))->isVisible() && !element(QStringLiteral("imgWait"))->isVisible());
        QVERIFY(lblFile()->isVisible());

        dialogs::setNextOpenFileName(QStringLiteral("/v/a.mp4"));
        QTest::mouseClick(button(actions::kAdd), Qt::LeftButton);
        QTest::mouseClick(button(actions::kRemove), Qt::LeftButton);
        QVERIFY(lblFile()->text().isEmpty());
        QVERIFY(!element(QStringLiteral("imgLoaded"))->isVisible() && !element(QStringLiteral("imgWait"))->isVisible());
        QVERIFY(m_messages.isEmpty());
    }

    // Open With names any number of files; a file: URL is its path, a relative name is
    // taken from the current folder. Each file is queued once, in order; names that
    // are not files (gone, or a folder, which is not searched) are told in one warning.
    void filesNamedAtStartJoinTheQueue()
    {
        const QString clip = m_scratch.filePath(QStringLiteral("假期 clip.mp4"));
        const QString second = m_scratch.filePath(QStringLiteral("b.avi"));
        const QString missing = m_scratch.filePath(QStringLiteral("没有.avi"));
        for (const QString& file : {clip, second})
            QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        const QStringList arguments{QStringLiteral("tovaro-pro"),
                                    QUrl::fromLocalFile(clip).toString(),
                                    second,
                                    m_scratch.path() + QStringLiteral("/./假期 clip.mp4"),
                                    missing,
                                    m_scratch.path()};
        QCOMPARE(source::filesFromArguments(arguments).value(0), clip);
        QCOMPARE(source::filesFromArguments({QStringLiteral("tovaro-pro"), QStringLiteral("rel.avi")}),
                 QStringList{QDir::current().absoluteFilePath(QStringLiteral("rel.avi"))});
        QVERIFY(source::filesFromArguments({QStringLiteral("tovaro-pro")}).isEmpty());

        m_window->openAtStart(source::filesFromArguments(arguments));
        QCOMPARE(lblFile()->text(), QStringLiteral("假期 clip.mp4（第 1 个，共 2 个）"));
        QCOMPARE(lblFile()->toolTip().split(QLatin1Char('\n')).size(), 2);
        QVERIFY(lblFile()->toolTip().contains(second));
        QVERIFY(element(QStringLiteral("imgLoaded"))->isVisible());
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.first().title, QStringLiteral("警告"));
        QCOMPARE(m_messages.first().text,
                 QStringLiteral("找不到文件：\n") + missing + QLatin1Char('\n') + m_scratch.path());

        // Remove unloads the whole queue; a single file shows as it always did.
        QTest::mouseClick(button(actions::kRemove), Qt::LeftButton);
        QVERIFY(lblFile()->text().isEmpty());
        QVERIFY(!element(QStringLiteral("imgLoaded"))->isVisible());
        m_window->openAtStart({clip});
        QCOMPARE(lblFile()->text(), clip);
        QCOMPARE(lblFile()->toolTip(), clip);
        QTest::mouseClick(button(actions::kRemove), Qt::LeftButton);

        m_messages.clear();
        m_window->openAtStart({missing});
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.first().text, QStringLiteral("找不到文件：") + missing);
        QVERIFY(lblFile()->text().isEmpty());
        QVERIFY(!element(QStringLiteral("imgLoaded"))->isVisible());
    }

    // Local files dropped join the queue, folders left out; a drop with anything not
    // local is refused whole. Add itself still refuses to load over a loaded file.
    void droppedFilesJoinTheQueue()
    {
        QVERIFY(m_window->acceptDrops());
        QList<QUrl> files;
        for (const QString& name :
             {QStringLiteral("第一.avi"), QStringLiteral("second.mp4"), QStringLiteral("c.flv")}) {
            files << QUrl::fromLocalFile(m_scratch.filePath(name));
            QVERIFY(QFile(files.last().toLocalFile()).open(QIODevice::WriteOnly));
        }
        const QUrl folder = QUrl::fromLocalFile(m_scratch.path());

        // Refused already on entry, so the pointer shows it; dropped anyway, nothing loads.
        const QList<QList<QUrl>> refused{
            {files[0], QUrl(QStringLiteral("https://example.org/clip.mp4"))}, {folder}, {}};
        for (const QList<QUrl>& urls : refused) {
            QVERIFY2(!drop(urls), qPrintable(QUrl::toStringList(urls).join(QLatin1Char(' '))));
            QCoreApplication::processEvents();
            QVERIFY(lblFile()->text().isEmpty());
        }

        QVERIFY(drop({files[0], folder, files[1]}));
        QTRY_COMPARE(lblFile()->text(), QStringLiteral("第一.avi（第 1 个，共 2 个）"));
        QVERIFY(element(QStringLiteral("imgLoaded"))->isVisible());
        QVERIFY(drop({files[1], files[2]}));  // one of them already queued
        QTRY_COMPARE(lblFile()->text(), QStringLiteral("第一.avi（第 1 个，共 3 个）"));
        QVERIFY(m_messages.isEmpty());

        dialogs::setNextOpenFileNames({QStringLiteral("/v/a.mp4"), QStringLiteral("/v/b.mp4")});
        QTest::mouseClick(button(actions::kAdd), Qt::LeftButton);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.first().text, source::alreadyLoadedWarning());
        QCOMPARE(lblFile()->text(), QStringLiteral("第一.avi（第 1 个，共 3 个）"));

        // Several picked in the dialog load as a queue.
        QTest::mouseClick(button(actions::kRemove), Qt::LeftButton);
        QTest::mouseClick(button(actions::kAdd), Qt::LeftButton);
        QVERIFY(dialogs::lastOpenFileRequest().multipleAllowed);
        QCOMPARE(lblFile()->text(), QStringLiteral("a.mp4（第 1 个，共 2 个）"));
    }

    void anyButtonReleasedAnywhereRunsTheAction()
    {
        SkinImage* settings = button(actions::kSettings);
        for (Qt::MouseButton which : {Qt::RightButton, Qt::MiddleButton, Qt::LeftButton}) {
            QTest::mouseClick(element(QStringLiteral("lblCancel")), Qt::LeftButton);
            QVERIFY(!panel()->isVisible());
            QTest::mousePress(settings, which);
            QCOMPARE(settings->picture().toImage(), m_window->pictures().buttonPush[3].toImage());
            // Released far off the zone: the press keeps the pointer, the action still runs.
            QTest::mouseRelease(settings, which, {}, QPoint(-120, 200));
            QVERIFY(panel()->isVisible());
            QCOMPARE(settings->picture().toImage(), m_window->pictures().buttonHover[3].toImage());
            for (int other : {0, 1, 2, 4, 5})
                QVERIFY(!button(other)->hasPicture());
        }
        // Settings while the panel is open changes nothing.
        QTest::mouseClick(settings, Qt::LeftButton);
        QVERIFY(panel()->isVisible());
    }

    // Events queued before a release (a pointer move behind it, say) are handled before
    // its action runs: a panel closed by a queued event is open again after Settings.
    void releaseLetsQueuedEventsThroughBeforeTheAction()
    {
        QTest::mouseClick(button(actions::kSettings), Qt::LeftButton);
        QMetaObject::invokeMethod(
            this, [this] { panel()->hide(); }, Qt::QueuedConnection);
        QTest::mouseClick(button(actions::kSettings), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(panel()->isVisible());
    }

    // The close glyph and the exit button end the program; dragging off the glyph
    // before letting go does not.
    void exitOnlyOnAReleaseOnTheCloseGlyph()
    {
        auto* glyph = element<SkinImage>(QStringLiteral("imgExit"));
        QTest::mousePress(glyph, Qt::LeftButton);
        QTest::mouseRelease(glyph, Qt::LeftButton, {}, QPoint(glyph->width(), glyph->height() / 2));
        QTest::mousePress(glyph, Qt::LeftButton);
        QTest::mouseRelease(glyph, Qt::LeftButton, {}, QPoint(-1, glyph->height() / 2));
        QCOMPARE(m_ends, 0);
        QTest::mouseClick(glyph, Qt::LeftButton);
        QCOMPARE(m_ends, 1);
        QTest::mouseClick(button(actions::kExit), Qt::LeftButton);
        QCOMPARE(m_ends, 2);
        QVERIFY(m_window->close() == false);  // the window manager's close ends it the same way
        QCOMPARE(m_ends, 3);
    }

    void menuCommandLeavesEveryButtonPlain()
    {
        QTest::mouseClick(button(actions::kRemove), Qt::LeftButton);  // hover look on Remove
        QVERIFY(button(actions::kRemove)->hasPicture());
        // What a popup menu entry writes into the command channel.
        auto* channel = element<HiddenTextBox>(QStringLiteral("menuMsg"));
        channel->setText(QStringLiteral("a3"));
        QVERIFY(panel()->isVisible());
        for (int i = 0; i < layout::kToolButtonCount; ++i)
            QVERIFY(!button(i)->hasPicture());
        // The next real release has its hover look again.
        QTest::mouseClick(button(actions::kRemove), Qt::LeftButton);
        QVERIFY(button(actions::kRemove)->hasPicture());
        channel->setText(QStringLiteral("b9"));  // no such action: nothing happens
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(m_ends, 0);
    }

    void convertWithoutAFileAsksForOne()
    {
        QTest::mouseClick(button(actions::kConvert), Qt::LeftButton);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages.first().text, QStringLiteral("请先添加文件"));
        QCOMPARE(m_messages.first().title, QStringLiteral("警告"));
    }

    void helpOpensTheHelpTextBesideTheProgram()
    {
        // A stand-in opener on PATH notes what it was asked to open.
        const QString bin = m_scratch.filePath(QStringLiteral("bin"));
        const QString record = m_scratch.filePath(QStringLiteral("opened.txt"));
        QVERIFY(QDir().mkpath(bin));
        QFile opener(bin + QStringLiteral("/xdg-open"));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\n").arg(record).toUtf8());
        opener.close();
        QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin) + ':' + oldPath);

        // No help text: nothing is opened and nothing is said. The opener's record
        // holds only the next Help's file, once there is one.
        QTest::mouseClick(button(actions::kHelp), Qt::LeftButton);
        const QString help = m_application + QStringLiteral("/说明.txt");
        QVERIFY(QFile::copy(QStringLiteral(SHIPPED_HELP), help));
        QTest::mouseClick(button(actions::kHelp), Qt::LeftButton);
        QTRY_COMPARE(readFile(record), (help + QLatin1Char('\n')).toUtf8());
        QVERIFY(m_messages.isEmpty());
        QVERIFY(!m_window->findChild<QPlainTextEdit*>());

        // Nothing on the desktop opens it: the program shows the text itself, to read only.
        QVERIFY(opener.open(QIODevice::WriteOnly | QIODevice::Truncate));
        opener.write("#!/bin/sh\nexit 3\n");
        opener.close();
        QTest::mouseClick(button(actions::kHelp), Qt::LeftButton);
        QPlainTextEdit* shown = nullptr;
        QTRY_VERIFY((shown = m_window->findChild<QPlainTextEdit*>()) != nullptr);
        QVERIFY(shown->isVisible() && shown->isWindow() && shown->isReadOnly());
        QCOMPARE(shown->toPlainText().trimmed(), QString::fromUtf8(readFile(help)).remove(QLatin1Char('\r')).trimmed());

        // A window closed while the opener still runs hears nothing from it, not even
        // the end its closing causes.
        QVERIFY(opener.open(QIODevice::WriteOnly | QIODevice::Truncate));
        opener.write("#!/bin/sh\nsleep 5\nexit 3\n");
        opener.close();
        QTest::mouseClick(button(actions::kHelp), Qt::LeftButton);
        QTest::qWait(200);  // the opener is running
        m_window.reset();
        QTest::qWait(100);
        qputenv("PATH", oldPath);
    }

    void shippedHelpTextIsChineseUtf8()
    {
        const QByteArray bytes = readFile(QStringLiteral(SHIPPED_HELP));
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString text = utf8(bytes);
        QVERIFY(!utf8.hasError());
        // For both copies: results, working files, every way to open a video.
        for (const char* topic : {"添加", "176x144", "12.2", "output", "转换失败", "~/Videos/Tovaro PRO",
                                  "~/视频/Tovaro PRO", "~/.cache/tovaro-pro", "unsaved", "打开方式", "拖"})
            QVERIFY2(text.contains(QString::fromUtf8(topic)), topic);
        // Nothing asks the user to change a system folder.
        QVERIFY(!text.contains(QStringLiteral("确认程序所在文件夹可以写入")));
    }

    void longPathsAreShortenedInTheMiddleOnly()
    {
        const QString folder = QStringLiteral("/media/存储卡/") + QString(30, QLatin1Char('d')) + QLatin1Char('/') +
                               QString(30, QLatin1Char('e'));
        const QString path = folder + QStringLiteral("/最后的文件名.avi");
        dialogs::setNextOpenFileName(path);
        QTest::mouseClick(button(actions::kAdd), Qt::LeftButton);
        QCOMPARE(lblFile()->text(), path);  // the caption stays whole
        QVERIFY(lblFile()->fontMetrics().horizontalAdvance(path) > lblFile()->width());
        const QString shown = lblFile()->shownText();
        QVERIFY(shown.contains(QChar(0x2026)));
        QVERIFY(shown.startsWith(QStringLiteral("/media/")));
        QVERIFY(shown.endsWith(QStringLiteral("最后的文件名.avi")));
        QVERIFY(lblFile()->fontMetrics().horizontalAdvance(shown) <= lblFile()->contentsRect().width());
    }

private:
    // Drags `urls` over the window and drops them; true when the window took the drag.
    bool drop(const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at(200, 200);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_window.get(), &enter);
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(m_window.get(), &dropped);
        return enter.isAccepted();
    }

    SkinImage* button(int index) { return elements::button(*m_window, index); }
    template <class Element = QWidget>
    Element* element(const QString& name)
    {
        return elements::find<Element>(*m_window, name);
    }
    FileLine* lblFile() { return element<FileLine>(QStringLiteral("lblFile")); }
    QWidget* panel() { return element(QStringLiteral("picSetting")); }

    testsupport::ScratchFolder m_scratch;
    QString m_application;
    std::unique_ptr<frmMain> m_window;
    QList<dialogs::Message> m_messages;
    int m_ends = 0;  // times the program would have ended
};

QTEST_MAIN(CommandsTest)
#include "tst_commands.moc"
