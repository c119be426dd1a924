#pragma once
// The four pick-only lists of the settings panel. Their entries are fixed, in this
// order (not sorted), and the selected entry of each list is the setting itself.
// Each list starts on the entry the converter also assumes when given none.

#include "ConversionDefaults.h"

#include <QString>
#include <QStringList>

namespace settings {

// The four settings of the next conversion: the selected entry of each list, as the
// list shows it. They are trimmed only when the command line is composed.
struct ConversionSettings {
    QString frameSize;
    QString frameRate;
    QString videoKbps;
    QString audioKbps;
};

struct ListDefinition {
    QStringList entries;
    QString defaultEntry;  // one of `entries`
    int defaultIndex() const { return static_cast<int>(entries.indexOf(defaultEntry)); }
};

inline const ListDefinition& frameSizes()
{
    static const ListDefinition list{{QStringLiteral("128x96"), QStringLiteral("160x120"), QStringLiteral("176x144"),
                                      QStringLiteral("320x240"), QStringLiteral("352x288")},
                                     QStringLiteral("%1x%2").arg(tovaro::kDefaultWidth).arg(tovaro::kDefaultHeight)};
    return list;
}

inline const ListDefinition& frameRates()
{
    static const ListDefinition list{
        {QStringLiteral("14.985"), QStringLiteral("23.975"), QStringLiteral("25.0"), QStringLiteral("29.97")},
        QString::fromLatin1(tovaro::kDefaultFrameRate)};
    return list;
}

inline const ListDefinition& videoRates()
{
    static const ListDefinition list{{QStringLiteral("40"), QStringLiteral("80"), QStringLiteral("120"),
                                      QStringLiteral("256"), QStringLiteral("512")},
                                     QString::number(tovaro::kDefaultVideoKbps)};
    return list;
}

inline const ListDefinition& audioRates()
{
    static const ListDefinition list{{QStringLiteral("32"), QStringLiteral("48"), QStringLiteral("64"),
                                      QStringLiteral("80"), QStringLiteral("96"), QStringLiteral("128")},
                                     QString::number(tovaro::kDefaultAudioKbps)};
    return list;
}

}  // namespace settings
