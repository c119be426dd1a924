// Video and sound packets into the output file in play order, the one ahead held back.
#pragma once

#include "base/ffmpeg_handles.hpp"
#include "output/output_file.hpp"
#include "output/packet_spill.hpp"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

namespace conv {

// The streams of the output file, handed in from the video and the audio
// thread one packet at a time. A phone reads the file in order, so the two
// streams go into it in time order, sound and pictures that play together
// close together: a packet of one stream waits (held back in an unnamed memory file) until the
// other has come within kLeadSeconds of it, or has ended.
class PacketWriter {
public:
    static constexpr double kLeadSeconds = 0.5;

    // How the sound is cut into packets: samples a second, samples a packet.
    struct SoundFrames {
        int sampleRate = 0;
        int frameSamples = 0;
    };

    // Either stream may be missing when the source lacks that kind of stream:
    // `video` is the opened video encoder's context.
    PacketWriter(OutputFile& output, const AVCodecContext* video, std::optional<SoundFrames> sound);

    void writeVideo(AVPacket& packet, AVRational timeBase);
    // One encoded sound frame; its time counts samples from the start.
    void writeSound(std::span<const std::uint8_t> bytes, std::int64_t firstSample);
    // The stream has ended: it holds the other back no longer.
    void videoEnded();
    void soundEnded();

    std::int64_t picturesWritten() const { return picturesWritten_.load(); }
    std::int64_t soundFramesWritten() const { return soundFramesWritten_.load(); }
    // The video's average rate as written, over the time its pictures cover.
    double videoKbpsWritten() const;

private:
    struct Stream {
        int index = -1;
        AVRational timeBase{1, 1};
        double handedSeconds = -1e300;  // the latest packet handed in
        bool ended = false;
        PacketSpill held;
        double seconds(std::int64_t pts) const { return static_cast<double>(pts) * av_q2d(timeBase); }
    };
    void hand(Stream& stream, const Stream& other, AVPacket& packet);
    static bool mayWrite(const Stream& other, double seconds);
    void writeHeld();

    mutable std::mutex mutex_;
    OutputFile& output_;
    Stream video_;
    Stream sound_;
    int soundFrameSamples_ = 0;
    PacketHandle soundPacket_;
    PacketHandle heldPacket_;
    std::atomic<std::int64_t> picturesWritten_{0};
    std::atomic<std::int64_t> soundFramesWritten_{0};
    std::int64_t videoBits_ = 0;
    double videoEndSeconds_ = 0;
};

}  // namespace conv
