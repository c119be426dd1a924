#pragma once

#include "ffmpeg_handles.hpp"
#include "frame_geometry.hpp"

#include <cstdint>
#include <vector>

namespace conv {

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
    void scaleInto(const AVFrame& source, AVFrame& target, int x, int y);
    const AVFrame& halved(const AVFrame& source);

    OutputFrame frame_;
    int quarterTurns_;
    AVRational streamSampleAspect_;
    Placement placement_;
    ScalerHandle scaler_;
    FrameHandle turnBuffer_;  // scaled but not yet turned upright
    // A source many times the output size is first halved (2x2 averages) this
    // many times, into these pictures, so the scaler has fewer taps to run.
    int halvings_ = 0;
    std::vector<FrameHandle> halfBuffers_;
    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    int sourceFormat_ = -1;
    AVRational sourceAspect_{0, 1};
};

// How often a picture is halved before it is scaled from sourceWidth x
// sourceHeight to targetWidth x targetHeight: while it stays at least twice the
// target in both directions after halving and its chroma planes can be halved
// exactly.
int halvingsBeforeScaling(int sourceWidth, int sourceHeight, int targetWidth, int targetHeight);

// Averages each 2x2 block of an 8-bit plane of width x height (both even)
// into a plane of half the size.
void halvePlane(const std::uint8_t* source, int sourceStride, int width, int height, std::uint8_t* target,
                int targetStride);

// Copies `source` (8-bit planar YUV 4:2:0) into `target` at (x, y), turned
// clockwise by the given number of quarter turns.
void copyTurned(const AVFrame& source, AVFrame& target, int x, int y, int clockwiseQuarterTurns);

} // namespace conv
