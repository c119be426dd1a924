// Each shown picture scaled, turned and placed in the output frame. Within video/ only.
#pragma once

#include "base/ffmpeg_handles.hpp"
#include "video/frame_geometry.hpp"

#include <cstdint>
#include <vector>

namespace conv {

// How a picture is made smaller before it is scaled from sourceWidth x
// sourceHeight to targetWidth x targetHeight: halved in both directions (2x2
// averages) while it stays at least twice the target each way; or, where that
// is not possible, only its lines halved (pairs averaged) while three times
// the target height or more. Only where the chroma planes halve exactly.
struct Reduction {
    int halvings = 0;
    bool halveLines = false;
};

// Turns decoded pictures of any format and size into YUV 4:2:0 pictures of the
// output size: scaled to keep their display shape, turned upright, bordered black.
class PictureFitter {
public:
    PictureFitter(OutputFrame frame, int clockwiseQuarterTurns, AVRational streamSampleAspect);

    // A new picture the caller owns; `decoded` is not changed. Of an
    // interlaced picture only the top field is used.
    FrameHandle fit(const AVFrame& decoded);

    const Placement& placement() const { return placement_; }

private:
    void prepareFor(const AVFrame& source);
    void scale(const AVFrame& source, AVFrame& target);
    const AVFrame& reduced(const AVFrame& source);

    OutputFrame frame_;
    int quarterTurns_;
    AVRational streamSampleAspect_;
    Placement placement_;
    ScalerHandle scaler_;
    FrameHandle scaledBuffer_;  // scaled but not yet turned upright and placed
    // A source many times the output size is first made smaller by averages
    // (see reductionBeforeScaling), one picture per step, so the scaler has
    // fewer taps to run.
    Reduction reduction_;
    std::vector<FrameHandle> reducedBuffers_;
    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    int sourceFormat_ = -1;
    AVRational sourceAspect_{0, 1};
};

Reduction reductionBeforeScaling(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight);

// Averages each 2x2 block of an 8-bit plane of width x height (both even)
// into a plane of half the size.
void halvePlane(const std::uint8_t* source, int sourceStride, int width, int height, std::uint8_t* target,
                int targetStride);

// Averages each pair of lines of an 8-bit plane of width x height (height
// even) into a plane of half the height.
void halvePlaneLines(const std::uint8_t* source, int sourceStride, int width, int height, std::uint8_t* target,
                     int targetStride);

// Copies `source` (8-bit planar YUV 4:2:0) into `target` at (x, y), turned
// clockwise by the given number of quarter turns.
void copyTurned(const AVFrame& source, AVFrame& target, int x, int y, int clockwiseQuarterTurns);

}  // namespace conv
