// AMR-NB encoding through libopencore-amrnb, 160 samples a frame, and the mode for a requested rate.
#pragma once

#include "base/ffmpeg_handles.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace conv {

// One AMR-NB mode: its index for the encoder and its bit rate.
struct AmrMode {
    int index = 7;
    double kbps = 12.2;
};

// The highest AMR-NB mode whose rate is not above the request (the lowest mode
// for requests below 4.75 kbit/s).
AmrMode amrModeFor(double requestedKbps);

// AMR-NB encoding of 8000 Hz mono 16-bit samples: collects samples into 20 ms
// frames (160 samples) and encodes each into one packet, TOC byte first, as
// the 3GP 'samr' track stores them. Packet times count samples.
class AmrEncoder {
public:
    static constexpr int kSampleRate = 8000;
    static constexpr int kFrameSamples = 160;

    struct Packet {
        std::vector<std::uint8_t> bytes;
        std::int64_t firstSample = 0;
    };
    using PacketSink = std::function<void(const Packet&)>;

    explicit AmrEncoder(AmrMode mode);

    void push(std::span<const std::int16_t> samples, const PacketSink& sink);
    // Encodes what is left, padded with silence to a whole frame.
    void finish(const PacketSink& sink);

private:
    void encodeFrame(const std::int16_t* samples, const PacketSink& sink);

    struct StateDeleter {
        void operator()(void* state) const;
    };
    std::unique_ptr<void, StateDeleter> state_;
    AmrMode mode_;
    AudioFifoHandle pending_;
    std::int64_t encodedSamples_ = 0;
};

}  // namespace conv
