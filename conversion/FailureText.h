#pragma once
// What the user is told, in Chinese, when the converter ends without a result. The
// converter names the kind of failure by its exit status; its own English line is
// only ever the detail.

#include <QString>

namespace conversion {

// The warning for the converter's exit status `status`, naming the user's file.
// A status the converter does not use is told as a failure of unknown kind.
QString failureText(int status, const QString& userFile);

// The converter's own line made readable for the user: the working names it saw
// are replaced by the files the user knows.
struct WorkingName {
    QString working;
    QString known;
};
QString withKnownNames(QString line, const QList<WorkingName>& names);

}  // namespace conversion
