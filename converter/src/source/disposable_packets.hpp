// Tells from a packet's headers that no picture refers to it. Within source/ only.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace conv {

// Whether no other picture refers to the one in this video packet, as far as
// can be told without decoding it: the demuxer marks it so, or, for H.264,
// each of its NAL units is a slice, delimiter or filler that no picture refers
// to (nal_ref_idc 0). A packet that carries anything else (SEI, parameter
// sets), or is malformed, is not: the decoder sees it.
bool isDisposable(const AVPacket& packet, const AVCodecParameters& video);

}  // namespace conv
