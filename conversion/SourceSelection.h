#pragma once
// The one source file a conversion works on: loading it through the file-open
// dialog, refusing a second one, and forgetting it again. No widgets: the window
// shows what a SourceView says.

#include <QString>

#include <functional>

namespace source {

// What the window shows of the source: the file line and the two banner pictures.
struct SourceView {
    QString path;               // the file line's caption; empty: no file loaded
    bool fileLineShown = true;  // lblFile
    bool loadedShown = false;   // imgLoaded
    bool waitShown = false;     // imgWait

    bool isLoaded() const { return !path.isEmpty(); }
};

enum class AddResult { Loaded, Cancelled, AlreadyLoaded };

// Add: a loaded file is kept (the caller warns); otherwise `chooseFile` asks the
// user, and an empty answer changes nothing.
AddResult add(SourceView& view, const std::function<QString()>& chooseFile);

// Remove: in every state, the file is forgotten and neither banner picture shows.
// Whether the file line itself shows is left as it was.
void remove(SourceView& view);

// How Add asks for the file.
QString openDialogTitle();
QString openDialogFilter();                       // ten "description|pattern" pairs, AVI first
constexpr quint32 kOpenDialogFlags = 0x00200008;  // long names, current folder kept

QString warningTitle();
QString alreadyLoadedWarning();

}  // namespace source
