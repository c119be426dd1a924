// The release handler's edges and the loaded source, without a window. What each
// command does, and in what order, is tested through the window's own events.

#include "ui/state/ActionDispatch.h"
#include "ui/state/RunView.h"
#include "ui/state/SourceSelection.h"

#include <QTest>

namespace {

// Records what the release handler did to the window, and in which order.
struct Recorder {
    QStringList steps;
    bool mouseHeld = true;

    actions::ReleaseSteps releaseSteps()
    {
        return {[this](int index, bool hover) { steps << QStringLiteral("look %1 %2").arg(index).arg(hover); },
                [this] { steps << QStringLiteral("events held=%1").arg(mouseHeld); },
                [this] {
                    mouseHeld = false;
                    steps << QStringLiteral("released");
                }};
    }

    actions::ActionTable table()
    {
        actions::ActionTable table;
        for (int code = 0; code < actions::kActionCount; ++code)
            table[static_cast<std::size_t>(code)] = [this, code] { steps << QStringLiteral("action %1").arg(code); };
        return table;
    }
};

}  // namespace

class CommandsLogicTest : public QObject {
    Q_OBJECT

private slots:
    void codesOutsideTheTableRunNothingButStillReleaseTheLooks()
    {
        for (int code : {-1, 6, 7, 100}) {
            Recorder recorder;
            bool fromMenu = true;
            actions::imgButton_MouseUp(code, fromMenu, recorder.releaseSteps(), recorder.table());
            QVERIFY(!fromMenu);
            QVERIFY(!recorder.mouseHeld);
            QCOMPARE(recorder.steps.filter(QStringLiteral("action")), QStringList());
        }
        // A missing entry is no action either.
        Recorder recorder;
        bool fromMenu = false;
        actions::imgButton_MouseUp(actions::kHelp, fromMenu, recorder.releaseSteps(), actions::ActionTable{});
        QCOMPARE(recorder.steps.last(), QStringLiteral("released"));
    }

    void addLoadsOnlyIntoAnEmptySlot()
    {
        source::SourceView view;
        view.fileLineShown = false;  // as a conversion leaves it hidden mid-run
        view.waitShown = true;
        int asked = 0;

        // Cancelled: nothing changes.
        QCOMPARE(source::add(view,
                             [&] {
                                 ++asked;
                                 return QString();
                             }),
                 source::AddResult::Cancelled);
        QVERIFY(!view.isLoaded());
        QVERIFY(!view.fileLineShown && view.waitShown && !view.loadedShown);

        const QString path = QStringLiteral("/home/用户/my videos/-party \"1\".avi");
        QCOMPARE(source::add(view,
                             [&] {
                                 ++asked;
                                 return path;
                             }),
                 source::AddResult::Loaded);
        QCOMPARE(view.path, path);
        QVERIFY(view.fileLineShown && view.loadedShown && !view.waitShown);

        // A second file is refused without asking; the first stays.
        QCOMPARE(source::add(view,
                             [&] {
                                 ++asked;
                                 return QStringLiteral("/other.avi");
                             }),
                 source::AddResult::AlreadyLoaded);
        QCOMPARE(asked, 2);
        QCOMPARE(view.path, path);
    }

    // A long queue keeps names only, each once under any spelling, in order; the file
    // line and its tool tip stay one line and a screenful however long it grows.
    void queueKeepsEachFileOnceInOrder()
    {
        source::SourceView view;
        QStringList names;
        for (int i = 0; i < 500; ++i)
            names << QStringLiteral("/videos/第 %1 集.avi").arg(i);
        QCOMPARE(source::enqueue(view, names), qsizetype(500));
        QCOMPARE(view.path, names.first());
        QVERIFY(view.loadedShown && view.fileLineShown);
        QStringList again{QStringLiteral("/videos/./第 7 集.avi"), QStringLiteral("/videos//第 499 集.avi"),
                          QStringLiteral("/videos/new.avi")};
        QCOMPARE(source::enqueue(view, again + names), qsizetype(1));
        QCOMPARE(view.queue.size(), qsizetype(501));
        QCOMPARE(view.queue.last(), QStringLiteral("/videos/new.avi"));

        view.path = view.queue.at(1);
        QCOMPARE(source::fileLineText(view), QStringLiteral("第 1 集.avi（第 2 个，共 501 个）"));
        const QStringList tip = source::fileLineToolTip(view).split(QLatin1Char('\n'));
        QCOMPARE(tip.size(), source::kToolTipNames + 1);
        QVERIFY(tip.at(1).endsWith(view.path) && tip.at(1) != view.path);  // the current one marked
        QVERIFY(tip.last().contains(QStringLiteral("471")));

        // During a run the file line comes back as soon as a second file joins.
        source::SourceView running{QStringLiteral("/a.avi"), false, false, true, {QStringLiteral("/a.avi")}};
        QCOMPARE(source::enqueue(running, {QStringLiteral("/b.avi")}), qsizetype(1));
        QVERIFY(running.fileLineShown && !running.loadedShown && running.waitShown);
        QCOMPARE(running.path, QStringLiteral("/a.avi"));

        // After the run only the failed files stay, in their order.
        source::showQueueEnded(view, {names.at(3), names.at(1)});
        QCOMPARE(view.queue, (QStringList{names.at(3), names.at(1)}));
        QCOMPARE(view.path, names.at(3));
        QVERIFY(view.loadedShown);
        source::showQueueEnded(view, {});
        QVERIFY(!view.isLoaded() && view.queue.isEmpty() && !view.loadedShown);
    }

    void removeForgetsTheFileInEveryState()
    {
        source::SourceView loaded{QStringLiteral("/a.avi"), true, true, false, {QStringLiteral("/a.avi")}};
        source::remove(loaded);
        QVERIFY(!loaded.isLoaded() && !loaded.loadedShown && !loaded.waitShown && loaded.fileLineShown);

        source::SourceView empty;
        source::remove(empty);
        QVERIFY(!empty.isLoaded() && !empty.loadedShown && !empty.waitShown);

        // Remove leaves the file line's visibility alone.
        source::SourceView hidden{QStringLiteral("/a.avi"), false, false, true, {QStringLiteral("/a.avi")}};
        source::remove(hidden);
        QVERIFY(!hidden.fileLineShown && !hidden.waitShown);
    }
};

QTEST_GUILESS_MAIN(CommandsLogicTest)
#include "tst_commands_logic.moc"
