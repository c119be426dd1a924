// Draws every skin picture and writes it into the folder given as the first argument;
// the desktop's application icons, one drawing per size, go into the second.
// Run it after changing the artwork, then commit the pictures:
//   QT_QPA_PLATFORM=offscreen skin-generator assets/skin assets/icons
// With a density, it writes the set for screens scaled that much, as the build does:
//   QT_QPA_PLATFORM=offscreen skin-generator --density 2 OUTPUT_DIR

#include "Artwork.h"
#include "IconFile.h"
#include "layout/SkinFiles.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTextStream>

#include <cstdlib>
#include <functional>

namespace {

bool writeJpeg(const QDir& dir, const QString& name, const QImage& img)
{
    QImageWriter writer(dir.filePath(name), "jpg");
    writer.setQuality(95);  // the pictures must match the background they cover
    if (writer.write(img.convertToFormat(QImage::Format_RGB32)))
        return true;
    QTextStream(stderr) << name << ": " << writer.errorString() << '\n';
    return false;
}

bool writeBytes(const QDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size())
        return true;
    QTextStream(stderr) << name << ": " << file.errorString() << '\n';
    return false;
}

// The sizes a desktop's icon theme looks for. Each is drawn at its own size: the note
// and the outline stay sharp, where a scaled picture would blur them.
constexpr int kDesktopIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

bool writeDesktopIcons(const QDir& dir)
{
    bool ok = true;
    for (const int size : kDesktopIconSizes) {
        const QString name = QStringLiteral("%1x%1.png").arg(size);
        QImageWriter writer(dir.filePath(name), "png");
        if (!writer.write(art::appIcon(size))) {
            QTextStream(stderr) << name << ": " << writer.errorString() << '\n';
            ok = false;
        }
    }
    return ok;
}

bool writeBmp(const QDir& dir, const QString& name, const QImage& img)
{
    // Qt stores a 32-bit image as 24 bits per pixel; alpha is not wanted anyway.
    QImageWriter writer(dir.filePath(name), "bmp");
    if (writer.write(img.convertToFormat(QImage::Format_RGB32)))
        return true;
    QTextStream(stderr) << name << ": " << writer.errorString() << '\n';
    return false;
}

bool writePng(const QDir& dir, const QString& name, const QImage& img)
{
    QImageWriter writer(dir.filePath(name), "png");
    if (writer.write(img))
        return true;
    QTextStream(stderr) << name << ": " << writer.errorString() << '\n';
    return false;
}

// Writes one picture under its 1x file name.
using PictureWriter = std::function<bool(const QString& file, const QImage& img)>;

// Every picture of the window at `density`.
bool writePictures(const PictureWriter& write, qreal density)
{
    bool ok = write(skin::backgroundFile(), art::background(density));
    for (int i = 0; i < layout::kToolButtonCount; ++i) {
        ok = write(skin::toolButtonHoverFile(i), art::toolButtonHover(i, density)) && ok;
        ok = write(skin::toolButtonPressedFile(i), art::toolButtonPressed(i, density)) && ok;
    }
    for (int j = 0; j < layout::kMenuItemCount; ++j) {
        ok = write(skin::menuHoverFile(j), art::menuHover(j, density)) && ok;
        ok = write(skin::menuPressedFile(j), art::menuPressed(j, density)) && ok;
    }
    ok = write(skin::loadedPatchFile(),
               art::bannerPatch(layout::kLoadedPatch, QStringLiteral("文件已经加载，请点击转换按钮"), density)) &&
         ok;
    return write(skin::waitPatchFile(),
                 art::bannerPatch(layout::kWaitPatch, QStringLiteral("正在转换，请耐心等待 ..."), density)) &&
           ok;
}

// The committed set: a BMP background and JPEG pieces, icon and cursor files.
bool writeDesignSet(const QDir& dir)
{
    bool ok = writePictures(
        [&dir](const QString& file, const QImage& img) {
            return file.endsWith(QStringLiteral(".bmp")) ? writeBmp(dir, file, img) : writeJpeg(dir, file, img);
        },
        1.0);
    ok = writeBytes(dir, skin::iconFile(),
                    art::icoFile({{art::appIcon(48), 24}, {art::appIcon(32), 24}, {art::appIcon(16), 8}})) &&
         ok;
    return writeBytes(dir, skin::handCursorFile(), art::curFile(art::handCursor(), skin::kHandHotSpot)) && ok;
}

// The set at a density above 1, all PNG.
bool writeDenseSet(const QDir& dir, qreal density)
{
    bool ok = writePictures(
        [&dir](const QString& file, const QImage& img) { return writePng(dir, skin::denseFile(file), img); }, density);
    for (const int size : skin::kWindowIconSizes)
        ok = writePng(dir, skin::denseIconFile(size), art::appIcon(qRound(size * density))) && ok;
    return writePng(dir, skin::denseCursorFile(), art::handCursor(density)) && ok;
}

}  // namespace

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    const bool dense = args.size() == 4 && args.at(1) == QStringLiteral("--density");
    bool densityOk = true;
    const qreal density = dense ? args.at(2).toDouble(&densityOk) : 1.0;
    if ((args.size() != 3 && !dense) || !densityOk || (dense && density <= 1)) {
        QTextStream(stderr) << "usage: skin-generator SKIN_DIR ICON_DIR\n"
                               "       skin-generator --density DENSITY OUTPUT_DIR\n";
        return EXIT_FAILURE;
    }
    const QStringList folders = dense ? args.mid(3) : args.mid(1);
    for (const QString& folder : folders)
        if (!QDir(folder).mkpath(QStringLiteral("."))) {
            QTextStream(stderr) << "cannot create " << folder << '\n';
            return EXIT_FAILURE;
        }
    const bool ok = dense ? writeDenseSet(QDir(folders.at(0)), density)
                          : writeDesignSet(QDir(folders.at(0))) && writeDesktopIcons(QDir(folders.at(1)));
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
