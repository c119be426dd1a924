#include "output/track_tables.hpp"

#include <string>

namespace conv::boxes {
namespace {

Box required(Bytes payload, std::initializer_list<std::string_view> path, const char* what)
{
    if (auto box = onlyBoxAlong(payload, path))
        return *box;
    throw Malformed(std::string("no single ") + what);
}

void need(Bytes bytes, std::uint64_t size, const char* what)
{
    if (bytes.size() < size)
        throw Malformed(std::string("a short ") + what);
}

// A full box's entry count, checked against the entries it has room for.
std::uint32_t entries(Bytes table, std::size_t countAt, std::size_t entrySize, const char* what)
{
    need(table, countAt + 4, what);
    const std::uint32_t count = read32(table, countAt);
    if (count > (table.size() - countAt - 4) / entrySize)
        throw Malformed(std::string("a short ") + what);
    return count;
}

// The kind of the track's one sample description, held to the handler's.
bool isVideo(Bytes trak)
{
    const Box handler = required(trak, {"mdia", "hdlr"}, "handler");
    need(handler.payload, 12, "handler");
    const std::string_view kind(reinterpret_cast<const char*>(handler.payload.data() + 8), 4);
    const Box descriptions = required(trak, {"mdia", "minf", "stbl", "stsd"}, "sample description");
    need(descriptions.payload, 16, "sample description");
    if (read32(descriptions.payload, 4) != 1)
        throw Malformed("not one sample description");
    const auto entry = boxesFilling(descriptions.payload.subspan(8));
    if (!entry || entry->size() != 1)
        throw Malformed("a broken sample description");
    const std::string_view coding = entry->front().type;
    if (kind == "vide" && coding == "s263")
        return true;
    if (kind == "soun" && coding == "samr")
        return false;
    throw Malformed("a track that is neither H.263 video nor AMR sound");
}

std::vector<std::uint64_t> chunkOffsets(Bytes tables)
{
    std::vector<std::uint64_t> offsets;
    const auto children = boxesFilling(tables);
    const bool wide = children && onlyBox(*children, "co64");
    const Box table = required(tables, {wide ? "co64" : "stco"}, "chunk offset table");
    const std::size_t entrySize = wide ? 8 : 4;
    const std::uint32_t count = entries(table.payload, 4, entrySize, "chunk offset table");
    for (std::uint32_t i = 0; i < count; ++i)
        offsets.push_back(wide ? read64(table.payload, 8 + i * 8U) : read32(table.payload, 8 + i * 4U));
    return offsets;
}

// The sizes of the samples, one by one.
class SampleSizes {
public:
    explicit SampleSizes(Bytes tables) : table_(required(tables, {"stsz"}, "sample size table").payload)
    {
        need(table_, 12, "sample size table");
        common_ = read32(table_, 4);
        count_ = common_ ? read32(table_, 8) : entries(table_, 8, 4, "sample size table");
    }
    std::uint32_t count() const { return count_; }
    // The bytes of `count` samples from `first` on; within count().
    std::uint64_t bytes(std::uint32_t first, std::uint32_t count) const
    {
        if (common_)
            return std::uint64_t{common_} * count;
        std::uint64_t total = 0;
        for (std::uint32_t i = 0; i < count; ++i)
            total += read32(table_, 12 + (first + i) * 4U);
        return total;
    }

private:
    Bytes table_;
    std::uint32_t common_ = 0;
    std::uint32_t count_ = 0;
};

}  // namespace

double headerSeconds(Bytes header)
{
    need(header, 4, "time header");
    const bool wide = header[0] == 1;
    need(header, wide ? 32 : 20, "time header");
    const std::uint32_t timescale = read32(header, wide ? 20 : 12);
    const std::uint64_t duration = wide ? read64(header, 24) : read32(header, 16);
    if (timescale == 0)
        throw Malformed("a time header without a timescale");
    return static_cast<double>(duration) / timescale;
}

TrackSamples readTrack(Bytes trak, std::uint64_t fileSize)
{
    TrackSamples track;
    track.video = isVideo(trak);
    const Bytes tables = required(trak, {"mdia", "minf", "stbl"}, "sample table").payload;
    const std::vector<std::uint64_t> offsets = chunkOffsets(tables);
    const SampleSizes sizes(tables);
    const Bytes toChunk = required(tables, {"stsc"}, "sample-to-chunk table").payload;
    const std::uint32_t runs = entries(toChunk, 4, 12, "sample-to-chunk table");

    std::uint32_t sample = 0;
    for (std::uint32_t run = 0; run < runs; ++run) {
        const std::uint64_t first = read32(toChunk, 8 + run * 12U);
        const std::uint64_t end = run + 1 < runs ? read32(toChunk, 8 + (run + 1) * 12U) : offsets.size() + 1;
        const std::uint32_t perChunk = read32(toChunk, 12 + run * 12U);
        if (first != (run == 0 ? 1 : track.chunks.size() + 1) || end <= first || end > offsets.size() + 1)
            throw Malformed("a sample-to-chunk table out of order");
        for (std::uint64_t chunk = first; chunk < end; ++chunk) {
            if (perChunk == 0 || perChunk > sizes.count() - sample)
                throw Malformed("chunks holding more samples than there are, or none");
            const Chunk placed{offsets[chunk - 1], sizes.bytes(sample, perChunk)};
            if (placed.size > fileSize)
                throw Malformed("a chunk larger than the file");
            track.chunks.push_back(placed);
            sample += perChunk;
        }
    }
    if (track.chunks.empty() || track.chunks.size() != offsets.size() || sample != sizes.count())
        throw Malformed("sample tables that disagree, or no sample");
    return track;
}

}  // namespace conv::boxes
