#include "ProgressLine.h"

#include "ConverterProtocol.h"

#include <QByteArray>

#include <algorithm>
#include <cmath>

namespace conversion {

namespace {

// The number after `key` up to the next blank or the end, or NaN.
double field(QByteArrayView line, QByteArrayView key)
{
    const qsizetype at = line.indexOf(key);
    if (at < 0)
        return std::nan("");
    QByteArrayView rest = line.sliced(at + key.size());
    if (const qsizetype blank = rest.indexOf(' '); blank >= 0)
        rest = rest.first(blank);
    bool ok = false;
    const double value = rest.toByteArray().toDouble(&ok);
    return ok ? value : std::nan("");
}

}  // namespace

std::optional<ProgressLine> ProgressLine::read(QByteArrayView line)
{
    using namespace tovaro;
    if (!line.startsWith(kProgressPrefix))
        return std::nullopt;
    const double done = field(line, kProgressTime);
    const double duration = field(line, kProgressDuration);
    if (!std::isfinite(done) || !std::isfinite(duration))
        return std::nullopt;
    return ProgressLine{done, duration};
}

std::optional<int> ProgressLine::percent() const
{
    if (!(duration > 0) || secondsDone < 0)
        return std::nullopt;
    return static_cast<int>(std::clamp(std::floor(100 * secondsDone / duration), 0.0, 100.0));
}

}  // namespace conversion
