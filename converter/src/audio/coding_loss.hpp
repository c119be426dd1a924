// How much of the sound's level AMR-NB's coding loses. Within audio/ only.
#pragma once

#include "audio/programme_level.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

namespace conv {

// AMR-NB is made for speech: music and noise come out of it 1-10 dB quieter
// than they went in. Each coded frame is decoded again and the programme
// levels before and after compared; the loudness trim, on another thread,
// makes up for the difference.
class CodingLoss {
public:
    CodingLoss();

    // One frame of 160 samples and the packet it was coded into.
    void compare(const std::int16_t* samples, std::span<const std::uint8_t> packet);
    // dB lost so far (0 until known).
    const std::atomic<double>& decibels() const { return decibels_; }

private:
    struct StateDeleter {
        void operator()(void* state) const;
    };
    std::unique_ptr<void, StateDeleter> decoder_;
    ProgrammeLevel before_;
    ProgrammeLevel after_;
    std::atomic<double> decibels_{0};
};

}  // namespace conv
