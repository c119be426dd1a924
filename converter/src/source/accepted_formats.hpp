// The kinds of file the converter agrees to read, kept in this one place.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace conv {

// FFmpeg's names (AVInputFormat::name, commas included) of the accepted
// demuxers: those of real video and sound containers. Everything else (text,
// pictures, playlists and other formats that open further files) is not a video.
std::span<const std::string_view> acceptedDemuxers();

// Whether the demuxer of this FFmpeg name is accepted.
bool isAcceptedDemuxer(std::string_view demuxerName);

// The accepted demuxers as AVFormatContext::format_whitelist takes them:
// their names joined by commas.
const std::string& formatWhitelist();

}  // namespace conv
