// One track of a finished 3GP file: its kind and where its samples lie. Within output/ only.
#pragma once

#include "output/box_reader.hpp"

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace conv::boxes {

// A file that is not what the converter writes; what() says where.
class Malformed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct Chunk {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

struct TrackSamples {
    bool video = false;  // H.263 pictures; otherwise AMR-NB sound
    std::vector<Chunk> chunks;
};

// Reads a trak box's payload: an H.263 video or an AMR sound track, its chunks
// from the sample tables (sizes, chunk offsets, samples per chunk), each
// table whole and consistent with the others. Chunk ends stay at most
// `fileSize`. Throws Malformed.
TrackSamples readTrack(Bytes trak, std::uint64_t fileSize);

// The timescale and duration of a mvhd or mdhd payload, in seconds. Throws Malformed.
double headerSeconds(Bytes header);

}  // namespace conv::boxes
