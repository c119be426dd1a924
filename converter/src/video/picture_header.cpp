#include "video/picture_header.hpp"

namespace conv {
namespace {

class BitReader {
public:
    BitReader(const std::uint8_t* bytes, int size) : bytes_(bytes), bits_(8 * static_cast<std::int64_t>(size)) {}

    // The next `count` bits; once past the end, every read fails.
    std::optional<std::uint32_t> read(int count)
    {
        if (position_ + count > bits_)
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i, ++position_)
            value = (value << 1) | ((bytes_[position_ / 8] >> (7 - position_ % 8)) & 1);
        return value;
    }
    bool is(int count, std::uint32_t wanted)
    {
        const auto value = read(count);
        return value && *value == wanted;
    }
    int position() const { return static_cast<int>(position_); }

private:
    const std::uint8_t* bytes_;
    std::int64_t bits_;
    std::int64_t position_ = 0;
};

constexpr std::uint32_t kStartCode = 0x20;
constexpr std::uint32_t kExtendedType = 7;
constexpr std::uint32_t kCustomFormat = 6;
constexpr std::uint32_t kExtendedAspect = 15;
constexpr std::uint32_t kPredicted = 1;

// PTYPE bits 9 to 13 and what follows them, up to PEI: baseline H.263.
bool readBaselineType(BitReader& reader, PictureHeaderFields& fields)
{
    const auto predicted = reader.read(1);
    const auto annexes = reader.read(4);  // unrestricted vectors, arithmetic coding, advanced prediction, PB
    if (!predicted || !annexes)
        return false;
    fields.predicted = *predicted == kPredicted;
    fields.quantiserBit = reader.position();
    if (!reader.read(5))
        return false;
    const auto multipoint = reader.read(1);
    if (!multipoint || (*multipoint && !reader.read(2)))  // PSBI
        return false;
    if ((*annexes & 1) && !reader.read(3 + 2))  // TRB, DBQUANT
        return false;
    fields.plain = *annexes == 0 && *multipoint == 0;
    return true;
}

// PLUSPTYPE and the fields it brings, up to PEI: H.263 version 2.
bool readExtendedType(BitReader& reader, PictureHeaderFields& fields)
{
    // Only a header that carries the full extended type says which fields follow.
    if (!reader.is(3, 1))
        return false;
    const auto format = reader.read(3);
    const auto customClock = reader.read(1);
    const auto annexes = reader.read(10);  // D, E, F, I, J, K, N, R, S, T
    if (!format || *format == 0 || *format == kExtendedType || !customClock || !annexes || !reader.is(4, 0b1000))
        return false;
    const auto type = reader.read(3);
    const auto resampling = reader.read(2);  // reference picture resampling, reduced resolution
    if (!type || !resampling || (*resampling & 2) || !reader.read(1) || !reader.is(3, 0b001))
        return false;
    // P and I, and the improved PB-frame; no scalability layers.
    if (*type > 2)
        return false;
    fields.predicted = *type == kPredicted;
    const auto multipoint = reader.read(1);
    if (!multipoint || (*multipoint && !reader.read(2)))  // PSBI
        return false;
    if (*format == kCustomFormat) {
        const auto aspect = reader.read(4);
        if (!aspect || !reader.read(9) || !reader.is(1, 1) || !reader.read(9) ||
            (*aspect == kExtendedAspect && !reader.read(16)))
            return false;
    }
    if (*customClock) {
        fields.clockBit = reader.position();
        fields.highReferenceBit = fields.clockBit + 8;
        if (!reader.read(8 + 2))
            return false;
    }
    const bool unrestrictedVectors = (*annexes >> 9) & 1;
    if (unrestrictedVectors && !reader.is(1, 1) && !reader.read(1))  // UUI: "1" or "01"
        return false;
    const bool slices = (*annexes >> 4) & 1;
    if (slices && !reader.read(2))  // SSS
        return false;
    fields.quantiserBit = reader.position();
    if (!reader.read(5))
        return false;
    if (*type == 2 && !reader.read((*customClock ? 5 : 3) + 2))  // TRB, DBQUANT
        return false;
    fields.plain = *annexes == 0 && *resampling == 0 && *multipoint == 0;
    return true;
}

}  // namespace

std::optional<PictureHeaderFields> readPictureHeader(const std::uint8_t* picture, int size)
{
    BitReader reader(picture, size);
    PictureHeaderFields fields;
    // Start code, temporal reference; PTYPE's marker, H.263 id, split screen,
    // document camera, freeze release; the source format.
    if (!reader.is(22, kStartCode) || !reader.read(8) || !reader.is(2, 0b10) || !reader.read(3))
        return std::nullopt;
    const auto format = reader.read(3);
    if (!format || *format == 0 || *format == kCustomFormat)
        return std::nullopt;
    if (!(*format == kExtendedType ? readExtendedType(reader, fields) : readBaselineType(reader, fields)))
        return std::nullopt;
    // PEI, then PSUPP bytes while PEI says one follows.
    bool extraInformation = false;
    for (;;) {
        const auto more = reader.read(1);
        if (!more)
            return std::nullopt;
        if (!*more)
            break;
        extraInformation = true;
        if (!reader.read(8))
            return std::nullopt;
    }
    fields.plain = fields.plain && !extraInformation;
    fields.macroblocksBit = reader.position();
    return fields;
}

void putBits(std::uint8_t* bytes, int firstBit, int count, std::uint32_t value)
{
    for (int i = 0; i < count; ++i) {
        const int bit = firstBit + i;
        const auto mask = static_cast<std::uint8_t>(0x80 >> (bit % 8));
        if ((value >> (count - 1 - i)) & 1)
            bytes[bit / 8] |= mask;
        else
            bytes[bit / 8] &= static_cast<std::uint8_t>(~mask);
    }
}

}  // namespace conv
