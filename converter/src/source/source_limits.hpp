// What a real source can claim; beyond it a stream is damaged (believing it costs memory or time without bound).
#pragma once

#include <cstdint>

extern "C" {
#include <libavformat/avformat.h>
}

namespace conv {

// 768 kHz is the highest rate any recording format uses.
inline constexpr int kMostSampleRate = 768000;
// Third-order ambisonics and film mixes stay far below.
inline constexpr int kMostChannels = 64;
// 8K cinema, the largest picture of any video standard.
inline constexpr int kMostPictureSide = 8192;
inline constexpr std::int64_t kMostPixels = std::int64_t{8192} * 4320;
// Ten microseconds a picture: beyond the fastest camera a player reads.
inline constexpr double kMostFrameRate = 100000;
// No single block of memory may be larger than the converter's whole budget;
// a header claiming a table of millions of entries then fails to load instead.
inline constexpr std::size_t kLargestAllocation = std::size_t{80} << 20;

// Throws ConversionError(SourceDamaged) when the stream claims what no real
// source has.
void checkStreamParameters(const AVStream& stream);

// Throws ConversionError(SourceDamaged) for decoded sound no real source has.
void checkSoundParameters(int sampleRate, int channels);

// Makes FFmpeg refuse single allocations above kLargestAllocation. Once per
// process; later calls do nothing.
void limitAllocations();

}  // namespace conv
