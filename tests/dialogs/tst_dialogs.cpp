// The file-open dialog as the program asks for it: starting folder, filter pairs,
// flags, and the real dialog on an offscreen display.

#include "dialogs/COMDLG.h"
#include "dialogs/OpenFileDialog.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

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

// Runs `answer` on the file dialog once it is up and modal.
void whenDialogShows(QObject* context, std::function<void(QFileDialog*)> answer)
{
    auto* poll = new QTimer(context);
    QObject::connect(poll, &QTimer::timeout, context, [poll, answer = std::move(answer)] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        answer(dialog);
    });
    poll->start(20);
}

QString programFilter()
{
    return QStringLiteral("AVI格式(*.AVI)|*.avi|FLV格式(*.FLV)|*.flv|所有格式(*.*)|*.*");
}

}  // namespace

class DialogsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        m_scratch = std::make_unique<QTemporaryDir>();
        QVERIFY(m_scratch->isValid());
    }

    void cleanup() { QDir::setCurrent(m_startFolder); }

    void initialFolderFallsBackToTheApplicationFolder()
    {
        const QString app = QStringLiteral("/opt/tovaro");
        const QString folder = m_scratch->filePath(QStringLiteral("视频 片段"));
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(COMDLG::resolveInitialFolder(QString(), app), app);
        QCOMPARE(COMDLG::resolveInitialFolder(QStringLiteral("   "), app), app);
        QCOMPARE(COMDLG::resolveInitialFolder(folder, app), folder + QLatin1Char('/'));
        QCOMPARE(COMDLG::resolveInitialFolder(folder + QLatin1Char('/'), app), folder + QLatin1Char('/'));
        QCOMPARE(COMDLG::resolveInitialFolder(folder + QStringLiteral("/missing"), app), app);
        const QString file = m_scratch->filePath(QStringLiteral("a.avi"));
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
        const QString folder = m_scratch->path();
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
        const QString folder = m_scratch->filePath(QStringLiteral("视频"));
        QVERIFY(QDir().mkpath(folder));
        for (const char* name : {"MOVIE.AVI", "Clip.Avi", "small.avi", "song.flv", "notes.txt"})
            touch(folder + QLatin1Char('/') + QString::fromLatin1(name));

        QStringList offered, listed;
        QString startedIn;
        whenDialogShows(this, [&](QFileDialog* dialog) {
            offered = dialog->nameFilters();
            startedIn = dialog->directory().absolutePath();
            // The folder is read in the background; give it a moment.
            for (int waited = 0; waited < 5000 && listedNames(dialog).size() < 3; waited += 50)
                QTest::qWait(50);
            listed = listedNames(dialog);
            // A name typed for a file that does not exist is taken as it stands.
            dialog->selectFile(QStringLiteral("聚会 new.avi"));
            static_cast<QDialog*>(dialog)->accept();
        });
        const QString chosen = COMDLG::ChooseOpenFile(nullptr, QStringLiteral("Open"), folder, programFilter(),
                                                      COMDLG::OFN_LONGNAMES | COMDLG::OFN_NOCHANGEDIR);
        QCOMPARE(chosen, folder + QStringLiteral("/聚会 new.avi"));
        QCOMPARE(startedIn, folder);
        QCOMPARE(offered.size(), 3);
        QVERIFY(offered.first().startsWith(QStringLiteral("AVI格式(*.AVI)")));
        QCOMPARE(listed, (QStringList{QStringLiteral("Clip.Avi"), QStringLiteral("MOVIE.AVI"), QStringLiteral("small.avi")}));
        QCOMPARE(QDir::currentPath(), m_startFolder);
    }

    void realDialogCancelAndLongPaths()
    {
        // Deep folders and a long name: the whole path comes back, however long.
        QString folder = m_scratch->path();
        for (int level = 0; level < 6; ++level)
            folder += QLatin1Char('/') + QString(60, QChar(u'长'));
        QVERIFY(QDir().mkpath(folder));
        const QString longName = folder + QLatin1Char('/') + QString(80, QLatin1Char('x')) + QStringLiteral(".avi");
        touch(longName);
        QVERIFY(QFile::encodeName(longName).size() > 1000);

        whenDialogShows(this, [&](QFileDialog* dialog) {
            dialog->selectFile(longName);
            static_cast<QDialog*>(dialog)->accept();
        });
        QCOMPARE(COMDLG::ChooseOpenFile(nullptr, QStringLiteral("Open"), folder, programFilter(), 0x00200008),
                 longName);

        whenDialogShows(this, [](QFileDialog* dialog) { dialog->reject(); });
        QCOMPARE(COMDLG::ChooseOpenFile(nullptr, QStringLiteral("Open"), folder, programFilter(), 0x00200008),
                 QString());
    }

private:
    std::unique_ptr<QTemporaryDir> m_scratch;
    const QString m_startFolder = QDir::currentPath();
};

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
