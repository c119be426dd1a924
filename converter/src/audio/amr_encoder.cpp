#include "audio/amr_encoder.hpp"

#include "base/errors.hpp"

#include <array>

extern "C" {
#include <opencore-amrnb/interf_enc.h>
}

namespace conv {

AmrMode amrModeFor(double requestedKbps)
{
    static constexpr std::array<double, 8> rates{4.75, 5.15, 5.9, 6.7, 7.4, 7.95, 10.2, 12.2};
    AmrMode chosen{0, rates[0]};
    for (std::size_t i = 0; i < rates.size(); ++i)
        if (rates[i] <= requestedKbps + 1e-9)
            chosen = AmrMode{static_cast<int>(i), rates[i]};
    return chosen;
}

void AmrEncoder::StateDeleter::operator()(void* state) const { Encoder_Interface_exit(state); }

AmrEncoder::AmrEncoder(AmrMode mode)
    : state_(Encoder_Interface_init(0)),
      mode_(mode),
      pending_(av_audio_fifo_alloc(AV_SAMPLE_FMT_S16, 1, kFrameSamples * 8))
{
    if (!state_ || !pending_)
        throw ConversionError("cannot start the AMR-NB encoder");
}

void AmrEncoder::encodeFrame(const std::int16_t* samples, const PacketSink& sink)
{
    // A 12.2 kbit/s frame, the largest, takes 32 bytes with its TOC byte.
    Packet packet;
    packet.bytes.resize(64);
    const int size =
        Encoder_Interface_Encode(state_.get(), static_cast<Mode>(mode_.index), samples, packet.bytes.data(), 0);
    if (size <= 0)
        throw ConversionError("the AMR-NB encoder failed");
    packet.bytes.resize(static_cast<std::size_t>(size));
    packet.firstSample = encodedSamples_;
    encodedSamples_ += kFrameSamples;
    sink(packet);
}

void AmrEncoder::push(std::span<const std::int16_t> samples, const PacketSink& sink)
{
    void* planes[1] = {const_cast<std::int16_t*>(samples.data())};
    if (av_audio_fifo_write(pending_.get(), planes, static_cast<int>(samples.size())) <
        static_cast<int>(samples.size()))
        throw ConversionError("out of memory while buffering audio");

    std::array<std::int16_t, kFrameSamples> frame{};
    while (av_audio_fifo_size(pending_.get()) >= kFrameSamples) {
        void* out[1] = {frame.data()};
        av_audio_fifo_read(pending_.get(), out, kFrameSamples);
        encodeFrame(frame.data(), sink);
    }
}

void AmrEncoder::finish(const PacketSink& sink)
{
    const int left = av_audio_fifo_size(pending_.get());
    if (left <= 0)
        return;
    std::array<std::int16_t, kFrameSamples> frame{};
    void* out[1] = {frame.data()};
    av_audio_fifo_read(pending_.get(), out, left);
    encodeFrame(frame.data(), sink);
}

}  // namespace conv
