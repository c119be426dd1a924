#include "audio/coding_loss.hpp"

#include "base/errors.hpp"

#include <array>
#include <cmath>

extern "C" {
#include <opencore-amrnb/interf_dec.h>
}

namespace conv {
namespace {

constexpr int kFrameSamples = 160;

void takeLevel(ProgrammeLevel& level, const std::int16_t* samples)
{
    std::array<float, kFrameSamples> scaled{};
    for (int i = 0; i < kFrameSamples; ++i)
        scaled[static_cast<std::size_t>(i)] = static_cast<float>(samples[i]) / 32768;
    level.take(scaled);
}

}  // namespace

void CodingLoss::StateDeleter::operator()(void* state) const { Decoder_Interface_exit(state); }

CodingLoss::CodingLoss() : decoder_(Decoder_Interface_init())
{
    if (!decoder_)
        throw ConversionError("cannot start the AMR-NB decoder");
}

void CodingLoss::compare(const std::int16_t* samples, std::span<const std::uint8_t> packet)
{
    std::array<std::int16_t, kFrameSamples> decoded{};
    Decoder_Interface_Decode(decoder_.get(), packet.data(), decoded.data(), 0);
    takeLevel(before_, samples);
    takeLevel(after_, decoded.data());
    const double lost = before_.decibels() - after_.decibels();
    decibels_.store(std::isfinite(lost) ? lost : 0);
}

}  // namespace conv
