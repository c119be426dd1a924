#include "SkinPictures.h"

#include "CursorFile.h"
#include "SkinAssets.h"

namespace skin {

namespace {
QPixmap picture(const QString& file) { return QPixmap(resourcePath(file)); }
}  // namespace

Pictures loadPictures()
{
    Pictures pictures;
    pictures.background = picture(backgroundFile());
    for (int i = 0; i < layout::kToolButtonCount; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        pictures.buttonHover[slot] = picture(toolButtonHoverFile(i));
        pictures.buttonPush[slot] = picture(toolButtonPressedFile(i));
    }
    for (int j = 0; j < layout::kMenuItemCount; ++j) {
        const auto slot = static_cast<std::size_t>(j);
        pictures.menuHover[slot] = picture(menuHoverFile(j));
        pictures.menuPush[slot] = picture(menuPressedFile(j));
    }
    pictures.loadedPatch = picture(loadedPatchFile());
    pictures.waitPatch = picture(waitPatchFile());
    pictures.icon = windowIcon();
    pictures.hand = loadCursorFile(resourcePath(handCursorFile())).value_or(QCursor(Qt::PointingHandCursor));
    return pictures;
}

}  // namespace skin
