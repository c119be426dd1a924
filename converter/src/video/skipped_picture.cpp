#include "video/skipped_picture.hpp"

namespace conv {
namespace {

class BitReader {
public:
    BitReader(const std::uint8_t* bytes, int size) : bytes_(bytes), bits_(8 * static_cast<std::int64_t>(size)) {}

    std::optional<std::uint32_t> read(int count)
    {
        if (position_ + count > bits_)
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i, ++position_)
            value = (value << 1) | ((bytes_[position_ / 8] >> (7 - position_ % 8)) & 1);
        return value;
    }
    std::int64_t position() const { return position_; }

private:
    const std::uint8_t* bytes_;
    std::int64_t bits_;
    std::int64_t position_ = 0;
};

// The header's length in bits, from the start code to PEI included, when it is
// a predicted picture's without optional modes.
std::optional<int> predictedHeaderBits(const std::uint8_t* picture, int size)
{
    BitReader reader(picture, size);
    const auto is = [&](int count, std::uint32_t wanted) {
        const auto value = reader.read(count);
        return value && *value == wanted;
    };
    // Start code, temporal reference, marker, H.263 id, split screen, document
    // camera, freeze release.
    if (!is(22, 0x20) || !reader.read(8) || !is(5, 0b10000))
        return std::nullopt;
    const auto format = reader.read(3);
    if (!format || *format == 0 || *format == 6)
        return std::nullopt;
    if (*format != 7) {
        // Predicted; no unrestricted vectors, arithmetic coding, advanced
        // prediction or PB-frames; the quantiser; no continuous presence.
        if (!is(1, 1) || !is(4, 0) || !reader.read(5) || !is(1, 0))
            return std::nullopt;
    } else {
        // PLUSPTYPE: the full extended type comes with every picture this
        // encoder writes.
        if (!is(3, 1))
            return std::nullopt;
        const auto extendedFormat = reader.read(3);
        const auto customClock = reader.read(1);
        // Annexes D to T off (annex S aside: no optional mode), then the
        // anti-emulation one and three reserved bits.
        if (!extendedFormat || *extendedFormat == 0 || *extendedFormat == 7 || !customClock || !is(10, 0) ||
            !is(4, 0b1000))
            return std::nullopt;
        // Predicted, no resampling or reduced resolution, any rounding type,
        // reserved, anti-emulation; no continuous presence.
        if (!is(3, 1) || !is(2, 0) || !reader.read(1) || !is(2, 0) || !is(1, 1) || !is(1, 0))
            return std::nullopt;
        if (*extendedFormat == 6) {
            const auto aspect = reader.read(4);
            if (!aspect || !reader.read(9) || !is(1, 1) || !reader.read(9))
                return std::nullopt;
            if (*aspect == 15 && !reader.read(16))
                return std::nullopt;
        }
        if (*customClock && (!reader.read(8) || !reader.read(2)))
            return std::nullopt;
        if (!reader.read(5))
            return std::nullopt;
    }
    if (!is(1, 0))  // no extra information
        return std::nullopt;
    return static_cast<int>(reader.position());
}

}  // namespace

std::optional<std::vector<std::uint8_t>> skippedPictureLike(const std::uint8_t* predicted, int size, int width,
                                                            int height)
{
    const auto headerBits = predictedHeaderBits(predicted, size);
    if (!headerBits || width <= 0 || height <= 0)
        return std::nullopt;
    const int macroblocks = ((width + 15) / 16) * ((height + 15) / 16);
    const int bits = *headerBits + macroblocks;
    // The header as it was, then one COD bit set per macroblock; zeros pad
    // the last byte, as before a start code.
    std::vector<std::uint8_t> picture(static_cast<std::size_t>((bits + 7) / 8), 0);
    for (int bit = 0; bit < bits; ++bit) {
        const bool set = bit < *headerBits ? ((predicted[bit / 8] >> (7 - bit % 8)) & 1) != 0 : true;
        if (set)
            picture[static_cast<std::size_t>(bit / 8)] |= static_cast<std::uint8_t>(0x80 >> (bit % 8));
    }
    return picture;
}

}  // namespace conv
