#include "ResultName.h"

namespace result {

QString stamp(const QDateTime& moment)
{
    const QDate date = moment.date();
    const QTime time = moment.time();
    QString name;
    for (int part : {date.month(), date.day(), time.hour(), time.minute(), time.second()})
        name += QString::number(part);
    return name;
}

QString fileName(const QString& stamp, int attempt)
{
    if (attempt <= 1)
        return stamp + QStringLiteral(".3gp");
    return stamp + QLatin1Char('-') + QString::number(attempt) + QStringLiteral(".3gp");
}

}  // namespace result
