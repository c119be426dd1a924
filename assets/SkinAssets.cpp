#include "SkinAssets.h"

namespace skin {

namespace {
QString numbered(const char *stem, int index, const char *suffix)
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

QString resourcePath(const QString &file) { return QStringLiteral(":/skin/") + file; }

}  // namespace skin
