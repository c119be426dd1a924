#include "IconFile.h"

#include <QColor>
#include <QHash>
#include <QList>

#include <cstdint>
#include <stdexcept>

namespace art {

namespace {

void put16(QByteArray& out, int value)
{
    const auto v = static_cast<std::uint16_t>(value);
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void put32(QByteArray& out, qint64 value)
{
    const auto v = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.append(static_cast<char>((v >> shift) & 0xFF));
}

void put8(QByteArray& out, int value) { out.append(static_cast<char>(value & 0xFF)); }

int rowBytes(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

bool opaque(const QImage& img, int x, int y) { return qAlpha(img.pixel(x, y)) >= 128; }

// Rows of bits, bottom-up, each row padded to four bytes.
QByteArray bitRows(const QImage& img, bool (*bit)(const QImage&, int, int))
{
    QByteArray out;
    const int stride = rowBytes(img.width(), 1);
    for (int y = img.height() - 1; y >= 0; --y) {
        QByteArray row(stride, '\0');
        for (int x = 0; x < img.width(); ++x)
            if (bit(img, x, y))
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        out.append(row);
    }
    return out;
}

bool transparentBit(const QImage& img, int x, int y) { return !opaque(img, x, y); }

bool whiteBit(const QImage& img, int x, int y) { return opaque(img, x, y) && qGray(img.pixel(x, y)) >= 128; }

// The colour of an opaque pixel as stored: alpha dropped, transparent ones black.
QRgb solid(const QImage& img, int x, int y)
{
    return opaque(img, x, y) ? (img.pixel(x, y) | 0xFF000000u) : qRgb(0, 0, 0);
}

void putInfoHeader(QByteArray& out, const QImage& img, int bits, qint64 imageBytes)
{
    put32(out, 40);
    put32(out, img.width());
    put32(out, img.height() * 2);  // colour bitmap and mask stacked
    put16(out, 1);
    put16(out, bits);
    put32(out, 0);  // uncompressed
    put32(out, imageBytes);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0);  // all palette entries used
    put32(out, 0);
}

void putPalette(QByteArray& out, const QList<QRgb>& colours, int entries)
{
    for (int k = 0; k < entries; ++k) {
        const QRgb c = k < colours.size() ? colours[k] : 0;
        put8(out, qBlue(c));
        put8(out, qGreen(c));
        put8(out, qRed(c));
        put8(out, 0);
    }
}

QByteArray dib(const QImage& source, int bits)
{
    const QImage img = source.convertToFormat(QImage::Format_ARGB32);
    const int w = img.width();
    const int h = img.height();
    const QByteArray mask = bitRows(img, transparentBit);
    QByteArray pixels;

    if (bits == 24) {
        for (int y = h - 1; y >= 0; --y) {
            QByteArray row(rowBytes(w, 24), '\0');
            for (int x = 0; x < w; ++x) {
                const QRgb c = solid(img, x, y);
                row[3 * x] = static_cast<char>(qBlue(c));
                row[3 * x + 1] = static_cast<char>(qGreen(c));
                row[3 * x + 2] = static_cast<char>(qRed(c));
            }
            pixels.append(row);
        }
    } else if (bits == 8) {
        QList<QRgb> palette;
        QHash<QRgb, int> index;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const QRgb c = solid(img, x, y);
                if (!index.contains(c)) {
                    index.insert(c, static_cast<int>(palette.size()));
                    palette.append(c);
                }
            }
        if (palette.size() > 256)
            throw std::runtime_error("8-bit icon image has more than 256 colours");
        QByteArray table;
        putPalette(table, palette, 256);
        for (int y = h - 1; y >= 0; --y) {
            QByteArray row(rowBytes(w, 8), '\0');
            for (int x = 0; x < w; ++x)
                row[x] = static_cast<char>(index.value(solid(img, x, y)));
            pixels.append(row);
        }
        pixels.prepend(table);
    } else if (bits == 1) {
        QByteArray table;
        putPalette(table, {qRgb(0, 0, 0), qRgb(255, 255, 255)}, 2);
        pixels = table + bitRows(img, whiteBit);
    } else {
        throw std::invalid_argument("unsupported icon depth");
    }

    QByteArray out;
    const qint64 paletteBytes = bits == 8 ? 256 * 4 : bits == 1 ? 2 * 4 : 0;
    putInfoHeader(out, img, bits, pixels.size() - paletteBytes + mask.size());
    out.append(pixels);
    out.append(mask);
    return out;
}

constexpr int kDirectoryBytes = 6;
constexpr int kEntryBytes = 16;

// The byte that holds a width or height in a directory entry: 256 is stored as 0.
int sizeByte(int size) { return size >= 256 ? 0 : size; }

}  // namespace

QByteArray icoFile(const std::vector<IconImage>& images)
{
    QByteArray directory;
    QByteArray data;
    const auto count = static_cast<int>(images.size());
    put16(directory, 0);
    put16(directory, 1);  // icon
    put16(directory, count);
    qint64 offset = kDirectoryBytes + kEntryBytes * count;
    for (const IconImage& entry : images) {
        const QByteArray bitmap = dib(entry.image, entry.bitsPerPixel);
        put8(directory, sizeByte(entry.image.width()));
        put8(directory, sizeByte(entry.image.height()));
        put8(directory, 0);  // palette size byte: 0 for 256 colours or more
        put8(directory, 0);
        put16(directory, 1);
        put16(directory, entry.bitsPerPixel);
        put32(directory, bitmap.size());
        put32(directory, offset);
        offset += bitmap.size();
        data.append(bitmap);
    }
    return directory + data;
}

QByteArray curFile(const QImage& image, QPoint hotSpot)
{
    const QByteArray bitmap = dib(image, 1);
    QByteArray out;
    put16(out, 0);
    put16(out, 2);  // cursor
    put16(out, 1);
    put8(out, sizeByte(image.width()));
    put8(out, sizeByte(image.height()));
    put8(out, 2);  // two colours
    put8(out, 0);
    put16(out, hotSpot.x());
    put16(out, hotSpot.y());
    put32(out, bitmap.size());
    put32(out, kDirectoryBytes + kEntryBytes);
    out.append(bitmap);
    return out;
}

}  // namespace art
