// What the window writes to the converter and reads back from it: the command line's
// options, the name the converter runs under, the frame sizes it takes and its
// progress lines. Both sides include this one definition, so they cannot drift apart.
#pragma once

namespace tovaro {

// The options, as the window writes them and the converter reads them. The fixed
// values are the only ones the converter accepts.
namespace option {
inline constexpr const char* kInput = "-i";
inline constexpr const char* kVideoCodec = "-vcodec";
inline constexpr const char* kVideoKbps = "-b";
inline constexpr const char* kOverwrite = "-y";
inline constexpr const char* kFrameRate = "-r";
inline constexpr const char* kFrameSize = "-s";
inline constexpr const char* kAudioCodec = "-acodec";
inline constexpr const char* kAudioChannels = "-ac";
inline constexpr const char* kFormat = "-f";
inline constexpr const char* kAudioRate = "-ar";
inline constexpr const char* kAudioKbps = "-ab";

inline constexpr const char* kOnlyVideoCodec = "h263";
inline constexpr const char* kOnlyAudioCodec = "amr_nb";
inline constexpr const char* kOnlyAudioChannels = "1";
inline constexpr const char* kOnlyFormat = "3gp";
inline constexpr const char* kOnlyAudioRate = "8000";
}  // namespace option

// The converter's working copy in the data folder, the program that runs, whatever
// name it is delivered under (kConverterFileName).
inline constexpr const char* kWorkingConverterName = "conv.exe";

// Frame sizes: the converter reads a positive, even width and height; H.263 codes
// its five standard sizes, and others that are multiples of kCustomSizeStep up to
// kLargestWidth x kLargestHeight.
constexpr bool isReadableFrameSize(int width, int height)
{
    return width > 0 && height > 0 && width % 2 == 0 && height % 2 == 0;
}
inline constexpr int kCustomSizeStep = 4;
inline constexpr int kLargestWidth = 2048;
inline constexpr int kLargestHeight = 1152;

// A progress line on stderr: "progress: time=12.50 duration=60.00", seconds with two
// decimals; duration=0.00 when the length is not known yet.
inline constexpr const char* kProgressPrefix = "progress: ";
inline constexpr const char* kProgressTime = "time=";
inline constexpr const char* kProgressDuration = "duration=";

}  // namespace tovaro
