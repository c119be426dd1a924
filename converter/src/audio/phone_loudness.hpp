// The sound's level for a phone: FFmpeg's normaliser and limiter at 8000 Hz mono. Within audio/ only.
#pragma once

#include "audio/filter_chain.hpp"
#include "audio/programme_level.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace conv {

// Brings the 8000 Hz mono sound to about -16 LUFS, loud enough for a phone's
// small speaker, and turns it into 16-bit samples whose peaks stay below
// -1 dBFS once AMR-NB has coded them. The gain follows the programme slowly
// (it looks two seconds ahead and back, so nothing pumps) and lifts by at
// most 24 dB; a programme that has stayed below -50 dB so far (silence,
// noise) keeps its level. With `normalise` false only peaks above that
// ceiling are limited and the source's level stays. Exactly as many samples
// come out as went in; they come about four seconds later.
class PhoneLoudness {
public:
    explicit PhoneLoudness(bool normalise);

    std::vector<std::int16_t> take(std::span<const float> samples);
    // The rest, once the sound has ended.
    std::vector<std::int16_t> drain();

private:
    void start();
    void feed(std::span<const float> samples);
    void level(std::span<const float> weighted);
    void collect(std::vector<std::int16_t>& samples);

    bool normalise_;
    // Loudness meters weight the sound (low rumble counts less, presence
    // more); the normaliser is shown the sound so weighted, the weighting
    // undone after it.
    FilterChain weighting_;
    FilterChain leveling_;
    ProgrammeLevel programme_;
    bool lifting_ = false;
    // The normaliser judges each moment by the seconds around it; at the two
    // ends of the sound it is shown the sound mirrored, whose output is
    // dropped, so the first and last seconds get a gain of their own.
    std::vector<float> head_;
    std::vector<float> tail_;
    std::vector<float> pending_;
    bool started_ = false;
    std::int64_t leadToDrop_ = 0;
    std::int64_t samplesIn_ = 0;
    std::int64_t samplesOut_ = 0;
};

}  // namespace conv
