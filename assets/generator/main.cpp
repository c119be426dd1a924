// Draws every skin picture and writes it into the folder given as the first argument;
// the desktop's application icons, one drawing per size, go into the second.
// Run it after changing the artwork, then commit the pictures:
//   QT_QPA_PLATFORM=offscreen skin-generator assets/skin assets/icons

#include "Artwork.h"
#include "IconFile.h"
#include "SkinAssets.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QTextStream>

#include <cstdlib>

namespace {

bool writeJpeg(const QDir &dir, const QString &name, const QImage &img)
{
    QImageWriter writer(dir.filePath(name), "jpg");
    writer.setQuality(95);  // the pictures must match the background they cover
    if (writer.write(img.convertToFormat(QImage::Format_RGB32)))
        return true;
    QTextStream(stderr) << name << ": " << writer.errorString() << '\n';
    return false;
}

bool writeBytes(const QDir &dir, const QString &name, const QByteArray &bytes)
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

bool writeDesktopIcons(const QDir &dir)
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

bool writeBmp(const QDir &dir, const QString &name, const QImage &img)
{
    // Qt stores a 32-bit image as 24 bits per pixel; alpha is not wanted anyway.
    QImageWriter writer(dir.filePath(name), "bmp");
    if (writer.write(img.convertToFormat(QImage::Format_RGB32)))
        return true;
    QTextStream(stderr) << name << ": " << writer.errorString() << '\n';
    return false;
}

}  // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 3) {
        QTextStream(stderr) << "usage: skin-generator SKIN_DIR ICON_DIR\n";
        return EXIT_FAILURE;
    }
    QDir dir(args.at(1));
    QDir iconDir(args.at(2));
    if (!dir.mkpath(QStringLiteral(".")) || !iconDir.mkpath(QStringLiteral("."))) {
        QTextStream(stderr) << "cannot create " << args.at(1) << " or " << args.at(2) << '\n';
        return EXIT_FAILURE;
    }

    bool ok = writeBmp(dir, skin::backgroundFile(), art::background());
    for (int i = 0; i < layout::kToolButtonCount; ++i) {
        ok = writeJpeg(dir, skin::toolButtonHoverFile(i), art::toolButtonHover(i)) && ok;
        ok = writeJpeg(dir, skin::toolButtonPressedFile(i), art::toolButtonPressed(i)) && ok;
    }
    for (int j = 0; j < layout::kMenuItemCount; ++j) {
        ok = writeJpeg(dir, skin::menuHoverFile(j), art::menuHover(j)) && ok;
        ok = writeJpeg(dir, skin::menuPressedFile(j), art::menuPressed(j)) && ok;
    }
    ok = writeJpeg(dir, skin::loadedPatchFile(),
                   art::bannerPatch(layout::kLoadedPatch, QStringLiteral("文件已经加载，请点击转换按钮"))) && ok;
    ok = writeJpeg(dir, skin::waitPatchFile(),
                   art::bannerPatch(layout::kWaitPatch, QStringLiteral("正在转换，请耐心等待 ..."))) && ok;
    ok = writeBytes(dir, skin::iconFile(),
                    art::icoFile({{art::appIcon(48), 24}, {art::appIcon(32), 24}, {art::appIcon(16), 8}})) && ok;
    ok = writeBytes(dir, skin::handCursorFile(), art::curFile(art::handCursor(), QPoint(6, 0))) && ok;
    ok = writeDesktopIcons(iconDir) && ok;
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
