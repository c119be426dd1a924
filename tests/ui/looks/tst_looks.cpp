// The look rules of the tool bar, the menu strip and the panel's text buttons,
// driven without a window.

#include "ui/looks/SkinLooks.h"

#include <QTest>

using looks::Link;
using looks::LinkColour;
using looks::Look;

namespace {

// "NNHNNN|NPNN": one letter per tool-bar zone, then per menu zone.
QString shown(const looks::SkinLooks& state)
{
    const auto letter = [](Look look) {
        return QLatin1Char(look == Look::Normal ? 'N' : look == Look::Hover ? 'H' : 'P');
    };
    QString text;
    for (int i = 0; i < layout::kToolButtonCount; ++i)
        text += letter(state.button(i));
    text += QLatin1Char('|');
    for (int j = 0; j < layout::kMenuItemCount; ++j)
        text += letter(state.menu(j));
    return text;
}

}  // namespace

class LooksTest : public QObject {
    Q_OBJECT

private slots:
    void zonesFollowPointerPressAndRelease()
    {
        looks::SkinLooks state;
        state.buttonHovered(2);
        state.buttonHovered(3);
        state.menuHovered(1);  // each family keeps its own hover
        QCOMPARE(shown(state), QStringLiteral("NNNHNN|NHNN"));

        // A held press ignores every other zone; released anywhere, it hovers.
        state.buttonPressed(0);
        state.buttonHovered(1);
        state.menuHovered(2);
        QCOMPARE(shown(state), QStringLiteral("PNNNNN|NHNN"));
        state.buttonReleased(0, true);
        QCOMPARE(shown(state), QStringLiteral("HNNNNN|NHNN"));

        state.menuPressed(3);  // held while its popup is open
        state.menuHovered(0);
        QCOMPARE(shown(state), QStringLiteral("HNNNNN|NNNP"));
        state.buttonReleased(2, false);  // a menu command: no hover anywhere on the tool bar
        state.menuReleased(3);
        QCOMPARE(shown(state), QStringLiteral("NNNNNN|NNNH"));

        state.surfaceMoved();
        QCOMPARE(shown(state), QStringLiteral("NNNNNN|NNNN"));
    }

    void textButtonsTurnBlueOneByOneAndBlackTogether()
    {
        looks::SkinLooks state;
        state.linkMoved(Link::Ok);
        QCOMPARE(state.link(Link::Ok), LinkColour::Blue);
        QCOMPARE(state.link(Link::Default), LinkColour::System);  // untouched until a reset
        state.buttonHovered(2);
        state.panelMoved();  // the panel resets the labels, not the zones
        QCOMPARE(shown(state), QStringLiteral("NNHNNN|NNNN"));
        state.linkMoved(Link::Cancel);
        QCOMPARE(state.link(Link::Ok), LinkColour::Black);
        QCOMPARE(state.link(Link::Cancel), LinkColour::Blue);
        state.surfaceMoved();
        for (Link link : {Link::Default, Link::Ok, Link::Cancel})
            QCOMPARE(state.link(link), LinkColour::Black);
    }
};

QTEST_APPLESS_MAIN(LooksTest)
#include "tst_looks.moc"
