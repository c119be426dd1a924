#include "SkinAssets.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPixmap>
#include <QtEndian>

namespace skin {

namespace {
qint64 le32(const QByteArray& b, qint64 at)
{
    return at + 4 <= b.size() ? qFromLittleEndian<qint32>(b.constData() + at) : -1;
}

qint64 le16(const QByteArray& b, qint64 at)
{
    return at + 2 <= b.size() ? qFromLittleEndian<quint16>(b.constData() + at) : -1;
}

qint64 rowBytes(qint64 width, qint64 bits) { return ((width * bits + 31) / 32) * 4; }

// Clears every pixel whose AND-mask bit is set in the bitmap at `offset`. Returns
// false if the bitmap does not fit the file.
bool applyAndMask(QImage& img, const QByteArray& ico, qint64 offset)
{
    const qint64 headerSize = le32(ico, offset);
    const qint64 width = le32(ico, offset + 4);
    const qint64 height = le32(ico, offset + 8) / 2;
    const qint64 bits = le16(ico, offset + 14);
    const qint64 coloursUsed = le32(ico, offset + 32);
    if (headerSize < 40 || width != img.width() || height != img.height() || bits <= 0)
        return false;
    const qint64 palette = bits <= 8 ? (coloursUsed > 0 ? coloursUsed : qint64{1} << bits) * 4 : 0;
    const qint64 mask = offset + headerSize + palette + height * rowBytes(width, bits);
    const qint64 stride = rowBytes(width, 1);
    if (mask + height * stride > ico.size())
        return false;
    for (int y = 0; y < img.height(); ++y) {
        const char* row = ico.constData() + mask + (height - 1 - y) * stride;
        for (int x = 0; x < img.width(); ++x)
            if ((static_cast<uchar>(row[x / 8]) & (0x80 >> (x % 8))) != 0)
                img.setPixel(x, y, 0);
    }
    return true;
}
}  // namespace

QString resourcePath(const QString& file) { return QStringLiteral(":/skin/") + file; }

QString densityFolder(qreal density) { return QString::number(density) + QStringLiteral("x/"); }

QList<QImage> windowIconImages()
{
    QFile file(resourcePath(iconFile()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray ico = file.readAll();
    QBuffer buffer;
    buffer.setData(ico);
    QImageReader reader(&buffer, "ico");
    QList<QImage> images;
    for (int k = 0; k < reader.imageCount(); ++k) {
        if (!reader.jumpToImage(k))
            break;
        QImage img = reader.read().convertToFormat(QImage::Format_ARGB32);
        if (img.isNull() || !applyAndMask(img, ico, le32(ico, 6 + 16 * k + 12)))
            continue;
        images.append(img);
    }
    return images;
}

QIcon windowIcon()
{
    QIcon icon;
    for (const QImage& img : windowIconImages())
        icon.addPixmap(QPixmap::fromImage(img));
    return icon;
}

}  // namespace skin
