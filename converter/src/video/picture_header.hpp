// Where the fields of a coded H.263 picture header lie, read from the header itself. Within video/ only.
#pragma once

#include <cstdint>
#include <optional>

namespace conv {

// Bit positions counted from the first bit of the picture start code. Which
// fields a header has, and so where the later ones start, depends on the
// picture size (custom format), the pixel shape and the picture clock, so
// they are read, not assumed.
struct PictureHeaderFields {
    bool predicted = false;
    // No optional mode of any annex, no multipoint, no extra information:
    // another picture may copy the header as it is.
    bool plain = false;
    int referenceBit = 22;      // TR, 8 bits
    int clockBit = -1;          // CPCFC (clock code 1 bit, divisor 7 bits), or -1
    int highReferenceBit = -1;  // ETR, the reference's two high bits, or -1
    int quantiserBit = -1;      // PQUANT, 5 bits
    int macroblocksBit = -1;    // the first bit after the header (PEI included)
};

// The fields of the picture header at the start of `picture`; nothing if it
// does not start with one, or holds a mode whose fields this does not know
// (reference picture resampling, scalability layers, a header that relies on
// an earlier one's extended type).
std::optional<PictureHeaderFields> readPictureHeader(const std::uint8_t* picture, int size);

// Writes the `count` low bits of `value` at bit `firstBit` of `bytes`.
void putBits(std::uint8_t* bytes, int firstBit, int count, std::uint32_t value);

}  // namespace conv
