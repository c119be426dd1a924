// The file-open dialog as the program asks for it: starting folder, filter pairs,
// flags, and the real dialog on an offscreen display.

#include "ScratchFolder.h"
#include "dialogs/COMDLG.h"
#include "dialogs/MessageBox.h"
#include "dialogs/OpenFileDialog.h"
#include "dialogs/QtTranslations.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <memory>
#include <optional>

namespace {

void touch(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

// The file names the dialog lists in the folder it shows.
QStringList listedNames(QFileDialog* dialog)
{
    QStringList names;
    auto* view = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    if (!view || !view->model())
        return names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row)
        names << view->model()->index(row, 0, root).data().toString();
    names.sort();
    return names;
}

// Runs `answer` on the next file dialog once it is up and modal and `ready` says so,
// and again while that dialog stays open (a busy machine may still be filling it in
// when it first answers). A dialog still open 20 seconds on is rejected, so a
// failing test ends instead of waiting forever.
void whenDialogShows(
    QObject* context, std::function<void(QFileDialog*)> answer,
    std::function<bool(QFileDialog*)> ready = [](QFileDialog*) { return true; })
{
    auto* poll = new QTimer(context);
    auto started = std::make_shared<QElapsedTimer>();
    auto answered = std::make_shared<std::optional<QPointer<QFileDialog>>>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, context, [=] {
        if (answered->has_value() && (!**answered || !(**answered)->isVisible())) {
            poll->deleteLater();  // done: the dialog it answered has closed
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        if (started->elapsed() > 20000) {
            dialog->reject();
        } else if (ready(dialog)) {
            *answered = QPointer<QFileDialog>(dialog);
            answer(dialog);
        }
    });
    poll->start(100);
}

bool hasChinese(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x4e00 && c.unicode() <= 0x9fff)
            return true;
    return false;
}

QString programFilter() { return QStringLiteral("AVI格式(*.AVI)|*.avi|FLV格式(*.FLV)|*.flv|所有格式(*.*)|*.*"); }

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    // As the program does at start-up.
    void initTestCase() { QVERIFY(dialogs::installChineseQtTexts(*QCoreApplication::instance())); }

    void init() { QVERIFY(m_scratch.renew()); }

    void cleanup() { QDir::setCurrent(m_startFolder); }

    void initialFolderFallsBackToTheApplicationFolder()
    {
        const QString app = QStringLiteral("/opt/tovaro");
        const QString folder = m_scratch.filePath(QStringLiteral("视频 片段"));
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(COMDLG::resolveInitialFolder(QString(), app), app);
        QCOMPARE(COMDLG::resolveInitialFolder(QStringLiteral("   "), app), app);
        QCOMPARE(COMDLG::resolveInitialFolder(folder, app), folder + QLatin1Char('/'));
        QCOMPARE(COMDLG::resolveInitialFolder(folder + QLatin1Char('/'), app), folder + QLatin1Char('/'));
        QCOMPARE(COMDLG::resolveInitialFolder(folder + QStringLiteral("/missing"), app), app);
        const QString file = m_scratch.filePath(QStringLiteral("a.avi"));
        touch(file);
        QCOMPARE(COMDLG::resolveInitialFolder(file, app), app);  // a file is no folder to open in
    }

    void filterTextBecomesPairsInOrder()
    {
        using Pairs = QList<std::pair<QString, QString>>;
        const auto pairsOf = [](const QString& filter) {
            Pairs pairs;
            for (const dialogs::FileFilter& f : COMDLG::convertFilter(filter))
                pairs.append({f.description, f.pattern});
            return pairs;
        };
        const Pairs any{{QStringLiteral("*.*"), QStringLiteral("*.*")}};
        QCOMPARE(pairsOf(QString()), any);
        QCOMPARE(pairsOf(QStringLiteral("  ")), any);
        QCOMPARE(pairsOf(QStringLiteral("A|*.a|B|*.b")),
                 (Pairs{{QStringLiteral("A"), QStringLiteral("*.a")}, {QStringLiteral("B"), QStringLiteral("*.b")}}));
        // Parts are kept as they are, empty ones included; a lone description at the end is no pair.
        QCOMPARE(pairsOf(QStringLiteral(" A ||B|*.b|C")),
                 (Pairs{{QStringLiteral(" A "), QString()}, {QStringLiteral("B"), QStringLiteral("*.b")}}));
        QCOMPARE(COMDLG::convertFilter(programFilter()).size(), 3);
    }

    void flagsAndTheRequestReachTheDialog()
    {
        const QString folder = m_scratch.path();
        dialogs::setNextOpenFileName(folder + QStringLiteral("/x.avi"));
        QCOMPARE(COMDLG::ChooseOpenFile(nullptr, QStringLiteral("Open"), folder, programFilter(),
                                        COMDLG::OFN_LONGNAMES | COMDLG::OFN_NOCHANGEDIR),
                 folder + QStringLiteral("/x.avi"));
        const dialogs::OpenFileRequest& asked = dialogs::lastOpenFileRequest();
        QCOMPARE(asked.title, QStringLiteral("Open"));
        QCOMPARE(asked.initialFolder, folder + QLatin1Char('/'));
        QCOMPARE(asked.selectedFilter, 0);
        QCOMPARE(asked.filters.first().description, QStringLiteral("AVI格式(*.AVI)"));
        QVERIFY(!asked.fileMustExist);
        QCOMPARE(QDir::currentPath(), m_startFolder);  // the process stays where it was

        dialogs::setNextOpenFileName(folder + QStringLiteral("/x.avi"));
        (void)COMDLG::ChooseOpenFile(nullptr, QStringLiteral("Open"), QString(), QString(), COMDLG::OFN_FILEMUSTEXIST);
        QVERIFY(dialogs::lastOpenFileRequest().fileMustExist);
        QCOMPARE(QDir::currentPath(), QDir(folder).canonicalPath());  // without the flag it moves there

        dialogs::setNextOpenFileName(QString());  // cancel
        QCOMPARE(COMDLG::ChooseOpenFile(nullptr, QStringLiteral("Open"), QString(), QString(), 0), QString());
    }

    void realDialogMatchesAnyCaseAndReturnsTypedNames()
    {
        const QString folder = m_scratch.filePath(QStringLiteral("视频"));
        QVERIFY(QDir().mkpath(folder));
        for (const char* name : {"MOVIE.AVI", "Clip.Avi", "small.avi", "song.flv", "notes.txt", "README"})
            touch(folder + QLatin1Char('/') + QString::fromLatin1(name));

        QStringList offered, listed, listedByAll, english;
        QString startedIn;
        bool readOnlyShown = false;
        QList<std::pair<int, int>> columnWidths;  // shown, needed
        // The folder is read in the background: answer once its listing is in.
        whenDialogShows(
            this,
            [&](QFileDialog* dialog) {
                offered = dialog->nameFilters();
                startedIn = dialog->directory().absolutePath();
                listed = listedNames(dialog);
                // Every text of the dialog is Chinese.
                for (QAbstractButton* button : dialog->findChildren<QAbstractButton*>())
                    if (button->isVisible() && !button->text().isEmpty() && !hasChinese(button->text()))
                        english << button->text();
                for (QLabel* label : dialog->findChildren<QLabel*>())
                    if (label->isVisible() && !label->text().isEmpty() && !hasChinese(label->text()))
                        english << label->text();
                auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
                QVERIFY(details);
                // Every column as wide as its heading and entries need, and all of
                // them in view at the opening size.
                QHeaderView* header = details->header();
                for (int column = 0; column < header->count(); ++column) {
                    const QString heading = details->model()->headerData(column, Qt::Horizontal).toString();
                    if (!hasChinese(heading))
                        english << heading;
                    columnWidths.append(
                        {header->sectionSize(column),
                         std::max(header->sectionSizeHint(column),
                                  static_cast<QAbstractItemView*>(details)->sizeHintForColumn(column))});
                }
                columnWidths.append({details->viewport()->width(), header->length()});
                auto* readOnly = dialog->findChild<QCheckBox*>(QStringLiteral("readOnlyCheck"));
                readOnlyShown = readOnly && readOnly->isVisible() && hasChinese(readOnly->text());
                // "*.*" offers every file, those without an extension too.
                dialog->selectNameFilter(dialog->nameFilters().last());
                QTRY_VERIFY(listedNames(dialog).size() == 6);
                listedByAll = listedNames(dialog);
                // A name typed for a file that does not exist is taken as it stands.
                auto* nameField = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
                QVERIFY(nameField);
                nameField->setText(QStringLiteral("聚会 new.avi"));
                QTest::keyClick(nameField, Qt::Key_Return);
            },
            [](QFileDialog* dialog) { return listedNames(dialog).size() >= 3; });
        const QString chosen = COMDLG::ChooseOpenFile(nullptr, QStringLiteral("Open"), folder, programFilter(),
                                                      COMDLG::OFN_LONGNAMES | COMDLG::OFN_NOCHANGEDIR);
        QCOMPARE(chosen, folder + QStringLiteral("/聚会 new.avi"));
        QCOMPARE(startedIn, folder);
        QCOMPARE(offered.size(), 3);
        QVERIFY(offered.first().startsWith(QStringLiteral("AVI格式(*.AVI)")));
        QCOMPARE(listed,
                 (QStringList{QStringLiteral("Clip.Avi"), QStringLiteral("MOVIE.AVI"), QStringLiteral("small.avi")}));
        QCOMPARE(listedByAll.size(), 6);
        QVERIFY(listedByAll.contains(QStringLiteral("README")));
        QVERIFY2(english.isEmpty(), qPrintable(english.join(QStringLiteral(" | "))));
        QVERIFY(readOnlyShown);
        QCOMPARE(columnWidths.size(), 5);
        for (const auto& [shown, needed] : columnWidths)
            QVERIFY2(shown >= needed, qPrintable(QStringLiteral("%1 < %2").arg(shown).arg(needed)));
        QCOMPARE(QDir::currentPath(), m_startFolder);
    }

    // The box itself, as the program shows it (tests elsewhere replace it by a sink).
    void messageBoxShowsItsKindWithDialogDecorationsOnly()
    {
        using dialogs::MessageIcon;
        const std::pair<MessageIcon, QMessageBox::Icon> kinds[] = {
            {MessageIcon::Warning, QMessageBox::Warning},
            {MessageIcon::None, QMessageBox::NoIcon},
            {MessageIcon::Information, QMessageBox::Information}};
        for (const auto& [kind, icon] : kinds) {
            const auto box = dialogs::makeMessageBox(nullptr, {QStringLiteral("警告"), QStringLiteral("正文"), kind});
            QCOMPARE(box->icon(), icon);
            QCOMPARE(box->buttons().size(), 1);
            QCOMPARE(box->button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
            QVERIFY(box->detailedText().isEmpty());
            const Qt::WindowFlags flags = box->windowFlags();
            QVERIFY(flags.testFlag(Qt::CustomizeWindowHint) && flags.testFlag(Qt::WindowCloseButtonHint));
            QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint) && !flags.testFlag(Qt::WindowMaximizeButtonHint));
        }

        const auto question = dialogs::makeMessageBox(
            nullptr, {QStringLiteral("确认"), QStringLiteral("停止？"), MessageIcon::Question, QStringLiteral("细节")},
            true);
        QCOMPARE(question->icon(), QMessageBox::Question);
        QVERIFY(question->escapeButton() == question->button(QMessageBox::No));
        QVERIFY(question->button(QMessageBox::Yes)->text().startsWith(QStringLiteral("是")));
        QVERIFY(question->button(QMessageBox::No)->text().startsWith(QStringLiteral("否")));
        QCOMPARE(question->detailedText(), QStringLiteral("细节"));

        // Enter keeps what is going on (否); 是 is the Y key away.
        const std::pair<Qt::Key, QMessageBox::StandardButton> answers[] = {{Qt::Key_Return, QMessageBox::No},
                                                                           {Qt::Key_Y, QMessageBox::Yes}};
        for (const auto& [key, answer] : answers) {
            const auto asked =
                dialogs::makeMessageBox(nullptr, {QStringLiteral("确认"), QStringLiteral("停止？")}, true);
            QTimer::singleShot(0, asked.get(), [box = asked.get(), key] { QTest::keyClick(box, key); });
            QCOMPARE(asked->exec(), int(answer));
        }
    }

    // With the choice of several, Ctrl+click picks more than one file in the list and
    // all of them come back, in the list's order.
    void realDialogTakesSeveralPickedFiles()
    {
        const QString folder = m_scratch.filePath(QStringLiteral("多选"));
        QVERIFY(QDir().mkpath(folder));
        for (const char* name : {"a.avi", "b.avi", "c.avi"})
            touch(folder + QLatin1Char('/') + QString::fromLatin1(name));
        QAbstractItemView::SelectionMode mode = QAbstractItemView::NoSelection;
        whenDialogShows(
            this,
            [&](QFileDialog* dialog) {
                auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView"));
                QVERIFY(details);
                mode = details->selectionMode();
                const QAbstractItemModel* model = details->model();
                for (const int row : {0, 2}) {
                    const QModelIndex index = model->index(row, 0, details->rootIndex());
                    QTest::mouseClick(details->viewport(), Qt::LeftButton, Qt::ControlModifier,
                                      details->visualRect(index).center());
                }
                QMetaObject::invokeMethod(dialog, "accept");  // the Open button
            },
            [](QFileDialog* dialog) { return listedNames(dialog).size() == 3; });
        const QStringList chosen = COMDLG::ChooseOpenFiles(nullptr, QStringLiteral("Open"), folder, programFilter(),
                                                           COMDLG::OFN_LONGNAMES | COMDLG::OFN_ALLOWMULTISELECT);
        QCOMPARE(mode, QAbstractItemView::ExtendedSelection);
        QCOMPARE(chosen, (QStringList{folder + QStringLiteral("/a.avi"), folder + QStringLiteral("/c.avi")}));
    }

    void realDialogCancelGivesNothing()
    {
        whenDialogShows(this, [](QFileDialog* dialog) { dialog->reject(); });
        QCOMPARE(COMDLG::ChooseOpenFile(nullptr, QStringLiteral("Open"), m_scratch.path(), programFilter(),
                                        COMDLG::OFN_LONGNAMES | COMDLG::OFN_NOCHANGEDIR),
                 QString());
    }

private:
    testsupport::ScratchFolder m_scratch;
    const QString m_startFolder = QDir::currentPath();
};

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
