#include "source/accepted_formats.hpp"

#include <algorithm>
#include <iterator>

namespace conv {

namespace {

// Containers people keep videos and sound in. Left out on purpose: formats
// that read other files (concat, HLS, DASH, image sequences, subfile, tee),
// still pictures, subtitles and text, raw data, devices, and the one-program
// formats of old games, whose rarely used demuxers are a risk with no user.
constexpr std::string_view kAcceptedDemuxers[] = {
    // video
    "asf", "avi", "dv", "flv", "gxf", "ivf", "ivr", "matroska,webm", "mov,mp4,m4a,3gp,3g2,mj2", "mpeg", "mpegts", "mxf",
    "nsv", "nut", "nuv", "ogg", "rm", "swf", "wtv",
    // bare video streams
    "cavsvideo", "dirac", "h261", "h263", "h264", "hevc", "m4v", "mpegvideo", "obu", "vc1",
    // sound
    "aac", "ac3", "aiff", "amr", "ape", "au", "caf", "eac3", "flac", "mp3", "mpc", "mpc8", "wav", "wv"};

}  // namespace

std::span<const std::string_view> acceptedDemuxers() { return kAcceptedDemuxers; }

bool isAcceptedDemuxer(std::string_view demuxerName)
{
    return std::find(std::begin(kAcceptedDemuxers), std::end(kAcceptedDemuxers), demuxerName) !=
           std::end(kAcceptedDemuxers);
}

const std::string& formatWhitelist()
{
    static const std::string joined = [] {
        std::string names;
        for (std::string_view name : kAcceptedDemuxers) {
            if (!names.empty())
                names += ',';
            names += name;
        }
        return names;
    }();
    return joined;
}

}  // namespace conv
