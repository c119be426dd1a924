// The look rules of the tool bar, the menu strip and the panel's text buttons, driven
// without a window: hover moving from zone to zone, a held press ignoring every other
// zone, releases, and the resets from the window and panel surfaces.

#include "ui/looks/SkinLooks.h"

#include <QTest>

using looks::Link;
using looks::LinkColour;
using looks::Look;

namespace {

// "NNHNNN|NPNN": one letter per tool-bar zone, then per menu zone.
QString shown(const looks::SkinLooks& state)
{
    const auto letter = [](Look look) { return look == Look::Normal ? 'N' : look == Look::Hover ? 'H' : 'P'; };
    QString text;
    for (int i = 0; i < layout::kToolButtonCount; ++i)
        text += QLatin1Char(letter(state.button(i)));
    text += QLatin1Char('|');
    for (int j = 0; j < layout::kMenuItemCount; ++j)
        text += QLatin1Char(letter(state.menu(j)));
    return text;
}

}  // namespace

class LooksTest : public QObject {
    Q_OBJECT

private slots:
    void hoverMovesFromZoneToZone()
    {
        looks::SkinLooks state;
        QCOMPARE(shown(state), QStringLiteral("NNNNNN|NNNN"));
        state.buttonHovered(2);
        state.buttonHovered(3);
        QCOMPARE(shown(state), QStringLiteral("NNNHNN|NNNN"));
        state.menuHovered(1);  // each family keeps its own hover
        QCOMPARE(shown(state), QStringLiteral("NNNHNN|NHNN"));
        state.surfaceMoved();
        QCOMPARE(shown(state), QStringLiteral("NNNNNN|NNNN"));
    }

    void heldPressIgnoresOtherZonesUntilReleased()
    {
        looks::SkinLooks state;
        state.menuHovered(3);
        state.buttonHovered(1);
        state.buttonPressed(0);
        QVERIFY(state.MouseHeld);
        state.buttonHovered(1);
        state.menuHovered(2);
        QCOMPARE(shown(state), QStringLiteral("PNNNNN|NNNH"));

        // Released over button 1: button 0 gets its hover look all the same.
        state.buttonReleased(0, true);
        QCOMPARE(shown(state), QStringLiteral("HNNNNN|NNNH"));
    }

    void menuCommandLeavesEveryToolBarZoneEmpty()
    {
        looks::SkinLooks state;
        state.buttonHovered(4);
        state.buttonReleased(3, false);
        QCOMPARE(shown(state), QStringLiteral("NNNNNN|NNNN"));
    }

    void menuPressHoldsAndReleaseHovers()
    {
        looks::SkinLooks state;
        state.buttonHovered(5);
        state.menuPressed(2);
        QVERIFY(state.MouseHeld);
        state.menuHovered(0);
        state.buttonHovered(0);
        QCOMPARE(shown(state), QStringLiteral("NNNNNH|NNPN"));
        state.menuReleased(2);
        QCOMPARE(shown(state), QStringLiteral("NNNNNH|NNHN"));
    }

    void textButtonsTurnBlueOneByOneAndBlackTogether()
    {
        looks::SkinLooks state;
        state.linkMoved(Link::Ok);
        QCOMPARE(state.link(Link::Ok), LinkColour::Blue);
        QCOMPARE(state.link(Link::Default), LinkColour::System);  // untouched until a reset
        state.panelMoved();
        state.linkMoved(Link::Cancel);
        state.linkMoved(Link::Default);
        QCOMPARE(state.link(Link::Ok), LinkColour::Black);
        QCOMPARE(state.link(Link::Cancel), LinkColour::Blue);
        QCOMPARE(state.link(Link::Default), LinkColour::Blue);

        state.buttonHovered(2);
        state.panelMoved();  // the panel resets the labels, not the zones
        QCOMPARE(shown(state), QStringLiteral("NNHNNN|NNNN"));
        state.linkMoved(Link::Ok);
        state.surfaceMoved();
        for (Link link : {Link::Default, Link::Ok, Link::Cancel})
            QCOMPARE(state.link(link), LinkColour::Black);
    }
};

QTEST_APPLESS_MAIN(LooksTest)
#include "tst_looks.moc"
