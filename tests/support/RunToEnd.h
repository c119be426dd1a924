#pragma once
// Drives a conversion run as the window does, from start() to finished(), letting
// events flow meanwhile; what it ended with.

#include "conversion/ConversionRun.h"

#include <QTest>

namespace testsupport {

inline conversion::Outcome runToEnd(conversion::ConversionRun& run, int timeoutMs = 60000)
{
    std::optional<conversion::Outcome> ended;
    const auto connection = QObject::connect(&run, &conversion::ConversionRun::finished,
                                             [&ended](const conversion::Outcome& outcome) { ended = outcome; });
    run.start();
    if (!QTest::qWaitFor([&] { return ended.has_value(); }, timeoutMs))
        ended = conversion::Outcome{false, false, {}, QStringLiteral("the run did not end"), {}, {}};
    QObject::disconnect(connection);
    return *ended;
}

inline conversion::Outcome runToEnd(conversion::ConversionRun&& run) { return runToEnd(run); }

}  // namespace testsupport
