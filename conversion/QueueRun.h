#pragma once
// Every loaded file converted in turn, with one set of settings. A file that fails
// does not stop the rest; files that join the queue meanwhile are converted too; a
// stop ends the file in progress and the rest of the queue. Like the run of one file
// it goes on by itself once started and says when it has ended.

#include "ConversionRun.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <optional>

namespace conversion {

struct FailedFile {
    QString path;
    Outcome outcome;  // its warning and detail
};

// A file that converted, but whose result leaves something out or differs from
// what was asked.
struct ChangedFile {
    QString path;
    QStringList changes;  // the converter's lines that say how
};

struct QueueOutcome {
    bool stopped = false;
    QStringList results;  // the new files in the output folder, in the queue's order
    QList<FailedFile> failed;
    QList<ChangedFile> changed;

    qsizetype filesRun() const { return results.size() + failed.size(); }
    QStringList failedPaths() const;
};

// Where the queue is: file `number` (from 1) of `total`, and that file's own
// percentage when the converter knows it.
struct QueueProgress {
    qsizetype number = 1;
    qsizetype total = 1;
    std::optional<int> percent;

    bool operator==(const QueueProgress&) const = default;
    // The window's title: "TITLE - 42%" for a single file, "TITLE - 2/5 - 42%" in a queue.
    QString title(const QString& title) const;
    // The whole queue's share done, 0 to 1; nothing for a single file of unknown length.
    std::optional<double> fraction() const;
};

class QueueRun : public QObject {
    Q_OBJECT
public:
    // Each file of `queue` is the source in turn (`setup.sourcePath` is not read).
    // The queue outlives the run; files may join it while the run goes on.
    QueueRun(RunSetup setup, const QStringList& queue, QObject* parent = nullptr);

    // As ConversionRun::claim, once for the whole queue.
    QString claim() { return m_run.claim(); }
    // Returns at once; the first file starts from the event loop, and finished()
    // says when the last has ended.
    void start();
    // Ends the file in progress as ConversionRun::stop does; no further file starts.
    // Answered by finished(), its outcome marked stopped.
    void stop();

signals:
    // `path` is the next file to convert.
    void fileStarted(const QString& path);
    void progressChanged(const conversion::QueueProgress& progress);
    void finished(const conversion::QueueOutcome& outcome);

private:
    void startNext();
    void fileEnded(const QString& path, const Outcome& one);

    ConversionRun m_run;
    const QStringList& m_queue;
    qsizetype m_number = 0;  // of the file in progress, from 1
    QString m_path;          // the file in progress
    bool m_stopped = false;
    QueueOutcome m_outcome;
};

// What the user is told when some files of a queue failed: how many converted, and
// each failed file's name with its reason; the detail holds every converter line.
QString queueFailureText(const QueueOutcome& outcome);
QString queueFailureDetail(const QueueOutcome& outcome);
constexpr qsizetype kFailuresListed = 12;

// What the user is told of the files that converted with something left out or
// changed: each file's name with what happened to it; the detail holds every
// converter line. Empty when no file's result changed.
QString queueChangeText(const QueueOutcome& outcome);
QString queueChangeDetail(const QueueOutcome& outcome);

}  // namespace conversion
