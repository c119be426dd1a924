// The source's container and its chosen video and audio streams, decoded.
#pragma once

#include "base/ffmpeg_handles.hpp"

#include <atomic>
#include <functional>
#include <optional>
#include <string>

namespace conv {

// One selected stream of the source with its opened decoder.
struct DecodedStream {
    AVStream* stream = nullptr;
    CodecContextHandle decoder;
};

struct DecoderTuning {
    // Skipping the in-loop deblocking filter is invisible once the picture is
    // scaled down a lot, and saves a good part of the decoding time.
    bool skipLoopFilter = false;
};

// The machine's cores, counted once: counting reads /sys, which the confined
// converter cannot.
unsigned coreCount();

// Video decoder threads for this stream on a machine with this many cores.
// Frame threads cost the light codecs of the MPEG-4 Part 2 kind 25 % or more
// extra work; up to standard definition one thread decodes them faster than
// the scaling and encoding threads can take the pictures, so those get one.
// Heavier codecs and larger pictures get one a core: their decoding is what
// the whole run waits for.
int videoDecoderThreads(const AVCodecParameters& video, unsigned cores);

using FrameHandler = std::function<void(AVFrame&)>;

// Sends one packet (or nullptr to drain) and hands on every frame it yields.
// Returns how many damaged packets or frames were skipped; counts in
// `concealed` (when given) the frames the decoder marks as patched up.
int decodeFrames(AVCodecContext& decoder, const AVPacket* packet, AVFrame& frame, const FrameHandler& handler,
                 int* concealed = nullptr);

// The source file opened for reading: the default video and audio streams and
// their decoders. Other streams are discarded by the demuxer.
class SourceMedia {
public:
    // Reads the source through `io`; `name` names it in messages (and its
    // extension helps to tell its kind). Throws ConversionError: NotAVideo
    // for a file of a kind not accepted (see accepted_formats.hpp) or with
    // nothing to play, SourceDamaged for one whose headers or stream
    // parameters are broken. While `stopRequested` (optional) is true,
    // reading gives up at once. `videoThreads` 0 lets videoDecoderThreads()
    // choose.
    SourceMedia(const std::string& name, AVIOContext& io, const std::atomic<bool>* stopRequested = nullptr,
                int videoThreads = 0);

    DecodedStream* video() { return video_ ? &*video_ : nullptr; }
    DecodedStream* audio() { return audio_ ? &*audio_ : nullptr; }

    void tuneVideoDecoder(const DecoderTuning& tuning);

    // Where output time zero is in the source: the earliest start of the used streams.
    double originSeconds() const { return originSeconds_; }
    // Total duration as the container states it; 0 when unknown.
    double durationSeconds() const;
    // How much of the source has been read, 0 to 1; negative if its size is unknown.
    double readFraction() const;

    using FrameHandler = conv::FrameHandler;
    using PacketHandler = std::function<void(AVPacket&)>;
    // Says whether the picture in a video packet will be used; a picture that is
    // not is not decoded when no other picture depends on it.
    using PacketFilter = std::function<bool(const AVPacket&)>;

    // Reads everything, decoding the video and calling onVideo with each
    // picture, and hands the audio packets on undecoded (the handler may take
    // them over), to be decoded elsewhere with decodeFrames; then drains the
    // video decoder. Damaged packets are skipped; a read error ends the input
    // like its end would.
    void readAll(const FrameHandler& onVideo, const PacketHandler& onAudioPacket,
                 const PacketFilter& videoPacketWanted = nullptr);

    // What readAll met: damaged packets or pictures it skipped, and whether
    // reading stopped at an error rather than at the end of the file.
    int damagedPackets() const { return damagedPackets_; }
    // Damage the decoders met and patched over in pictures or sound they gave.
    int concealedErrors() const { return concealedErrors_; }
    bool endedEarly() const { return endedEarly_; }
    // Why the sound was left out although the source has some: its decoder
    // refused the stream's damaged setup. Empty when it was not.
    const std::string& soundLeftOut() const { return soundLeftOut_; }

private:
    void openDecoder(std::optional<DecodedStream>& target, AVMediaType type, int threads);

    InputFormatHandle format_;
    std::optional<DecodedStream> video_;
    std::optional<DecodedStream> audio_;
    double originSeconds_ = 0;
    std::int64_t sizeBytes_ = -1;
    int damagedPackets_ = 0;
    int concealedErrors_ = 0;
    bool endedEarly_ = false;
    bool readToEnd_ = false;
    std::string soundLeftOut_;
};

}  // namespace conv
