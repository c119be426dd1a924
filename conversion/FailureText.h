#pragma once
// What the user is told, in Chinese, when the converter ends without a result. The
// converter names the kind of failure by its exit status; its own English line is
// only ever the detail.

#include <QString>
#include <QStringList>

#include <optional>

namespace conversion {

// The warning for the converter's exit status `status`, naming the user's file.
// A status the converter does not use is told as a failure of unknown kind.
QString failureText(int status, const QString& userFile);

// Told when the file `path` names is not there (any more).
QString missingFileText(const QString& path);
// Told when files named on the command line do not exist: one warning for all.
QString missingFilesWarning(const QStringList& names);

// The converter's own line made readable for the user: the working names it saw
// are replaced by the files the user knows.
struct WorkingName {
    QString working;
    QString known;
};
QString withKnownNames(QString line, const QList<WorkingName>& names);

// The details behind a warning for one of the converter's own lines: a Chinese
// sentence that says what kind of trouble it reports, then the line itself for
// whoever reports a bug. The exit status, when known, names the kind; a status
// that names none leaves it to the line's words. An empty line gives nothing.
QString converterDetail(const QString& line, std::optional<int> status = std::nullopt);

// For a line of a conversion that worked and yet leaves something out of the result
// or makes it otherwise than asked (the sound left out, the video rate lowered,
// damage skipped): what the user is told of it. Nothing for any other line, such as
// the converter's notes about itself.
std::optional<QString> resultChange(const QString& line);

// True when the system's error number `error` means the disk (or the quota) is full.
bool isDiskFull(int error);

// The disk that holds `folder`, as the user finds it in a file manager: where it is
// mounted.
QString diskOf(const QString& folder);

// The warning when the working folder's disk filled up while a copy was made in it:
// names that disk and the folder, not the file that was being copied; or, given
// `unfinishedResultOf`, while the converter wrote that source's result there.
QString workingDiskFullText(const QString& workingFolder, const QString& unfinishedResultOf = QString());

// The warning when the converter could not be copied into `dataFolder` (the error
// number the copy failed with): a full disk is named as such.
QString converterNotCopiedText(const QString& dataFolder, int error);

// The warning when a finished result could not be saved in `resultsFolder`, with
// the system's error number `error` telling why; `keptAt` is where the result was
// kept instead (empty: nowhere).
QString resultNotSavedText(const QString& resultsFolder, int error, const QString& keptAt);

}  // namespace conversion
