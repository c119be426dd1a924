#pragma once

// H.263 picture headers read as the standard lays them out (picture layer:
// PSC, TR, PTYPE, PLUSPTYPE, CPM, PSBI, CPFMT, EPAR, CPCFC, ETR, UUI, SSS,
// PQUANT, ...), to check what the converter writes into them; and the
// quantiser FFmpeg's decoder uses for each picture.

#include <QByteArray>
#include <QList>
#include <QString>

namespace convtest {

struct H263Header {
    QString problem;    // empty, or why the header breaks the syntax
    int reference = 0;  // TR, with ETR's two bits above it where the header has them
    bool tenBitReference = false;
    int sourceFormat = 0;  // 1 sub-QCIF .. 5 16CIF, 6 custom
    int width = 0;
    int height = 0;
    int pixelAspectCode = 0;  // PAR of a custom format; 0: 12:11 of the standard formats
    int clockCode = 1;        // picture clock 1.8 MHz / ((1000 + clockCode) * clockDivisor)
    int clockDivisor = 60;
    bool pictureClockInHeader = false;
    bool predicted = false;
    int quantiser = 0;  // PQUANT
    double clockHz() const { return 1800000.0 / ((1000.0 + clockCode) * clockDivisor); }
};

// Every picture header of a bare H.263 stream, in order (pictures start
// byte-aligned). A header with UFEP 0 keeps the extended type of the one before.
QList<H263Header> readH263Headers(const QByteArray& stream);

// The video track of a 3GP file as a bare H.263 stream (ffmpeg's stream copy).
QByteArray h263StreamOf(const QString& path);

// The quantiser of each decoded picture of the file, as FFmpeg's H.263
// decoder reports it (`-debug qp`: the first macroblock's).
QList<int> decodedQuantisers(const QString& path);

}  // namespace convtest
