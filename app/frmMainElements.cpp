// The window's design state: every element with its place, look and visibility.

#include "frmMain.h"

#include "ui/BusySquare.h"
#include "ui/FileLine.h"
#include "ui/HiddenTextBox.h"
#include "ui/Placement.h"
#include "ui/SettingsPanel.h"
#include "ui/SkinFonts.h"
#include "ui/SkinImage.h"

#include <QLabel>
#include <QTimer>

namespace {

SkinImage* image(const QString& name, int index, const layout::Rect& rect, QWidget* parent)
{
    auto* element = new SkinImage(index, parent);
    element->setObjectName(name);
    place(element, rect);
    return element;
}

QString indexed(const char* family, int index)
{
    return QString::fromLatin1(family) + QLatin1Char('_') + QString::number(index);
}

}  // namespace

void frmMain::createElements()
{
    // Banner elements first: the settings panel, created later, lies above them.
    imgLoaded = image(QStringLiteral("imgLoaded"), 0, layout::kLoadedPatch, this);
    imgLoaded->hide();
    imgWait = image(QStringLiteral("imgWait"), 0, layout::kWaitPatch, this);
    imgWait->hide();

    for (int i = 0; i < layout::kBusySquareCount; ++i) {
        auto* square = new BusySquare(i, this);
        square->setObjectName(indexed("SP", i));
        place(square, layout::busySquare(i));
        square->hide();
        SP[static_cast<std::size_t>(i)] = square;
    }

    lblFile = new FileLine(this);
    lblFile->setObjectName(QStringLiteral("lblFile"));
    lblFile->setFont(skin::textFont(true));
    QPalette white = lblFile->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    lblFile->setPalette(white);
    lblFile->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    place(lblFile, layout::kFileLabel);

    for (int j = 0; j < layout::kMenuItemCount; ++j)
        imgMenu[static_cast<std::size_t>(j)] = image(indexed("imgMenu", j), j, layout::menuItem(j), this);
    for (int i = 0; i < layout::kToolButtonCount; ++i)
        imgButton[static_cast<std::size_t>(i)] = image(indexed("imgButton", i), i, layout::toolButton(i), this);

    imgMin = image(QStringLiteral("imgMin"), 0, layout::kMinimise, this);
    imgMin->setToolTip(QStringLiteral("最小化"));
    imgMin->setCursor(m_pictures.hand);
    imgExit = image(QStringLiteral("imgExit"), 0, layout::kClose, this);
    imgExit->setToolTip(QStringLiteral("退出"));
    imgExit->setCursor(m_pictures.hand);

    picSetting = new SettingsPanel(m_pictures.hand, this);
    picSetting->hide();
    picSetting->raise();

    // The command channel of the popup menus: never shown, never typed into.
    menuMsg = new HiddenTextBox(QStringLiteral("b0"), this);
    menuMsg->setObjectName(QStringLiteral("menuMsg"));
    place(menuMsg, layout::kMenuMessageBox);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);
}
