// The settings panel's buttons and the Convert action in the window, with stand-in
// converters: what the window shows before, during and after a run.

#include "../conversion/StandInConverter.h"
#include "app/frmMain.h"
#include "dialogs/MessageBox.h"
#include "dialogs/OpenFileDialog.h"
#include "platform/ExclusiveLock.h"
#include "ui/BusySquare.h"
#include "ui/FileLine.h"
#include "ui/SettingsPanel.h"
#include "ui/SkinImage.h"

#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// The square the last tick lit, or -1.
int litSquare(const frmMain& window)
{
    for (std::size_t i = 0; i < window.SP.size(); ++i)
        if (window.SP[i]->fillColour() == QColor(236, 39, 50))
            return static_cast<int>(i);
    return -1;
}

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
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        dialogs::setMessageSink([this](const dialogs::Message& message) { m_messages << message; });
    }

    void init()
    {
        m_scratch = std::make_unique<QTemporaryDir>();
        m_app = m_scratch->filePath(QStringLiteral("Tovaro PRO"));
        QVERIFY(QDir().mkpath(m_app));
        QVERIFY(QDir().mkpath(m_scratch->filePath(QStringLiteral("tmp"))));
        m_source = m_scratch->filePath(QStringLiteral("party.avi"));
        QFile source(m_source);
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write("source bytes");
        m_messages.clear();
        QFile::remove(m_openerLog);

        m_window = std::make_unique<frmMain>(StartupPaths{m_app, m_scratch->filePath(QStringLiteral("tmp"))});
        m_window->Form_Load();
        m_window->showCentred();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void settingsPanelButtons()
    {
        SettingsPanel* panel = m_window->picSetting;
        m_window->imgButton_MouseUp(3);
        QVERIFY(panel->isVisible());
        panel->cmbSize->setCurrentIndex(4);
        panel->cmbAB->setCurrentIndex(5);
        QTest::mouseClick(panel->lblCancel, Qt::LeftButton);
        QVERIFY(!panel->isVisible());  // closed, and the changes stay: there is nothing to undo them from
        QCOMPARE(panel->selection().frameSize, QStringLiteral("352x288"));
        QCOMPARE(panel->selection().audioKbps, QStringLiteral("128"));

        m_window->imgButton_MouseUp(3);
        QTest::mouseClick(panel->lblDefault, Qt::LeftButton);
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->selection().frameSize, QStringLiteral("176x144"));
        QCOMPARE(panel->selection().frameRate, QStringLiteral("14.985"));
        QCOMPARE(panel->selection().videoKbps, QStringLiteral("120"));
        QCOMPARE(panel->selection().audioKbps, QStringLiteral("48"));
        QTest::mouseClick(panel->lblOk, Qt::LeftButton);
        QVERIFY(!panel->isVisible());
    }

    void convertShowsItsWorkAndEndsIdle()
    {
        QVERIFY(standin::install(m_app, standin::waitsForRelease(m_app)));
        load();
        m_window->picSetting->cmbFPS->setCurrentIndex(2);  // read when the run composes its command line

        // What the window shows while the converter runs, noted then and checked after.
        QStringList wrong;
        bool seenRunning = false;
        whileConverterRuns([&] {
            seenRunning = true;
            const auto expect = [&](bool holds, const char* what) {
                if (!holds)
                    wrong << QString::fromLatin1(what);
            };
            expect(!m_window->lblFile->isVisible(), "file line hidden");
            expect(!m_window->imgLoaded->isVisible(), "loaded picture hidden");
            expect(m_window->imgWait->isVisible(), "converting picture shown");
            for (const BusySquare* square : m_window->SP)
                expect(square->isVisible(), "square shown");
            expect(!m_window->isEnabled(), "window disabled");
            expect(m_window->Timer1->isActive(), "timer running");
            expect(QFileInfo::exists(m_app + QStringLiteral("/data/conv.exe")), "converter copied to data");
            expect(!m_window->close(), "close request refused");
            return true;
        });
        m_window->imgButton_MouseUp(2);

        QVERIFY(seenRunning);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));
        QVERIFY(m_messages.isEmpty());
        QVERIFY(m_window->isEnabled());
        QVERIFY(m_window->lblFile->isVisible());
        QVERIFY(m_window->lblFile->text().isEmpty());
        QVERIFY(!m_window->imgLoaded->isVisible());
        QVERIFY(!m_window->imgWait->isVisible());
        for (const BusySquare* square : m_window->SP)
            QVERIFY(!square->isVisible());
        QVERIFY(!m_window->Timer1->isActive());
        QVERIFY(!QFileInfo::exists(m_app + QStringLiteral("/data/conv.exe")));
        const QStringList results = QDir(m_app + QStringLiteral("/output")).entryList(QDir::Files);
        QCOMPARE(results.size(), 1);
        QVERIFY(QStringLiteral("converted source bytes") == readAll(m_app + QStringLiteral("/output/") + results[0]));
        QVERIFY(m_window->lastCommandLine.startsWith(m_app + QStringLiteral("/data/conv.exe -i ")));
        QVERIFY(m_window->lastCommandLine.contains(QStringLiteral(" -r 25.0 ")));
        QTRY_COMPARE(readAll(m_openerLog), m_app + QStringLiteral("/output\n"));

        m_window->imgButton_MouseUp(2);  // nothing is loaded any more
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].text, QStringLiteral("请先添加文件"));
    }

    void failedRunKeepsTheFileLoaded()
    {
        QVERIFY(standin::install(m_app, QString::fromLatin1(standin::kFails)));
        load();
        m_window->imgButton_MouseUp(2);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title, QStringLiteral("警告"));
        QCOMPARE(m_messages[0].icon, dialogs::MessageIcon::Warning);
        QVERIFY2(m_messages[0].text.contains(QStringLiteral("conv.dll: cannot decode")), qPrintable(m_messages[0].text));
        expectLoaded();
        QVERIFY(QDir(m_app + QStringLiteral("/output")).isEmpty());
        QTest::qWait(200);
        QVERIFY(!QFileInfo::exists(m_openerLog));

        // While another copy of the program converts, Convert changes nothing.
        platform::ExclusiveLock other;
        QCOMPARE(other.tryAcquire(m_window->folders().temp + QStringLiteral("/.conversion.lock")),
                 platform::ExclusiveLock::Result::Held);
        QFile::remove(m_app + QStringLiteral("/called.txt"));
        m_window->imgButton_MouseUp(2);
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[1].text, QStringLiteral("已有一个转换正在进行，请等它结束后再转换。"));
        QVERIFY(standin::calledWith(m_app).isEmpty());
        expectLoaded();
    }

    void busyStepContinuesAcrossRuns()
    {
        QVERIFY(standin::install(m_app, standin::waitsForRelease(m_app)));
        load();
        whileConverterRuns([&] { return m_window->BusyStep == 3; });  // squares 0, 1 and 2 have been lit
        m_window->imgButton_MouseUp(2);
        QCOMPARE(litSquare(*m_window), 2);  // the squares keep the last tick's colours

        QFile::remove(m_app + QStringLiteral("/release"));
        load();
        int firstLit = -1;
        const auto tick = connect(m_window->Timer1, &QTimer::timeout, this, [&] {
            if (firstLit < 0)
                firstLit = litSquare(*m_window);
        });
        whileConverterRuns([&] { return firstLit >= 0; });
        m_window->imgButton_MouseUp(2);
        disconnect(tick);
        QCOMPARE(firstLit, 3);
    }

private:
    void load()
    {
        dialogs::setNextOpenFileName(m_source);
        m_window->imgButton_MouseUp(0);
        QCOMPARE(m_window->lblFile->text(), m_source);
    }

    // Once the stand-in converter runs, calls `check` every 20 ms until it returns
    // true, then lets the converter finish.
    void whileConverterRuns(std::function<bool()> check)
    {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [this, poll, check] {
            if (!standin::calledWith(m_app).isEmpty() && check()) {
                standin::release(m_app);
                poll->deleteLater();
                poll->stop();
            }
        });
        poll->start(20);
    }

    void expectLoaded()
    {
        QCOMPARE(m_window->lblFile->text(), m_source);
        QVERIFY(m_window->lblFile->isVisible());
        QVERIFY(m_window->imgLoaded->isVisible());
        QVERIFY(!m_window->imgWait->isVisible());
        QVERIFY(!m_window->SP[0]->isVisible());
        QVERIFY(m_window->isEnabled());
    }

    static QString readAll(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir m_tools;
    QString m_openerLog;
    std::unique_ptr<QTemporaryDir> m_scratch;
    QString m_app;
    QString m_source;
    std::unique_ptr<frmMain> m_window;
    QList<dialogs::Message> m_messages;
};

QTEST_MAIN(ConvertTest)
#include "tst_convert.moc"
