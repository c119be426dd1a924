#pragma once
// The four pick-only lists of the settings panel. Their entries are fixed, in this
// order (not sorted), and the selected entry of each list is the setting itself.

#include <QStringList>

namespace settings {

struct ListDefinition {
    QStringList entries;
    int defaultIndex;
};

inline const ListDefinition& frameSizes()
{
    static const ListDefinition list{
        {QStringLiteral("128x96"), QStringLiteral("160x120"), QStringLiteral("176x144"),
         QStringLiteral("320x240"), QStringLiteral("352x288")},
        2};
    return list;
}

inline const ListDefinition& frameRates()
{
    static const ListDefinition list{
        {QStringLiteral("14.985"), QStringLiteral("23.975"), QStringLiteral("25.0"), QStringLiteral("29.97")}, 0};
    return list;
}

inline const ListDefinition& videoRates()
{
    static const ListDefinition list{
        {QStringLiteral("40"), QStringLiteral("80"), QStringLiteral("120"), QStringLiteral("256"),
         QStringLiteral("512")},
        2};
    return list;
}

inline const ListDefinition& audioRates()
{
    static const ListDefinition list{
        {QStringLiteral("32"), QStringLiteral("48"), QStringLiteral("64"), QStringLiteral("80"),
         QStringLiteral("96"), QStringLiteral("128")},
        1};
    return list;
}

}  // namespace settings
