#pragma once
// The name a result gets in the output folder: month, day, hour, minute and second of
// the moment the converter ended, without leading zeros or separators. When that name
// is taken the next free one of NAME-2, NAME-3, ... is used, so no result replaces
// an earlier one.

#include <QDateTime>
#include <QString>

namespace result {

QString stamp(const QDateTime& moment);

// Candidate `attempt` (1, 2, ...) for a stamp: "NAME.3gp", "NAME-2.3gp", ...
QString fileName(const QString& stamp, int attempt);

}  // namespace result
