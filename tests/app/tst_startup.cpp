// Start-up of the main window: working folders, default settings and the state of
// every element when the window first shows.

#include "app/frmMain.h"
#include "ui/BusySquare.h"
#include "ui/FileLine.h"
#include "ui/HiddenTextBox.h"
#include "ui/SettingsPanel.h"
#include "ui/SkinImage.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

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
        m_scratch = std::make_unique<QTemporaryDir>();
        QVERIFY(m_scratch->isValid());
        m_application = m_scratch->filePath(QStringLiteral("Tovaro PRO"));
        m_tempBase = m_scratch->filePath(QStringLiteral("tmp"));
        QVERIFY(QDir().mkpath(m_application));
        QVERIFY(QDir().mkpath(m_tempBase));
    }

    void createsTheWorkingFolders()
    {
        const auto window = startWindow(m_application, m_tempBase);
        QCOMPARE(window->folders().output, m_application + QStringLiteral("/output"));
        QCOMPARE(window->folders().data, m_application + QStringLiteral("/data"));
        QCOMPARE(window->folders().temp, m_tempBase + QLatin1Char('/') + privateFolderName());
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
        for (const QString& path : QStringList{earlierResult, keptResult} + leftBehind) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("kept");
        }

        const auto window = startWindow(m_application, m_tempBase);
        QVERIFY(QFileInfo::exists(earlierResult));
        QVERIFY(QFileInfo::exists(keptResult));
        for (const QString& path : leftBehind)
            QVERIFY2(!QFileInfo::exists(path), qPrintable(path));
        QCOMPARE(window->folders().temp, working);
    }

    void unwritableApplicationFolderStillStarts()
    {
        // Permissions do not stop root, so put a regular file where the folder's
        // parent should be: nothing can be created beneath it by anyone.
        const QString blocker = m_scratch->filePath(QStringLiteral("blocker"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QString application = blocker + QStringLiteral("/Tovaro PRO");

        const auto window = startWindow(application, m_tempBase);
        QVERIFY(!QFileInfo::exists(application + QStringLiteral("/output")));
        QVERIFY(!QFileInfo::exists(application + QStringLiteral("/data")));
        QCOMPARE(window->picSetting->cmbSize->currentText(), QStringLiteral("176x144"));  // later steps ran
        QCOMPARE(window->size(), QSize(557, 374));
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
        const QString foreignBase = m_scratch->filePath(QStringLiteral("foreign"));
        QVERIFY(QDir().mkpath(foreignBase + QLatin1Char('/') + privateFolderName()));
        QCOMPARE(::chown(QFile::encodeName(foreignBase + QLatin1Char('/') + privateFolderName()).constData(), 4242, 4242), 0);
        QVERIFY(startWindow(m_application, foreignBase)->folders().temp.isEmpty());
    }

    void listsHoldTheirEntriesAndDefaults()
    {
        const auto window = startWindow(m_application, m_tempBase);
        const SettingsPanel* panel = window->picSetting;
        QCOMPARE(entriesOf(panel->cmbSize), (QStringList{QStringLiteral("128x96"), QStringLiteral("160x120"),
                                                         QStringLiteral("176x144"), QStringLiteral("320x240"),
                                                         QStringLiteral("352x288")}));
        QCOMPARE(entriesOf(panel->cmbFPS), (QStringList{QStringLiteral("14.985"), QStringLiteral("23.975"),
                                                        QStringLiteral("25.0"), QStringLiteral("29.97")}));
        QCOMPARE(entriesOf(panel->cmbVBR), (QStringList{QStringLiteral("40"), QStringLiteral("80"),
                                                        QStringLiteral("120"), QStringLiteral("256"),
                                                        QStringLiteral("512")}));
        QCOMPARE(entriesOf(panel->cmbAB), (QStringList{QStringLiteral("32"), QStringLiteral("48"), QStringLiteral("64"),
                                                       QStringLiteral("80"), QStringLiteral("96"),
                                                       QStringLiteral("128")}));
        QCOMPARE(panel->cmbSize->currentText(), QStringLiteral("176x144"));
        QCOMPARE(panel->cmbFPS->currentText(), QStringLiteral("14.985"));
        QCOMPARE(panel->cmbVBR->currentText(), QStringLiteral("120"));
        QCOMPARE(panel->cmbAB->currentText(), QStringLiteral("48"));
        for (const QComboBox* list : {panel->cmbSize, panel->cmbFPS, panel->cmbVBR, panel->cmbAB})
            QVERIFY2(!list->isEditable(), qPrintable(list->objectName()));  // pick only, no typing

        // The Tab key runs from the audio list back to the frame rate list.
        window->showCentred();
        window->picSetting->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QCOMPARE(QApplication::focusWidget(), static_cast<const QWidget*>(panel->cmbAB));  // the first stop
        for (const QComboBox* next : {panel->cmbVBR, panel->cmbSize, panel->cmbFPS}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), static_cast<const QWidget*>(next));
        }
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
        QCOMPARE(window->FromMenu, false);
        QCOMPARE(window->BusyStep, qint16(0));

        for (SkinImage* zone : window->imgButton) {
            QVERIFY(zone->isVisible());
            QVERIFY(!zone->hasPicture());
            QCOMPARE(zone->size(), QSize(60, 72));
        }
        for (SkinImage* zone : window->imgMenu) {
            QVERIFY(zone->isVisible());
            QVERIFY(!zone->hasPicture());
            QCOMPARE(zone->size(), QSize(54, 16));
        }
        const QList<int> buttonLefts{14, 85, 153, 224, 291, 356};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(window->imgButton[static_cast<std::size_t>(i)]->geometry().topLeft(), QPoint(buttonLefts[i], 58));
        const QList<int> menuLefts{16, 73, 130, 185};
        for (int j = 0; j < 4; ++j)
            QCOMPARE(window->imgMenu[static_cast<std::size_t>(j)]->geometry().topLeft(), QPoint(menuLefts[j], 36));
        QCOMPARE(window->imgMin->geometry(), QRect(520, 12, 11, 13));
        QCOMPARE(window->imgExit->geometry(), QRect(536, 12, 11, 13));
        QCOMPARE(window->imgMin->toolTip(), QStringLiteral("最小化"));
        QCOMPARE(window->imgExit->toolTip(), QStringLiteral("退出"));

        QVERIFY(!window->picSetting->isVisible());
        QCOMPARE(window->picSetting->geometry(), QRect(12, 146, 533, 175));
        // The text buttons sit where the panel's picture leaves room for them, to the pixel.
        const std::pair<QWidget*, QPoint> links[] = {{window->picSetting->lblDefault, {354, 132}},
                                                     {window->picSetting->lblOk, {396, 132}},
                                                     {window->picSetting->lblCancel, {436, 132}}};
        for (const auto& [link, topLeft] : links)
            QCOMPARE(link->geometry().topLeft(), topLeft);
        QVERIFY(!window->imgLoaded->isVisible());
        QVERIFY(!window->imgWait->isVisible());
        QCOMPARE(window->imgLoaded->geometry(), QRect(84, 175, 364, 86));
        QCOMPARE(window->imgWait->geometry(), QRect(86, 181, 359, 86));
        for (int i = 0; i < 10; ++i) {
            const BusySquare* square = window->SP[static_cast<std::size_t>(i)];
            QVERIFY(!square->isVisible());
            QCOMPARE(square->geometry(), QRect(184 + 16 * i, 276, 15, 15));
            QCOMPARE(square->fillColour(), QColor(255, 128, 128));
        }
        QVERIFY(window->lblFile->isVisible());
        QVERIFY(window->lblFile->text().isEmpty());
        QCOMPARE(window->lblFile->geometry(), QRect(22, 302, 517, 15));
        QVERIFY(!window->menuMsg->isVisible());
        QCOMPARE(window->menuMsg->text(), QStringLiteral("b0"));
        QVERIFY(!window->Timer1->isActive());
        QCOMPARE(window->Timer1->interval(), 500);
    }

    void settingsPanelCoversTheBanner()
    {
        const auto window = startWindow(m_application, m_tempBase);
        window->imgLoaded->show();
        window->picSetting->show();
        const QPoint insideBoth = window->imgLoaded->geometry().center();
        QCOMPARE(window->childAt(insideBoth), static_cast<QWidget*>(window->picSetting));
    }

    void windowIsShapedByTheMagentaOfItsSkin()
    {
        const auto window = startWindow(m_application, m_tempBase);
        const QRegion shape = window->mask();
        QCOMPARE(shape.boundingRect(), QRect(5, 5, 548, 366));
        QVERIFY(!shape.contains(QPoint(5, 5)));      // a rounded corner
        QVERIFY(shape.contains(QPoint(10, 5)));      // the top edge beside it
        QVERIFY(shape.contains(QPoint(278, 187)));   // the middle of the banner
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
        QCOMPARE(window->imgExit->cursor().hotSpot(), QPoint(6, 0));
        QCOMPARE(window->picSetting->lblOk->cursor().hotSpot(), QPoint(6, 0));
    }

    void chineseTextsHaveGlyphs()
    {
        const auto window = startWindow(m_application, m_tempBase);
        const SettingsPanel* panel = window->picSetting;
        const QList<const QLabel*> labels{panel->Label1, panel->Label3,     panel->Label4,    panel->Label5,
                                          panel->lblDefault, panel->lblOk, panel->lblCancel};
        for (const QLabel* label : labels)
            QVERIFY2(everyCharacterHasAGlyph(label->text(), label->font()), qPrintable(label->text()));
        QVERIFY(everyCharacterHasAGlyph(QStringLiteral("请先添加文件，正在转换 D:\\视频\\聚会.avi"),
                                        window->lblFile->font()));
    }

private:
    std::unique_ptr<QTemporaryDir> m_scratch;
    QString m_application;
    QString m_tempBase;
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
