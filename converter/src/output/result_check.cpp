#include "output/result_check.hpp"

#include "output/box_reader.hpp"
#include "output/track_tables.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace conv {
namespace {

using boxes::Malformed;

// An index far larger than hours of video at any rate the converter takes.
constexpr std::uint64_t kLargestIndex = std::uint64_t{64} << 20;
constexpr std::uint64_t kLargestFileTypeBox = 4096;
constexpr double kDurationSlack = 1.0;

// A top-level box: where it starts, its header and whole size.
struct TopBox {
    char type[4] = {};
    std::uint64_t offset = 0;
    std::uint64_t header = 0;
    std::uint64_t size = 0;
    bool is(std::string_view name) const { return std::string_view(type, 4) == name; }
};

std::vector<TopBox> topLevelBoxes(const ReadAt& read, std::uint64_t fileSize)
{
    std::vector<TopBox> found;
    for (std::uint64_t at = 0; at < fileSize;) {
        std::uint8_t head[16] = {};
        const std::uint64_t left = fileSize - at;
        if (left < 8 || !read(at, head, 8))
            throw Malformed("a box header cut off");
        TopBox box;
        std::copy(head + 4, head + 8, box.type);
        box.offset = at;
        box.header = 8;
        box.size = boxes::read32(head, 0);
        if (box.size == 1) {
            if (left < 16 || !read(at + 8, head + 8, 8))
                throw Malformed("a box header cut off");
            box.size = boxes::read64(head, 8);
            box.header = 16;
        }
        if (box.size < box.header || box.size > left)
            throw Malformed("top-level box sizes that do not add up to the file's");
        if (!box.is("ftyp") && !box.is("moov") && !box.is("mdat") && !box.is("free"))
            throw Malformed("a top-level box of an unexpected type");
        found.push_back(box);
        at += box.size;
    }
    return found;
}

const TopBox& onlyTop(const std::vector<TopBox>& found, std::string_view type)
{
    const auto isType = [type](const TopBox& box) { return box.is(type); };
    if (std::count_if(found.begin(), found.end(), isType) != 1)
        throw Malformed("not one " + std::string(type));
    return *std::find_if(found.begin(), found.end(), isType);
}

std::vector<std::uint8_t> payloadOf(const ReadAt& read, const TopBox& box, std::uint64_t largest)
{
    if (box.size - box.header > largest)
        throw Malformed("a " + std::string(box.type, 4) + " box too large");
    std::vector<std::uint8_t> bytes(box.size - box.header);
    if (!read(box.offset + box.header, bytes.data(), bytes.size()))
        throw Malformed("a box that cannot be read");
    return bytes;
}

bool has3gpBrand(const std::vector<std::uint8_t>& fileType)
{
    if (fileType.size() < 8 || fileType.size() % 4)
        return false;
    for (std::size_t at = 0; at < fileType.size(); at += at == 0 ? 8 : 4)
        if (fileType[at] == '3' && fileType[at + 1] == 'g' && fileType[at + 2] == 'p')
            return true;
    return false;
}

// The tracks' chunks fill the mdat's payload exactly: no sample outside it,
// none on another, no byte of it that no sample holds.
void checkChunks(std::vector<boxes::Chunk> chunks, const TopBox& mdat)
{
    std::sort(chunks.begin(), chunks.end(), [](const auto& a, const auto& b) { return a.offset < b.offset; });
    std::uint64_t reached = mdat.offset + mdat.header;
    for (const boxes::Chunk& chunk : chunks) {
        if (chunk.offset != reached || chunk.size > mdat.offset + mdat.size - reached)
            throw Malformed("samples outside the mdat, overlapping, or with gaps between");
        reached += chunk.size;
    }
    if (reached != mdat.offset + mdat.size)
        throw Malformed("samples outside the mdat, overlapping, or with gaps between");
}

void checkResult(const ReadAt& read, std::uint64_t fileSize, double reportedSeconds)
{
    const std::vector<TopBox> found = topLevelBoxes(read, fileSize);
    if (found.empty() || !found.front().is("ftyp"))
        throw Malformed("no ftyp first");
    if (!has3gpBrand(payloadOf(read, found.front(), kLargestFileTypeBox)))
        throw Malformed("no 3GP brand");
    const std::vector<std::uint8_t> movie = payloadOf(read, onlyTop(found, "moov"), kLargestIndex);
    const auto parts = boxes::boxesFilling(movie);
    if (!parts)
        throw Malformed("a broken moov");
    int videoTracks = 0, soundTracks = 0;
    std::vector<boxes::Chunk> chunks;
    for (const boxes::Box& part : *parts) {
        if (part.type != "trak")
            continue;
        const boxes::TrackSamples track = boxes::readTrack(part.payload, fileSize);
        ++(track.video ? videoTracks : soundTracks);
        chunks.insert(chunks.end(), track.chunks.begin(), track.chunks.end());
    }
    if (videoTracks > 1 || soundTracks > 1 || videoTracks + soundTracks == 0)
        throw Malformed("not one video and/or one sound track");
    checkChunks(std::move(chunks), onlyTop(found, "mdat"));
    const auto header = boxes::onlyBox(*parts, "mvhd");
    if (!header)
        throw Malformed("not one mvhd");
    if (!(std::abs(boxes::headerSeconds(header->payload) - reportedSeconds) <= kDurationSlack))
        throw Malformed("a duration more than a second off the converted length");
}

}  // namespace

std::optional<std::string> resultProblem(const ReadAt& read, std::uint64_t fileSize, double reportedSeconds)
{
    try {
        checkResult(read, fileSize, reportedSeconds);
        return std::nullopt;
    } catch (const Malformed& problem) {
        return problem.what();
    } catch (const std::bad_alloc&) {
        return "an index too large to read";
    }
}

std::optional<std::string> resultProblem(int fd, double reportedSeconds)
{
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return "not a regular file";
    const auto read = [fd](std::uint64_t offset, std::uint8_t* into, std::size_t size) {
        for (std::size_t done = 0; done < size;) {
            const ssize_t got = pread(fd, into + done, size - done, static_cast<off_t>(offset + done));
            if (got <= 0)
                return false;
            done += static_cast<std::size_t>(got);
        }
        return true;
    };
    return resultProblem(read, static_cast<std::uint64_t>(status.st_size), reportedSeconds);
}

}  // namespace conv
