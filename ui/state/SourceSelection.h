#pragma once
// The source files a conversion works on: loading them through the file-open
// dialog, refusing to load over what is loaded, and forgetting them again. Several
// files form a queue that is converted in order. No widgets: the window shows what
// a SourceView says.

#include <QString>
#include <QStringList>

#include <functional>

namespace source {

// What the window shows of the source: the file line and the two banner pictures.
struct SourceView {
    QString path;               // the current file; empty: no file loaded
    bool fileLineShown = true;  // lblFile
    bool loadedShown = false;   // imgLoaded
    bool waitShown = false;     // imgWait
    // Every loaded file in the order they are converted, each once; `path` is one of
    // them. Names only: nothing is read from the files before their turn.
    QStringList queue;

    bool isLoaded() const { return !path.isEmpty(); }
    // 0-based place of the current file in the queue.
    qsizetype position() const { return queue.indexOf(path); }
};

enum class AddResult { Loaded, Cancelled, AlreadyLoaded };

// Add: a loaded file is kept (the caller warns); otherwise `chooseFiles` asks the
// user, and an empty answer changes nothing.
AddResult add(SourceView& view, const std::function<QStringList()>& chooseFiles);
AddResult add(SourceView& view, const std::function<QString()>& chooseFile);

// Files that arrive at any time (dropped, named by another start of the program)
// join the end of the queue; one already queued is not queued again. The first file
// of an empty queue becomes the current one. Returns how many joined.
qsizetype enqueue(SourceView& view, const QStringList& files);

// Remove: in every state, every file is forgotten and neither banner picture shows.
// Whether the file line itself shows is left as it was.
void remove(SourceView& view);

// The file line: the path of a single file; for a queue, the current file's name and
// its place, as "聚会.avi（第 2 个，共 5 个）".
QString fileLineText(const SourceView& view);
// The file line's tool tip: the path, or the queue's names one a line, the current
// one marked. A long queue is cut short: a tool tip taller than the screen shows
// nothing useful.
QString fileLineToolTip(const SourceView& view);
constexpr qsizetype kToolTipNames = 30;

// How Add asks for the file.
QString openDialogTitle();
QString openDialogFilter();                       // ten "description|pattern" pairs, AVI first
constexpr quint32 kOpenDialogFlags = 0x00200008;  // long names, current folder kept

QString warningTitle();
QString alreadyLoadedWarning();

}  // namespace source
