#include "video/skipped_picture.hpp"

#include "video/picture_header.hpp"

namespace conv {

std::optional<std::vector<std::uint8_t>> skippedPictureLike(const std::uint8_t* predicted, int size, int width,
                                                            int height)
{
    const auto header = readPictureHeader(predicted, size);
    if (!header || !header->predicted || !header->plain || width <= 0 || height <= 0)
        return std::nullopt;
    const int headerBits = header->macroblocksBit;
    const int macroblocks = ((width + 15) / 16) * ((height + 15) / 16);
    const int bits = headerBits + macroblocks;
    // The header as it was, then one COD bit set per macroblock; zeros pad
    // the last byte, as before a start code.
    std::vector<std::uint8_t> picture(static_cast<std::size_t>((bits + 7) / 8), 0);
    for (int bit = 0; bit < bits; ++bit) {
        const bool set = bit < headerBits ? ((predicted[bit / 8] >> (7 - bit % 8)) & 1) != 0 : true;
        if (set)
            picture[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
    }
    return picture;
}

}  // namespace conv
