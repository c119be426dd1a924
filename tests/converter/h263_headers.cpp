#include "h263_headers.h"

#include "conv_test_support.h"

#include <QRegularExpression>

namespace convtest {
namespace {

// Reads bits from the first byte's top bit on; past the end it reads zeros
// and says so through `overrun`.
struct Bits {
    const QByteArray& bytes;
    qsizetype position = 0;  // in bits
    bool overrun = false;

    int take(int count)
    {
        int value = 0;
        for (int i = 0; i < count; ++i, ++position) {
            const qsizetype byte = position / 8;
            if (byte >= bytes.size()) {
                overrun = true;
                value <<= 1;
                continue;
            }
            value = (value << 1) | ((static_cast<unsigned char>(bytes[byte]) >> (7 - position % 8)) & 1);
        }
        return value;
    }
};

const int kStandardWidths[6] = {0, 128, 176, 352, 704, 1408};
const int kStandardHeights[6] = {0, 96, 144, 288, 576, 1152};

// What OPPTYPE said last, for headers that do not repeat it (UFEP 0).
struct ExtendedType {
    bool known = false;
    int sourceFormat = 0;
    bool customClock = false;
    bool unrestrictedVectors = false;  // Annex D: UUI follows
    bool sliceStructure = false;       // Annex K: SSS follows
    int width = 0;
    int height = 0;
    int pixelAspectCode = 0;
    int clockCode = 1;
    int clockDivisor = 60;
};

// PTYPE bits 9-13, PQUANT, CPM, PSBI, TRB and DBQUANT: H.263 without PLUSPTYPE.
void readPlainType(Bits& bits, int format, H263Header& header)
{
    header.sourceFormat = format;
    header.width = kStandardWidths[format];
    header.height = kStandardHeights[format];
    header.predicted = bits.take(1) == 1;
    bits.take(3);  // unrestricted vectors, arithmetic coding, advanced prediction
    const bool pbFrame = bits.take(1) == 1;
    header.quantiser = bits.take(5);
    if (bits.take(1))  // CPM, then PSBI
        bits.take(2);
    if (pbFrame)
        bits.take(3 + 2);
}

void readOptionalPart(Bits& bits, ExtendedType& type, H263Header& header)
{
    type.known = true;
    type.sourceFormat = bits.take(3);
    type.customClock = bits.take(1) == 1;
    type.unrestrictedVectors = bits.take(1) == 1;
    bits.take(4);  // arithmetic coding, advanced prediction, advanced intra, deblocking
    type.sliceStructure = bits.take(1) == 1;
    bits.take(4);  // reference selection, independent segments, alternative inter VLC, modified quantisation
    if (bits.take(1) != 1 || bits.take(3) != 0)
        header.problem = QStringLiteral("OPPTYPE bits 15-18 are not 1000");
    if (type.sourceFormat == 0 || type.sourceFormat == 7)
        header.problem = QStringLiteral("OPPTYPE source format %1").arg(type.sourceFormat);
}

// UFEP, OPPTYPE, MPPTYPE, CPM, PSBI, CPFMT, EPAR, CPCFC, ETR, UUI, SSS and PQUANT.
void readExtendedType(Bits& bits, ExtendedType& type, H263Header& header)
{
    const int updateFull = bits.take(3);
    if (updateFull == 1)
        readOptionalPart(bits, type, header);
    else if (updateFull != 0 || !type.known)
        header.problem = QStringLiteral("UFEP %1 with no extended type before").arg(updateFull);
    const int pictureType = bits.take(3);
    header.predicted = pictureType == 1;
    if (pictureType != 0 && pictureType != 1)
        header.problem = QStringLiteral("picture type %1, which nothing here writes").arg(pictureType);
    if (bits.take(2) != 0)  // reference picture resampling, reduced resolution update
        header.problem = QStringLiteral("RPR or RRU on");
    bits.take(1);  // rounding type
    if (bits.take(2) != 0 || bits.take(1) != 1)
        header.problem = QStringLiteral("MPPTYPE bits 7-9 are not 001");
    if (bits.take(1))  // CPM, then PSBI
        bits.take(2);
    if (updateFull == 1 && type.sourceFormat == 6) {
        type.pixelAspectCode = bits.take(4);
        type.width = (bits.take(9) + 1) * 4;
        if (bits.take(1) != 1)
            header.problem = QStringLiteral("CPFMT's bit 14 is not 1");
        type.height = bits.take(9) * 4;
        if (type.pixelAspectCode == 15)  // EPAR
            bits.take(16);
    } else if (updateFull == 1) {
        type.width = kStandardWidths[std::min(type.sourceFormat, 5)];
        type.height = kStandardHeights[std::min(type.sourceFormat, 5)];
        type.pixelAspectCode = 0;
    }
    if (updateFull == 1 && type.customClock) {
        type.clockCode = bits.take(1);
        type.clockDivisor = bits.take(7);
    } else if (updateFull == 1) {
        type.clockCode = 1;
        type.clockDivisor = 60;
    }
    if (type.customClock)
        header.reference |= bits.take(2) << 8;
    if (type.unrestrictedVectors && bits.take(1) == 0)  // UUI: 1 or 01
        bits.take(1);
    if (type.sliceStructure)
        bits.take(2);
    header.tenBitReference = type.customClock;
    header.pictureClockInHeader = type.customClock;
    header.sourceFormat = type.sourceFormat;
    header.width = type.width;
    header.height = type.height;
    header.pixelAspectCode = type.pixelAspectCode;
    header.clockCode = type.clockCode;
    header.clockDivisor = type.clockDivisor;
    header.quantiser = bits.take(5);
}

H263Header readHeader(Bits& bits, ExtendedType& type)
{
    H263Header header;
    bits.take(22);  // PSC, found by the caller
    header.reference = bits.take(8);
    if (bits.take(1) != 1 || bits.take(1) != 0)
        header.problem = QStringLiteral("PTYPE does not start with 10");
    bits.take(3);  // split screen, document camera, freeze release
    const int format = bits.take(3);
    if (format == 7)
        readExtendedType(bits, type, header);
    else if (format >= 1 && format <= 5)
        readPlainType(bits, format, header);
    else
        header.problem = QStringLiteral("source format %1").arg(format);
    while (bits.take(1) && !bits.overrun)  // PEI, PSUPP
        bits.take(8);
    if (bits.overrun)
        header.problem = QStringLiteral("the picture ends inside its header");
    if (header.quantiser == 0 && header.problem.isEmpty())
        header.problem = QStringLiteral("PQUANT 0");
    return header;
}

}  // namespace

QList<H263Header> readH263Headers(const QByteArray& stream)
{
    QList<H263Header> headers;
    ExtendedType type;
    for (qsizetype at = 0; at + 3 <= stream.size(); ++at) {
        // PSC: 0000 0000 0000 0000 1000 00, byte-aligned.
        if (stream[at] != 0 || stream[at + 1] != 0 || (static_cast<unsigned char>(stream[at + 2]) & 0xfc) != 0x80)
            continue;
        Bits bits{stream, 8 * at};
        headers << readHeader(bits, type);
        at += 2;
    }
    return headers;
}

QByteArray h263StreamOf(const QString& path)
{
    return run(QStringLiteral("ffmpeg"),
               {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                QStringLiteral("-map"), QStringLiteral("0:v"), QStringLiteral("-c"), QStringLiteral("copy"),
                QStringLiteral("-f"), QStringLiteral("h263"), QStringLiteral("-")})
        .standardOutput;
}

QList<int> decodedQuantisers(const QString& path)
{
    // One thread, so the pictures are logged in order; each picture's table
    // is logged as "New frame, type: X", then a row of two-digit values per
    // macroblock row.
    const RunResult result =
        run(QStringLiteral("ffmpeg"),
            {QStringLiteral("-nostdin"), QStringLiteral("-nostats"), QStringLiteral("-loglevel"),
             QStringLiteral("debug"), QStringLiteral("-threads"), QStringLiteral("1"), QStringLiteral("-debug"),
             QStringLiteral("qp"), QStringLiteral("-i"), path, QStringLiteral("-an"), QStringLiteral("-f"),
             QStringLiteral("null"), QStringLiteral("-")});
    static const QRegularExpression row(QStringLiteral("^\\[h263 @ [^]]*\\] ([ 0-9]{2})[ 0-9]*$"));
    QList<int> quantisers;
    bool expectRow = false;
    for (const QByteArray& line : result.standardError.split('\n')) {
        if (line.contains("New frame, type:")) {
            expectRow = true;
            continue;
        }
        const auto match = row.match(QString::fromLatin1(line));
        if (expectRow && match.hasMatch())
            quantisers << match.captured(1).trimmed().toInt();
        expectRow = false;
    }
    return quantisers;
}

}  // namespace convtest
