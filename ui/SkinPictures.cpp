#include "SkinPictures.h"

#include "CursorFile.h"
#include "assets/SkinAssets.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace skin {

namespace {

// The committed 1x set, or a set the build drew for scaled screens.
struct PictureSet {
    qreal density = 1;

    QPixmap picture(const QString& file) const
    {
        if (density == 1)
            return load(resourcePath(file));
        QPixmap dense = load(resourcePath(densityFolder(density) + denseFile(file)));
        dense.setDevicePixelRatio(density);
        return dense;
    }

    // Read as the name's ending says: left to guess, the reader loads every image
    // format plugin to ask each, even for the bitmap it reads itself.
    static QPixmap load(const QString& path)
    {
        QImageReader reader(path, QFileInfo(path).suffix().toLatin1());
        reader.setAutoDetectImageFormat(false);
        return QPixmap::fromImage(reader.read());
    }

    QIcon icon() const
    {
        QIcon icon = windowIcon();
        if (density != 1)
            for (const int size : kWindowIconSizes)
                icon.addFile(resourcePath(densityFolder(density) + denseIconFile(size)));
        return icon;
    }

    QCursor hand() const
    {
        const QCursor fallback(Qt::PointingHandCursor);
        if (density == 1)
            return loadCursorFile(resourcePath(handCursorFile())).value_or(fallback);
        QPixmap dense(resourcePath(densityFolder(density) + denseCursorFile()));
        if (dense.isNull())
            return fallback;
        dense.setDevicePixelRatio(density);
        return QCursor(dense, kHandHotSpot.x(), kHandHotSpot.y());
    }
};

}  // namespace

qreal pictureDensity(qreal screenDensity)
{
    if (screenDensity <= 1)
        return 1;
    // The nearest set at or above the screen's density, scaled down by the painter,
    // stays sharper than one scaled up.
    for (const qreal dense : kDenseScales)
        if (dense >= screenDensity - 0.01)
            return dense;
    return std::end(kDenseScales)[-1];
}

Pictures loadPictures(qreal screenDensity)
{
    Pictures pictures = loadFirstFramePictures(screenDensity);
    loadLaterPictures(pictures);
    return pictures;
}

Pictures loadFirstFramePictures(qreal screenDensity)
{
    const PictureSet set{pictureDensity(screenDensity)};
    Pictures pictures;
    pictures.density = set.density;
    pictures.background = set.picture(backgroundFile());
    pictures.hand = set.hand();
    return pictures;
}

void loadLaterPictures(Pictures& pictures)
{
    const PictureSet set{pictures.density};
    pictures.icon = set.icon();
    pictures.loadedPatch = set.picture(loadedPatchFile());
    pictures.waitPatch = set.picture(waitPatchFile());
    for (int i = 0; i < layout::kToolButtonCount; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        pictures.buttonHover[slot] = set.picture(toolButtonHoverFile(i));
        pictures.buttonPush[slot] = set.picture(toolButtonPressedFile(i));
    }
    for (int j = 0; j < layout::kMenuItemCount; ++j) {
        const auto slot = static_cast<std::size_t>(j);
        pictures.menuHover[slot] = set.picture(menuHoverFile(j));
        pictures.menuPush[slot] = set.picture(menuPressedFile(j));
    }
}

}  // namespace skin
