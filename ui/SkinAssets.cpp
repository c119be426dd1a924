#include "SkinAssets.h"

#include "CursorFile.h"

namespace skin {

namespace {
QPixmap picture(const QString& name) { return QPixmap(QStringLiteral(":/skin/") + name); }
}  // namespace

Assets loadAssets()
{
    Assets assets;
    assets.background = picture(QStringLiteral("background.bmp"));
    for (int i = 0; i < layout::kToolButtonCount; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        assets.buttonHover[slot] = picture(QStringLiteral("button_hover_%1.jpg").arg(i));
        assets.buttonPush[slot] = picture(QStringLiteral("button_push_%1.jpg").arg(i));
    }
    for (int j = 0; j < layout::kMenuItemCount; ++j) {
        const auto slot = static_cast<std::size_t>(j);
        assets.menuHover[slot] = picture(QStringLiteral("menu_hover_%1.jpg").arg(j));
        assets.menuPush[slot] = picture(QStringLiteral("menu_push_%1.jpg").arg(j));
    }
    assets.loadedPatch = picture(QStringLiteral("banner_loaded.jpg"));
    assets.waitPatch = picture(QStringLiteral("banner_wait.jpg"));
    assets.icon = QIcon(QStringLiteral(":/skin/icon.ico"));
    assets.hand = loadCursorFile(QStringLiteral(":/skin/hand.cur")).value_or(QCursor(Qt::PointingHandCursor));
    return assets;
}

}  // namespace skin
