#pragma once

#include "ffmpeg_handles.hpp"
#include "frame_geometry.hpp"

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

    OutputFrame frame_;
    int quarterTurns_;
    AVRational streamSampleAspect_;
    Placement placement_;
    ScalerHandle scaler_;
    FrameHandle turnBuffer_;  // scaled but not yet turned upright
    int sourceWidth_ = 0;
    int sourceHeight_ = 0;
    int sourceFormat_ = -1;
    AVRational sourceAspect_{0, 1};
};

// Copies `source` (8-bit planar YUV 4:2:0) into `target` at (x, y), turned
// clockwise by the given number of quarter turns.
void copyTurned(const AVFrame& source, AVFrame& target, int x, int y, int clockwiseQuarterTurns);

} // namespace conv
