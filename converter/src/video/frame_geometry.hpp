// Where the picture sits in the output frame: letterbox, pixel shape, rotation. Within video/ only.
#pragma once

extern "C" {
#include <libavutil/rational.h>
}

struct AVStream;

namespace conv {

// What the source picture looks like before it is fitted into the output frame.
struct SourcePicture {
    int width = 0;
    int height = 0;
    AVRational sampleAspect{1, 1};  // 0/1 or 0/0 means unknown: square
    int clockwiseQuarterTurns = 0;  // 0..3, from the stream's rotation tag
};

struct OutputFrame {
    int width = 0;
    int height = 0;
    AVRational pixelAspect{1, 1};
};

// Where the picture goes inside the output frame; all values are even so the
// chroma planes line up.
struct Placement {
    int x = 0;
    int y = 0;
    int width = 0;  // size of the picture inside the frame, after rotation
    int height = 0;
    int clockwiseQuarterTurns = 0;
    // Size to scale the source to before rotating it (width/height swapped for
    // quarter and three-quarter turns).
    int scaledWidth() const { return clockwiseQuarterTurns % 2 ? height : width; }
    int scaledHeight() const { return clockwiseQuarterTurns % 2 ? width : height; }
};

// Largest picture of the source's display shape that fits the frame, centred.
Placement placePicture(const SourcePicture& source, const OutputFrame& frame);

// Quarter turns for a display-matrix angle as av_display_rotation_get gives it
// (counter-clockwise degrees), rounded to the nearest quarter.
int quarterTurnsFromRotation(double counterClockwiseDegrees);

// How far the stream's rotation tag turns its pictures to show them upright.
int clockwiseQuarterTurns(const AVStream& stream);

}  // namespace conv
