// Start-up of the main window: working folders, default settings and the state of
// every element when the window first shows.

#include "ScratchFolder.h"
#include "WindowElements.h"
#include "app/frmMain.h"
#include "ui/FileLine.h"
#include "ui/HiddenTextBox.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

#include <sys/stat.h>
#include <unistd.h>
#include <memory>

namespace {

using elements::find;

QString privateFolderName() { return QStringLiteral("tovaro-%1").arg(::getuid()); }

std::unique_ptr<frmMain> startWindow(const QString& applicationFolder, const QString& temporaryBase)
{
    auto window = std::make_unique<frmMain>(StartupPaths{applicationFolder, temporaryBase});
    window->Form_Load();
    return window;
}

QStringList entriesOf(const QComboBox* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    return entries;
}

// True when every character of `text` is drawn from a font that has a glyph for it,
// so the user sees the character and not an empty box.
bool everyCharacterHasAGlyph(const QString& text, const QFont& font)
{
    QTextLayout textLayout(text, font);
    textLayout.beginLayout();
    textLayout.createLine();
    textLayout.endLayout();
    int covered = 0;
    for (const QGlyphRun& run : textLayout.glyphRuns()) {
        for (quint32 glyph : run.glyphIndexes()) {
            if (glyph == 0)
                return false;  // glyph 0 is the font's "missing" box
            ++covered;
        }
    }
    return covered >= text.size();
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_scratch.renew(QStringLiteral("Tovaro PRO")));
        m_application = m_scratch.application();
        m_tempBase = m_scratch.temporaryBase();
    }

    void createsTheWorkingFolders()
    {
        const auto window = startWindow(m_application, m_tempBase);
        QCOMPARE(window->folders().output, m_application + QStringLiteral("/output"));
        QCOMPARE(window->folders().data, m_application + QStringLiteral("/data"));
        QCOMPARE(window->folders().temp, m_tempBase + QLatin1Char('/') + privateFolderName());
        QCOMPARE(window->folders().openFrom, m_application);
        for (const QString& folder : {window->folders().output, window->folders().data, window->folders().temp})
            QVERIFY2(QFileInfo(folder).isDir(), qPrintable(folder));
    }

    // Results stay, and so does a result kept in the working folder; the working
    // copies a killed run left behind go.
    void keepsResultsAndClearsWorkingCopiesLeftBehind()
    {
        QVERIFY(QDir().mkpath(m_application + QStringLiteral("/output")));
        QVERIFY(QDir().mkpath(m_application + QStringLiteral("/data")));
        const QString working = m_tempBase + QLatin1Char('/') + privateFolderName();
        QVERIFY(QDir().mkpath(working));
        const QString earlierResult = m_application + QStringLiteral("/output/126151741.3gp");
        const QString keptResult = working + QStringLiteral("/126151741.3gp");
        const QStringList leftBehind{working + QStringLiteral("/tmpFile.avi"), working + QStringLiteral("/tmpFile.3gp"),
                                     m_application + QStringLiteral("/data/conv.exe")};
        for (const QString& path : QStringList{earlierResult, keptResult} + leftBehind)
            QVERIFY(testsupport::writeFile(path, "kept"));

        const auto window = startWindow(m_application, m_tempBase);
        QVERIFY(QFileInfo::exists(earlierResult));
        QVERIFY(QFileInfo::exists(keptResult));
        for (const QString& path : leftBehind)
            QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
        QCOMPARE(window->folders().temp, working);
    }

    // An installed copy: results go to the user's videos folder, and the file-open
    // dialog starts there (home when there is none), not in a system folder.
    void unwritableApplicationFolderStillStarts()
    {
        // Permissions do not stop root, so put a regular file where the folder's
        // parent should be: nothing can be created beneath it by anyone.
        const QString blocker = m_scratch.filePath(QStringLiteral("blocker"));
        QVERIFY(testsupport::writeFile(blocker, {}));
        const QString application = blocker + QStringLiteral("/Tovaro PRO");
        const QString home = m_scratch.filePath(QStringLiteral("home"));
        const QByteArray realHome = qgetenv("HOME"), realConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toUtf8());
        QVERIFY(QDir().mkpath(home));

        auto window = startWindow(application, m_tempBase);
        QVERIFY(!QFileInfo::exists(application + QStringLiteral("/output")));
        QVERIFY(!QFileInfo::exists(application + QStringLiteral("/data")));
        QCOMPARE(find<QComboBox>(*window, QStringLiteral("cmbSize"))->currentText(),
                 QStringLiteral("176x144"));  // later steps ran
        QCOMPARE(window->size(), QSize(557, 374));
        QCOMPARE(window->folders().output, home + QStringLiteral("/Videos/Tovaro PRO"));
        QCOMPARE(window->folders().openFrom, home + QStringLiteral("/Videos"));

        QVERIFY(QDir(home + QStringLiteral("/Videos")).removeRecursively());
        QVERIFY(testsupport::writeFile(home + QStringLiteral("/Videos"), {}));  // no videos folder can be made
        window = startWindow(application, m_tempBase);
        QCOMPARE(window->folders().openFrom, home);
        qputenv("HOME", realHome);
        qputenv("XDG_CONFIG_HOME", realConfig);
    }

    void unsafeTempFolderIsNotUsed()
    {
        QTemporaryDir elsewhere;
        QVERIFY(QFile::link(elsewhere.path(), m_tempBase + QLatin1Char('/') + privateFolderName()));
        const auto window = startWindow(m_application, m_tempBase);
        QVERIFY(window->folders().temp.isEmpty());
        QVERIFY(QFileInfo(window->folders().output).isDir());  // the rest of start-up went on

        if (::geteuid() != 0)
            QSKIP("handing a folder to another user needs root");
        const QString foreignBase = m_scratch.filePath(QStringLiteral("foreign"));
        QVERIFY(QDir().mkpath(foreignBase + QLatin1Char('/') + privateFolderName()));
        QCOMPARE(
            ::chown(QFile::encodeName(foreignBase + QLatin1Char('/') + privateFolderName()).constData(), 4242, 4242),
            0);
        QVERIFY(startWindow(m_application, foreignBase)->folders().temp.isEmpty());
    }

    void listsHoldTheirEntriesAndDefaults()
    {
        const auto window = startWindow(m_application, m_tempBase);
        const auto* size = find<QComboBox>(*window, QStringLiteral("cmbSize"));
        const auto* rate = find<QComboBox>(*window, QStringLiteral("cmbFPS"));
        const auto* video = find<QComboBox>(*window, QStringLiteral("cmbVBR"));
        const auto* audio = find<QComboBox>(*window, QStringLiteral("cmbAB"));
        QCOMPARE(entriesOf(size),
                 (QStringList{QStringLiteral("128x96"), QStringLiteral("160x120"), QStringLiteral("176x144"),
                              QStringLiteral("320x240"), QStringLiteral("352x288")}));
        QCOMPARE(entriesOf(rate), (QStringList{QStringLiteral("14.985"), QStringLiteral("23.975"),
                                               QStringLiteral("25.0"), QStringLiteral("29.97")}));
        QCOMPARE(entriesOf(video), (QStringList{QStringLiteral("40"), QStringLiteral("80"), QStringLiteral("120"),
                                                QStringLiteral("256"), QStringLiteral("512")}));
        QCOMPARE(entriesOf(audio), (QStringList{QStringLiteral("32"), QStringLiteral("48"), QStringLiteral("64"),
                                                QStringLiteral("80"), QStringLiteral("96"), QStringLiteral("128")}));
        QCOMPARE(size->currentText(), QStringLiteral("176x144"));
        QCOMPARE(rate->currentText(), QStringLiteral("14.985"));
        QCOMPARE(video->currentText(), QStringLiteral("120"));
        QCOMPARE(audio->currentText(), QStringLiteral("48"));
        for (const QComboBox* list : {size, rate, video, audio})
            QVERIFY2(!list->isEditable(), qPrintable(list->objectName()));  // pick only, no typing

        // Tab runs in reading order through the title strip's glyphs, the menu strip
        // and the tool bar, then through the open panel: its lists from the audio list
        // back to the frame rate list, and its text buttons. Shift+Tab runs back, and
        // a closed panel is passed over.
        QTest::mouseClick(elements::button(*window, 3), Qt::LeftButton);  // Settings
        window->showCentred();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(window.get()));  // before the first key
        QStringList order{QStringLiteral("imgMin"), QStringLiteral("imgExit")};
        for (int j = 0; j < 4; ++j)
            order << elements::indexed("imgMenu", j);
        for (int i = 0; i < 6; ++i)
            order << elements::indexed("imgButton", i);
        order << QStringLiteral("cmbAB") << QStringLiteral("cmbVBR") << QStringLiteral("cmbSize")
              << QStringLiteral("cmbFPS") << QStringLiteral("lblDefault") << QStringLiteral("lblOk")
              << QStringLiteral("lblCancel") << QStringLiteral("imgMin");
        const auto visit = [](Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
            QTest::keyClick(QApplication::focusWidget(), key, modifiers);
            return QApplication::focusWidget()->objectName();
        };
        QStringList visited;
        for (qsizetype i = 0; i < order.size(); ++i)
            visited << visit(Qt::Key_Tab);
        QCOMPARE(visited, order);
        QCOMPARE(visit(Qt::Key_Backtab, Qt::ShiftModifier), QStringLiteral("lblCancel"));
        QCOMPARE(visit(Qt::Key_Backtab, Qt::ShiftModifier), QStringLiteral("lblOk"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);  // 确定 closes the panel
        QVERIFY(!find<QWidget>(*window, QStringLiteral("picSetting"))->isVisible());
        elements::button(*window, 5)->setFocus();
        QCOMPARE(visit(Qt::Key_Tab), QStringLiteral("imgMin"));
    }

    void everyElementStartsAsDesigned()
    {
        const auto window = startWindow(m_application, m_tempBase);
        window->showCentred();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));

        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(window->windowTitle(), QStringLiteral("Tovaro PRO"));
        QCOMPARE(window->size(), QSize(557, 374));
        QCOMPARE(window->minimumSize(), window->maximumSize());  // cannot be resized
        const QList<int> buttonLefts{14, 85, 153, 224, 291, 356};
        for (int i = 0; i < 6; ++i) {
            const SkinImage* zone = elements::button(*window, i);
            QVERIFY(zone->isVisible());
            QVERIFY(!zone->hasPicture());
            QCOMPARE(zone->geometry(), QRect(buttonLefts[i], 58, 60, 72));
        }
        const QList<int> menuLefts{16, 73, 130, 185};
        for (int j = 0; j < 4; ++j) {
            const SkinImage* zone = elements::menuItem(*window, j);
            QVERIFY(zone->isVisible());
            QVERIFY(!zone->hasPicture());
            QCOMPARE(zone->geometry(), QRect(menuLefts[j], 36, 54, 16));
        }
        const auto* imgMin = find(*window, QStringLiteral("imgMin"));
        const auto* imgExit = find(*window, QStringLiteral("imgExit"));
        QCOMPARE(imgMin->geometry(), QRect(520, 12, 11, 13));
        QCOMPARE(imgExit->geometry(), QRect(536, 12, 11, 13));
        QCOMPARE(imgMin->toolTip(), QStringLiteral("最小化"));
        QCOMPARE(imgExit->toolTip(), QStringLiteral("退出"));

        const auto* panel = find(*window, QStringLiteral("picSetting"));
        QVERIFY(!panel->isVisible());
        QCOMPARE(panel->geometry(), QRect(12, 146, 533, 175));
        // The text buttons sit where the panel's picture leaves room for them, to the pixel.
        const std::pair<const char*, QPoint> links[] = {
            {"lblDefault", {354, 132}}, {"lblOk", {396, 132}}, {"lblCancel", {436, 132}}};
        for (const auto& [link, topLeft] : links)
            QCOMPARE(find(*panel, QString::fromLatin1(link))->geometry().topLeft(), topLeft);
        const auto* imgLoaded = find(*window, QStringLiteral("imgLoaded"));
        const auto* imgWait = find(*window, QStringLiteral("imgWait"));
        QVERIFY(!imgLoaded->isVisible());
        QVERIFY(!imgWait->isVisible());
        QCOMPARE(imgLoaded->geometry(), QRect(84, 175, 364, 86));
        QCOMPARE(imgWait->geometry(), QRect(86, 181, 359, 86));
        for (int i = 0; i < 10; ++i) {
            const BusySquare* square = elements::square(*window, i);
            QVERIFY(!square->isVisible());
            QCOMPARE(square->geometry(), QRect(184 + 16 * i, 276, 15, 15));
            QCOMPARE(square->fillColour(), QColor(255, 128, 128));
        }
        const auto* lblFile = find<FileLine>(*window, QStringLiteral("lblFile"));
        QVERIFY(lblFile->isVisible());
        QVERIFY(lblFile->text().isEmpty());
        QCOMPARE(lblFile->geometry(), QRect(22, 302, 517, 15));
        const auto* menuMsg = find<HiddenTextBox>(*window, QStringLiteral("menuMsg"));
        QVERIFY(!menuMsg->isVisible());
        QCOMPARE(menuMsg->text(), QStringLiteral("b0"));
        const auto* timer = find<QTimer>(*window, QStringLiteral("Timer1"));
        QVERIFY(!timer->isActive());
        QCOMPARE(timer->interval(), 500);
    }

    void settingsPanelCoversTheBanner()
    {
        const auto window = startWindow(m_application, m_tempBase);
        auto* loaded = find(*window, QStringLiteral("imgLoaded"));
        loaded->show();
        QTest::mouseClick(elements::button(*window, 3), Qt::LeftButton);  // Settings
        const QPoint insideBoth = loaded->geometry().center();
        QCOMPARE(window->childAt(insideBoth), find(*window, QStringLiteral("picSetting")));
    }

    void windowIsShapedByTheMagentaOfItsSkin()
    {
        const auto window = startWindow(m_application, m_tempBase);
        const QRegion shape = window->mask();
        QCOMPARE(shape.boundingRect(), QRect(5, 5, 548, 366));
        QVERIFY(!shape.contains(QPoint(5, 5)));     // a rounded corner
        QVERIFY(shape.contains(QPoint(10, 5)));     // the top edge beside it
        QVERIFY(shape.contains(QPoint(278, 187)));  // the middle of the banner
    }

    void pictureAndCursorAssetsAreLoaded()
    {
        const auto window = startWindow(m_application, m_tempBase);
        const skin::Pictures& pictures = window->pictures();
        QCOMPARE(pictures.background.size(), QSize(558, 376));
        for (const QPixmap& picture : pictures.buttonHover)
            QCOMPARE(picture.size(), QSize(60, 72));
        for (const QPixmap& picture : pictures.menuPush)
            QCOMPARE(picture.size(), QSize(54, 16));
        QCOMPARE(pictures.loadedPatch.size(), QSize(364, 86));
        QCOMPARE(pictures.waitPatch.size(), QSize(359, 86));
        QCOMPARE(pictures.hand.shape(), Qt::BitmapCursor);
        QCOMPARE(pictures.hand.hotSpot(), QPoint(6, 0));
        QVERIFY(pictures.icon.availableSizes().contains(QSize(48, 48)));
        QCOMPARE(find(*window, QStringLiteral("imgExit"))->cursor().hotSpot(), QPoint(6, 0));
        QCOMPARE(find(*window, QStringLiteral("lblOk"))->cursor().hotSpot(), QPoint(6, 0));
    }

    void chineseTextsHaveGlyphs()
    {
        const auto window = startWindow(m_application, m_tempBase);
        for (const char* name : {"Label1", "Label3", "Label4", "Label5", "lblDefault", "lblOk", "lblCancel"}) {
            const auto* label = find<QLabel>(*window, QString::fromLatin1(name));
            QVERIFY2(everyCharacterHasAGlyph(label->text(), label->font()), qPrintable(label->text()));
        }
        QVERIFY(everyCharacterHasAGlyph(QStringLiteral("请先添加文件，正在转换 D:\\视频\\聚会.avi"),
                                        find(*window, QStringLiteral("lblFile"))->font()));
    }

private:
    testsupport::ScratchFolder m_scratch;
    QString m_application;
    QString m_tempBase;
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
