#include "SkinFiles.h"

namespace skin {

namespace {
QString numbered(const char* stem, int index, const char* suffix)
{
    return QLatin1String(stem) + QString::number(index) + QLatin1String(suffix);
}
}  // namespace

QString backgroundFile() { return QStringLiteral("background.bmp"); }
QString toolButtonHoverFile(int i) { return numbered("button_hover_", i, ".jpg"); }
QString toolButtonPressedFile(int i) { return numbered("button_push_", i, ".jpg"); }
QString menuHoverFile(int j) { return numbered("menu_hover_", j, ".jpg"); }
QString menuPressedFile(int j) { return numbered("menu_push_", j, ".jpg"); }
QString loadedPatchFile() { return QStringLiteral("banner_loaded.jpg"); }
QString waitPatchFile() { return QStringLiteral("banner_wait.jpg"); }
QString iconFile() { return QStringLiteral("icon.ico"); }
QString handCursorFile() { return QStringLiteral("hand.cur"); }

QString denseFile(const QString& file) { return file.section(QLatin1Char('.'), 0, 0) + QStringLiteral(".png"); }
QString denseIconFile(int size) { return numbered("icon-", size, ".png"); }
QString denseCursorFile() { return denseFile(handCursorFile()); }

}  // namespace skin
