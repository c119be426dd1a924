// The settings panel's buttons and the Convert action in the window, with stand-in
// converters: what the window shows before, during and after a run, and what it
// tells the desktop. Run on a private session bus (dbus-run-session), where this
// test itself plays the notification service and the task bar.

#include "ConverterStatus.h"
#include "ScratchFolder.h"
#include "StandInConverter.h"
#include "WindowElements.h"
#include "app/Shutdown.h"
#include "app/frmMain.h"
#include "conversion/ConversionRun.h"
#include "conversion/FailureText.h"
#include "dialogs/MessageBox.h"
#include "dialogs/OpenFileDialog.h"
#include "platform/ExclusiveLock.h"
#include "ui/FileLine.h"
#include "ui/SettingsPanel.h"

#include <QComboBox>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

using elements::find;

// The square the last tick lit, or -1.
int litSquare(const frmMain& window)
{
    for (int i = 0; i < layout::kBusySquareCount; ++i)
        if (elements::square(window, i)->fillColour() == QColor(236, 39, 50))
            return i;
    return -1;
}

// Whether the window takes a file dragged over it.
bool takesDrop(frmMain& window, const QString& file)
{
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(file)});
    QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    return enter.isAccepted();
}

// The desktop's side of the session bus, on a connection of its own so that every
// message really travels through the bus: a notification service that notes each
// call, and a task bar that notes each launcher update.
// The converter's line for a source whose sound it could not open.
const char* const kSoundLeftOut =
    "conv.dll: warning: the sound is left out, only the pictures are converted (cannot "
    "open the audio decoder vorbis: Invalid data found when processing input)";

class Desktop : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notification {
        QString summary, body, desktopEntry;
    };
    struct LauncherUpdate {
        QString entry;
        bool visible;
        double progress;
    };
    QList<Notification> notifications;
    QList<LauncherUpdate> launcher;

    // The progress of every update that shows a bar.
    QList<double> shownProgress() const
    {
        QList<double> shown;
        for (const LauncherUpdate& update : launcher)
            if (update.visible)
                shown << update.progress;
        return shown;
    }

    bool connectToBus()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("desktop"));
        return bus.registerService(QStringLiteral("org.freedesktop.Notifications")) &&
               bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                  QDBusConnection::ExportAllSlots) &&
               bus.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                           QStringLiteral("Update"), this, SLOT(launcherUpdated(QDBusMessage)));
    }

public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body, const QStringList&,
                const QVariantMap& hints, int)
    {
        notifications << Notification{summary, body, hints.value(QStringLiteral("desktop-entry")).toString()};
        return static_cast<uint>(notifications.size());
    }
    void launcherUpdated(const QDBusMessage& message)
    {
        const auto properties = qdbus_cast<QVariantMap>(message.arguments().value(1));
        launcher << LauncherUpdate{message.arguments().value(0).toString(),
                                   properties.value(QStringLiteral("progress-visible")).toBool(),
                                   properties.value(QStringLiteral("progress")).toDouble()};
    }
};

}  // namespace

class ConvertTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The desktop opener is a stand-in that notes what it was asked to open, and
        // no file manager answers on D-Bus.
        QVERIFY(m_tools.isValid());
        m_openerLog = m_tools.filePath(QStringLiteral("opened.txt"));
        QVERIFY(standin::installOpener(m_tools.path(), m_openerLog));
        qputenv("PATH", QFile::encodeName(m_tools.path()) + ':' + qgetenv("PATH"));
        QVERIFY2(m_desktop.connectToBus(), "needs a private session bus: run it under dbus-run-session");
        dialogs::setMessageSink([this](const dialogs::Message& message) { m_messages << message; });
        setProgramEndObserver([this] { ++m_ends; });
    }

    void init()
    {
        QVERIFY(m_scratch.renew(QStringLiteral("Tovaro PRO")));
        m_app = m_scratch.application();
        m_source = m_scratch.filePath(QStringLiteral("party.avi"));
        QVERIFY(testsupport::writeFile(m_source, "source bytes"));
        m_messages.clear();
        m_ends = 0;
        m_desktop.notifications.clear();
        m_desktop.launcher.clear();
        QFile::remove(m_openerLog);

        m_window = std::make_unique<frmMain>(StartupPaths{m_app, m_scratch.temporaryBase()});
        m_window->Form_Load();
        m_window->showCentred();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void settingsPanelButtons()
    {
        auto* panel = element<SettingsPanel>(QStringLiteral("picSetting"));
        click(actions::kSettings);
        QVERIFY(panel->isVisible());
        element<QComboBox>(QStringLiteral("cmbSize"))->setCurrentIndex(4);
        element<QComboBox>(QStringLiteral("cmbAB"))->setCurrentIndex(5);
        QTest::mouseClick(element(QStringLiteral("lblCancel")), Qt::LeftButton);
        QVERIFY(!panel->isVisible());  // closed, and the changes stay: there is nothing to undo them from
        QCOMPARE(panel->selection().frameSize, QStringLiteral("352x288"));
        QCOMPARE(panel->selection().audioKbps, QStringLiteral("128"));

        click(actions::kSettings);
        QTest::mouseClick(element(QStringLiteral("lblDefault")), Qt::LeftButton);
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->selection().frameSize, QStringLiteral("176x144"));
        QCOMPARE(panel->selection().frameRate, QStringLiteral("14.985"));
        QCOMPARE(panel->selection().videoKbps, QStringLiteral("120"));
        QCOMPARE(panel->selection().audioKbps, QStringLiteral("48"));
        QTest::mouseClick(element(QStringLiteral("lblOk")), Qt::LeftButton);
        QVERIFY(!panel->isVisible());
    }

    void convertShowsItsWorkAndEndsIdle()
    {
        QVERIFY(standin::install(m_app, standin::waitsForRelease(m_app)));
        load();
        element<QComboBox>(QStringLiteral("cmbFPS"))
            ->setCurrentIndex(2);  // read when the run composes its command line

        // What the window shows while the converter runs, noted then and checked after.
        QStringList wrong;
        bool seenRunning = false;
        whileConverterRuns([&] {
            seenRunning = true;
            const auto expect = [&](bool holds, const char* what) {
                if (!holds)
                    wrong << QString::fromLatin1(what);
            };
            // A press that reaches the disabled 移除 all the same (a screen reader's,
            // queued before the run began) leaves the queue and the window as they are.
            elements::button(*m_window, actions::kRemove)->click();
            expect(!element(QStringLiteral("lblFile"))->isVisible(), "file line hidden");
            expect(!element(QStringLiteral("imgLoaded"))->isVisible(), "loaded picture hidden");
            expect(element(QStringLiteral("imgWait"))->isVisible(), "converting picture shown");
            for (int i = 0; i < layout::kBusySquareCount; ++i)
                expect(elements::square(*m_window, i)->isVisible(), "square shown");
            QWidget* imgExit = element(QStringLiteral("imgExit"));
            expect(imgExit->isEnabled(), "close glyph enabled");
            for (QWidget* shown : m_window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                expect(shown == imgExit || shown->isWindow() || !shown->isEnabled(), "everything else disabled");
            expect(timer()->isActive(), "timer running");
            expect(QFileInfo::exists(m_app + QStringLiteral("/data/conv.exe")), "converter copied to data");
            expect(takesDrop(*m_window, m_source), "a dropped file taken, for the queue");
            // Asked whether to stop: 否 (no answer queued) lets the run go on.
            QTest::mouseClick(imgExit, Qt::LeftButton);
            expect(!m_window->close(), "close request asks, and is refused");
            return true;
        });
        click(actions::kConvert);

        QVERIFY(seenRunning);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));
        QCOMPARE(m_messages.size(), 2);
        for (const dialogs::Message& asked : m_messages) {
            QCOMPARE(asked.title, QStringLiteral("确认"));
            QCOMPARE(asked.icon, dialogs::MessageIcon::Question);
            QVERIFY(asked.text.contains(m_source));
        }
        m_messages.clear();
        QCOMPARE(m_ends, 0);
        for (QWidget* shown : m_window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY(shown->isEnabled());
        QVERIFY(element<FileLine>(QStringLiteral("lblFile"))->isVisible());
        QVERIFY(element<FileLine>(QStringLiteral("lblFile"))->text().isEmpty());
        QVERIFY(!element(QStringLiteral("imgLoaded"))->isVisible());
        QVERIFY(!element(QStringLiteral("imgWait"))->isVisible());
        for (int i = 0; i < layout::kBusySquareCount; ++i)
            QVERIFY(!elements::square(*m_window, i)->isVisible());
        QVERIFY(!timer()->isActive());
        QVERIFY(!QFileInfo::exists(m_app + QStringLiteral("/data/conv.exe")));
        const QStringList results = QDir(m_app + QStringLiteral("/output")).entryList(QDir::Files);
        QCOMPARE(results.size(), 1);
        QVERIFY(QStringLiteral("converted source bytes") == readAll(m_app + QStringLiteral("/output/") + results[0]));
        const QStringList called = standin::calledWith(m_app);
        QCOMPARE(called.value(0), m_app + QStringLiteral("/data/conv.exe"));
        QCOMPARE(called.value(1), QStringLiteral("-i"));
        QCOMPARE(called.value(called.indexOf(QStringLiteral("-r")) + 1), QStringLiteral("25.0"));
        QTRY_COMPARE(readAll(m_openerLog), m_app + QStringLiteral("/output\n"));

        click(actions::kConvert);  // nothing is loaded any more
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QStringLiteral("请先添加文件"));
    }

    void failedRunKeepsTheFileLoaded()
    {
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kFails)));
        load();
        click(actions::kConvert);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title, QStringLiteral("警告"));
        QCOMPARE(m_messages[0].icon, dialogs::MessageIcon::Warning);
        // Said in Chinese, naming the user's file; the details say in Chinese what the
        // converter's own line, below, reports.
        QVERIFY2(m_messages[0].text.contains(m_source), qPrintable(m_messages[0].text));
        QVERIFY2(m_messages[0].text.startsWith(QStringLiteral("转换失败")), qPrintable(m_messages[0].text));
        QVERIFY2(m_messages[0].detail.startsWith(QStringLiteral("源文件已损坏")), qPrintable(m_messages[0].detail));
        QVERIFY2(
            m_messages[0].detail.endsWith(QStringLiteral("\n") + QString::fromLatin1(tovaro::kConverterMessagePrefix) +
                                          QStringLiteral("cannot decode the source: Invalid data found when "
                                                         "processing input")),
            qPrintable(m_messages[0].detail));
        expectLoaded();
        QVERIFY(QDir(m_app + QStringLiteral("/output")).isEmpty());

        // While another copy of the program converts, Convert changes nothing.
        platform::ExclusiveLock other;
        QCOMPARE(other.tryAcquire(m_window->folders().temp + QStringLiteral("/.conversion.lock")),
                 platform::ExclusiveLock::Result::Held);
        QFile::remove(m_app + QStringLiteral("/called.txt"));
        click(actions::kConvert);
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[1].text, QStringLiteral("已有一个转换正在进行，请等它结束后再转换。"));
        QVERIFY(standin::calledWith(m_app).isEmpty());
        expectLoaded();

        // The output folder opens for the first success only: the failures opened nothing.
        other.release();
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));
        click(actions::kConvert);
        QTRY_COMPARE(readAll(m_openerLog), m_app + QStringLiteral("/output\n"));
    }

    // 是 stops the converter and the rest of the queue, removes the working files and
    // ends the program.
    void closeDuringARunCanStopItAndQuit()
    {
        QVERIFY(standin::install(m_app, standin::waitsForRelease(m_app)));
        const QString next = m_scratch.filePath(QStringLiteral("next.mp4"));
        QVERIFY(testsupport::writeFile(next, "next"));
        dialogs::setNextOpenFileNames({m_source, next});
        click(actions::kAdd);
        bool closed = true;
        whileConverterRuns([&] {
            dialogs::setNextAnswer(true);
            closed = m_window->close();
            return true;
        });
        QElapsedTimer clock;
        clock.start();
        click(actions::kConvert);
        QVERIFY(!closed);
        QCOMPARE(m_ends, 1);
        QVERIFY(clock.elapsed() < conversion::ConversionRun::kStopGraceMs);  // it went at the polite request
        QCOMPARE(m_messages.size(), 1);                                      // the question, and no warning after it
        QCOMPARE(m_messages[0].title, QStringLiteral("确认"));
        QVERIFY(!QFileInfo::exists(m_app + QStringLiteral("/data/conv.exe")));
        QCOMPARE(QDir(m_window->folders().temp).entryList({QStringLiteral("tmpFile*")}, QDir::Files), QStringList());
        QVERIFY(QDir(m_app + QStringLiteral("/output")).isEmpty());
        QVERIFY(standin::calledWith(m_app).value(2).endsWith(QStringLiteral(".avi")));  // the next never started
    }

    // One Convert runs the whole queue: a file that fails, or is gone by its turn,
    // does not stop the rest, and a file dropped meanwhile joins the end. One warning
    // at the end names each failure; the failed files stay loaded.
    void queueConvertsEveryFileAndKeepsTheFailed()
    {
        QVERIFY(standin::install(
            m_app, QStringLiteral("case \"$2\" in *.flv) %1;; esac\n"
                                  "echo 'progress: time=1.00 duration=2.00' >&2\n"
                                  "grep -q c.avi \"$2\" && echo '%2' >&2\n")
                           .arg(QString::fromLatin1(standin::kFails).replace(QLatin1Char('\n'), QStringLiteral("; ")),
                                QString::fromLatin1(kSoundLeftOut)) +
                       standin::waitsForRelease(m_app)));
        QStringList files;
        for (const QString& name : {QStringLiteral("a.avi"), QStringLiteral("坏.flv"), QStringLiteral("gone.avi"),
                                    QStringLiteral("c.avi"), QStringLiteral("late.avi")}) {
            files << m_scratch.filePath(name);
            QVERIFY(testsupport::writeFile(files.last(), name.toUtf8()));
        }
        dialogs::setNextOpenFileNames(files.mid(0, 4));
        click(actions::kAdd);
        QVERIFY(QFile::remove(files[2]));

        QStringList seen;  // the title and the file line, as the first file converts
        int step = 0;
        whileConverterRuns([&] {
            if (step == 0 && m_window->windowTitle().endsWith(QStringLiteral("%"))) {
                seen << m_window->windowTitle() << element<FileLine>(QStringLiteral("lblFile"))->text();
                QMimeData data;
                data.setUrls({QUrl::fromLocalFile(files[4]), QUrl::fromLocalFile(files[0])});
                QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(m_window.get(), &enter);
                QDropEvent dropped(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
                QCoreApplication::sendEvent(m_window.get(), &dropped);
                step = 1;
            } else if (step == 1 &&
                       element<FileLine>(QStringLiteral("lblFile"))->text().contains(QStringLiteral("共 5 个"))) {
                seen << element<FileLine>(QStringLiteral("lblFile"))->text();
                step = 2;
            }
            return step == 2;
        });
        click(actions::kConvert);
        QCOMPARE(seen,
                 (QStringList{QStringLiteral("Tovaro PRO - 1/4 - 50%"), QStringLiteral("a.avi（第 1 个，共 4 个）"),
                              QStringLiteral("a.avi（第 1 个，共 5 个）")}));

        QStringList converted;
        const QDir output(m_app + QStringLiteral("/output"));
        for (const QString& result : output.entryList(QDir::Files))
            converted << readAll(output.filePath(result));
        converted.sort();
        QCOMPARE(converted, (QStringList{QStringLiteral("converted a.avi"), QStringLiteral("converted c.avi"),
                                         QStringLiteral("converted late.avi")}));
        QCOMPARE(m_messages.size(), 1);
        const QString& text = m_messages[0].text;
        QCOMPARE(m_messages[0].title, QStringLiteral("警告"));
        QVERIFY2(text.startsWith(QStringLiteral("已转换 3 个文件，2 个文件转换失败")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("\n坏.flv：")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("\ngone.avi：找不到文件：") + files[2]), qPrintable(text));
        QVERIFY(m_messages[0].detail.contains(QString::fromLatin1(tovaro::kConverterMessagePrefix)));
        // The same box tells of the file that converted without its sound.
        QVERIFY2(text.endsWith(QStringLiteral("\nc.avi：源文件的声音无法解码，转换结果只有画面，没有声音。")),
                 qPrintable(text));
        QVERIFY(m_messages[0].detail.endsWith(
            files[3] + QStringLiteral("\n源文件的声音无法解码，转换结果只有画面，没有声音。\n\n") +
            QString::fromLatin1(kSoundLeftOut)));
        QVERIFY(!QFileInfo::exists(m_openerLog));
        QCOMPARE(element<FileLine>(QStringLiteral("lblFile"))->text(), QStringLiteral("坏.flv（第 1 个，共 2 个）"));
        QVERIFY(element(QStringLiteral("imgLoaded"))->isVisible());

        // The launcher's bar went one way, from the start to the end of the queue.
        const QList<double> shown = m_desktop.shownProgress();
        QVERIFY(shown.size() >= 5);
        for (qsizetype i = 1; i < shown.size(); ++i)
            QVERIFY2(shown[i - 1] <= shown[i] && shown[i] < 1.0, qPrintable(QString::number(shown[i])));
        QTRY_VERIFY(!m_desktop.launcher.last().visible);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Tovaro PRO"));
    }

    // A result that leaves something out, or differs from what was asked, is told of
    // in one box once the output folder has opened: which files, and how.
    void changedResultsAreToldAfterTheRun()
    {
        const QString ratePerPicture = QStringLiteral(
            "conv.dll: note: 512 kbit/s at 5 fps is more than H.263 lets a 176x144 picture take (64 kbit each); "
            "the video is coded at 327.7 kbit/s");
        QVERIFY(standin::install(m_app, QStringLiteral("echo 'conv.dll: note: this kernel has no Landlock' >&2\n"
                                                       "grep -q a.avi \"$2\" && echo '%1' >&2\n"
                                                       "grep -q c.avi \"$2\" && echo '%2' >&2 && echo '%1' >&2\n")
                                                .arg(QString::fromLatin1(kSoundLeftOut), ratePerPicture) +
                                            QString::fromLatin1(standin::kConverts)));
        QStringList files;
        for (const QString& name : {QStringLiteral("a.avi"), QStringLiteral("b.avi"), QStringLiteral("c.avi")}) {
            files << m_scratch.filePath(name);
            QVERIFY(testsupport::writeFile(files.last(), name.toUtf8()));
        }
        dialogs::setNextOpenFileNames(files);
        click(actions::kAdd);
        click(actions::kConvert);
        QCOMPARE(QDir(m_app + QStringLiteral("/output")).entryList(QDir::Files).size(), 3);
        QTRY_COMPARE(readAll(m_openerLog), m_app + QStringLiteral("/output\n"));
        QCOMPARE(m_messages.size(), 1);
        const dialogs::Message told = m_messages[0];
        QCOMPARE(told.title, QStringLiteral("提示"));
        QCOMPARE(told.icon, dialogs::MessageIcon::Information);
        const QString noSound = QStringLiteral("源文件的声音无法解码，转换结果只有画面，没有声音。");
        const QStringList lines = told.text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);  // b.avi converted as asked
        QCOMPARE(lines[1], QStringLiteral("a.avi：") + noSound);
        QVERIFY2(lines[2].startsWith(QStringLiteral("c.avi：所选的视频码率超出了")) && lines[2].endsWith(noSound),
                 qPrintable(lines[2]));
        QCOMPARE(told.detail, files[0] + QStringLiteral("\n") + noSound + QStringLiteral("\n\n") +
                                  QString::fromLatin1(kSoundLeftOut) + QStringLiteral("\n\n") + files[2] +
                                  QStringLiteral("\n") + conversion::converterDetail(ratePerPicture) +
                                  QStringLiteral("\n") +
                                  conversion::converterDetail(QString::fromLatin1(kSoundLeftOut)));

        // A single file is told the same way; one converted as asked is not told of.
        dialogs::setNextOpenFileNames({files[0]});
        click(actions::kAdd);
        click(actions::kConvert);
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[1].text.section(QLatin1Char('\n'), 1), QStringLiteral("a.avi：") + noSound);
        load();
        click(actions::kConvert);
        QCOMPARE(QDir(m_app + QStringLiteral("/output")).entryList(QDir::Files).size(), 5);
        QCOMPARE(m_messages.size(), 2);
    }

    // Where nothing opens the output folder, the user is told where the result is.
    void finishedRunSaysWhereTheResultIsWhenTheFolderCannotOpen()
    {
        QVERIFY(standin::installOpener(m_tools.path(), m_openerLog));
        QFile opener(m_tools.filePath(QStringLiteral("xdg-open")));
        QVERIFY(opener.open(QIODevice::Append));
        opener.write("exit 3\n");
        opener.close();
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));
        load();
        click(actions::kConvert);
        QTRY_COMPARE(m_messages.size(), 1);
        const QStringList results = QDir(m_app + QStringLiteral("/output")).entryList(QDir::Files);
        QCOMPARE(results.size(), 1);
        QCOMPARE(m_messages[0].title, QStringLiteral("完成"));
        QCOMPARE(m_messages[0].icon, dialogs::MessageIcon::Information);
        QVERIFY2(m_messages[0].text.endsWith(m_app + QStringLiteral("/output/") + results[0]),
                 qPrintable(m_messages[0].text));
        QVERIFY(standin::installOpener(m_tools.path(), m_openerLog));
    }

    // The title and the launcher follow the converter's progress lines, and both are
    // cleared at the end, after a success as after a failure.
    void progressShowsOnTheTaskBarAndClearsAtTheEnd()
    {
        const QString entry = QStringLiteral("application://org.tovaropro.TovaroPRO.desktop");
        QVERIFY(standin::install(m_app, QStringLiteral("echo 'progress: time=21.00 duration=50.00' >&2\n") +
                                            standin::waitsForRelease(m_app)));
        load();
        QString titleWhileRunning;
        whileConverterRuns([&] {
            titleWhileRunning = m_window->windowTitle();
            return !m_desktop.shownProgress().isEmpty();
        });
        click(actions::kConvert);
        QCOMPARE(titleWhileRunning, QStringLiteral("Tovaro PRO - 42%"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Tovaro PRO"));
        QCOMPARE(m_desktop.shownProgress(), QList<double>{0.42});
        QTRY_VERIFY(!m_desktop.launcher.last().visible);
        for (const Desktop::LauncherUpdate& update : m_desktop.launcher)
            QCOMPARE(update.entry, entry);

        m_desktop.launcher.clear();
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kFails)));  // 25 %, then fails
        load();
        click(actions::kConvert);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Tovaro PRO"));
        QTRY_COMPARE(m_desktop.shownProgress(), QList<double>{0.25});
        QTRY_VERIFY(!m_desktop.launcher.last().visible);
    }

    // A word when a run ends while the window is not the active one, with the
    // result's name or the warning's reason; none while the user looks at it.
    void notifiesTheEndOnlyWhenTheWindowIsNotActive()
    {
        QWidget elsewhere;  // the window the user turned to
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));
        load();
        click(actions::kConvert);
        QTRY_COMPARE(m_desktop.notifications.size(), 1);
        const QStringList results = QDir(m_app + QStringLiteral("/output")).entryList(QDir::Files);
        QCOMPARE(m_desktop.notifications[0].summary, QStringLiteral("转换完成"));
        QCOMPARE(m_desktop.notifications[0].body, results.value(0));
        QCOMPARE(m_desktop.notifications[0].desktopEntry, QStringLiteral("org.tovaropro.TovaroPRO"));

        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kFails)));
        load();
        click(actions::kConvert);
        QTRY_COMPARE(m_desktop.notifications.size(), 2);
        QCOMPARE(m_desktop.notifications[1].summary, QStringLiteral("转换失败"));
        QCOMPARE(m_desktop.notifications[1].body, m_messages.value(0).text);

        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        click(actions::kConvert);  // fails again, in front of the user
        QCOMPARE(m_messages.size(), 2);

        // The next word on the bus is for a later run, out of sight: this one sent none.
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kConverts)));
        click(actions::kConvert);
        QTRY_COMPARE(m_desktop.notifications.size(), 3);
        QCOMPARE(m_desktop.notifications[2].summary, QStringLiteral("转换完成"));
    }

    void busyStepContinuesAcrossRuns()
    {
        QVERIFY(standin::install(m_app, standin::waitsForRelease(m_app)));
        load();
        whileConverterRuns([&] { return litSquare(*m_window) == 2; });  // squares 0, 1 and 2 have been lit
        click(actions::kConvert);
        QCOMPARE(litSquare(*m_window), 2);  // the squares keep the last tick's colours

        QFile::remove(m_app + QStringLiteral("/release"));
        load();
        int firstLit = -1;
        const auto tick = connect(timer(), &QTimer::timeout, this, [&] {
            if (firstLit < 0)
                firstLit = litSquare(*m_window);
        });
        whileConverterRuns([&] { return firstLit >= 0; });
        click(actions::kConvert);
        disconnect(tick);
        QCOMPARE(firstLit, 3);
    }

private:
    void load()
    {
        dialogs::setNextOpenFileName(m_source);
        click(actions::kAdd);
        QCOMPARE(element<FileLine>(QStringLiteral("lblFile"))->text(), m_source);
    }

    // Once the stand-in converter runs, calls `check` every 20 ms until it returns
    // true, then lets the converter finish.
    void whileConverterRuns(std::function<bool()> check)
    {
        standin::whenFileAppears(this, m_app + QStringLiteral("/called.txt"), [this, check] {
            auto* poll = new QTimer(this);
            connect(poll, &QTimer::timeout, this, [this, poll, check] {
                if (check()) {
                    standin::release(m_app);
                    poll->deleteLater();
                    poll->stop();
                }
            });
            poll->start(20);
        });
    }

    void expectLoaded()
    {
        QCOMPARE(element<FileLine>(QStringLiteral("lblFile"))->text(), m_source);
        QVERIFY(element(QStringLiteral("lblFile"))->isVisible());
        QVERIFY(element(QStringLiteral("imgLoaded"))->isVisible());
        QVERIFY(!element(QStringLiteral("imgWait"))->isVisible());
        QVERIFY(!elements::square(*m_window, 0)->isVisible());
        QVERIFY(elements::button(*m_window, actions::kConvert)->isEnabled());
    }

    // A tool-bar button clicked; Convert returns when its run has ended (the busy
    // indicator's timer, started with the run, stops with it).
    void click(actions::Code action)
    {
        QTest::mouseClick(elements::button(*m_window, action), Qt::LeftButton);
        if (action == actions::kConvert)
            QTRY_VERIFY_WITH_TIMEOUT(!timer()->isActive(), 60000);
    }

    template <class Element = QWidget>
    Element* element(const QString& name)
    {
        return find<Element>(*m_window, name);
    }
    QTimer* timer() { return element<QTimer>(QStringLiteral("Timer1")); }

    static QString readAll(const QString& path) { return QString::fromUtf8(testsupport::readFile(path)); }

    QTemporaryDir m_tools;
    QString m_openerLog;
    testsupport::ScratchFolder m_scratch;
    QString m_app;
    QString m_source;
    std::unique_ptr<frmMain> m_window;
    QList<dialogs::Message> m_messages;
    int m_ends = 0;  // times the program would have ended
    Desktop m_desktop;
};

QTEST_MAIN(ConvertTest)
#include "tst_convert.moc"
