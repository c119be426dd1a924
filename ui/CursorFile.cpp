#include "CursorFile.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QtEndian>

namespace skin {

namespace {

// A .cur file is an icon directory whose entries keep the hot spot where an icon
// keeps its planes and bit count: bytes 4..7 of the first 16-byte entry.
constexpr qsizetype kDirectoryHeader = 6;
constexpr qsizetype kEntrySize = 16;
constexpr quint16 kCursorType = 2;

}  // namespace

std::optional<QCursor> loadCursorFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < kDirectoryHeader + kEntrySize)
        return std::nullopt;
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    if (qFromLittleEndian<quint16>(data + 2) != kCursorType || qFromLittleEndian<quint16>(data + 4) == 0)
        return std::nullopt;
    const int hotX = qFromLittleEndian<quint16>(data + kDirectoryHeader + 4);
    const int hotY = qFromLittleEndian<quint16>(data + kDirectoryHeader + 6);

    const QImage image = QImage::fromData(bytes, "CUR");
    if (image.isNull())
        return std::nullopt;
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

}  // namespace skin
