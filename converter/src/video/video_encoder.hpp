// H.263 encoding: formats, rate control and the switch to tight and starved settings.
#pragma once

#include "base/ffmpeg_handles.hpp"
#include "video/temporal_reference.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace conv {

// H.263 picture formats. Baseline H.263 codes only its standard sizes, whose
// pixels are 12:11; every other size goes into the custom picture format of
// H.263 version 2, which carries its own pixel shape (square here).
bool isStandardH263Size(int width, int height);
AVRational h263PixelAspect(int width, int height);
// Why H.263 cannot code this size at all, or nothing if it can.
std::optional<std::string> h263SizeProblem(int width, int height);

// The video part of a conversion request, which holds the defaults.
struct VideoSettings {
    int width = 0;
    int height = 0;
    AVRational frameRate{0, 1};
    double kbps = 0;
};

// Whether the picture headers need H.263 version 2's extended header: for
// the custom picture format, and for a picture clock faster than baseline
// H.263's 30000/1001 Hz, whose ticks could not tell every picture apart.
bool needsExtendedHeader(const VideoSettings& settings);

// H.263 Annex X profile and level of what the encoder codes with `settings`,
// for the 3GP sample description ('d263'): the lowest level whose picture
// size, picture rate and bit rate limits hold it.
struct H263ProfileLevel {
    int profile = 0;
    int level = 10;
};
H263ProfileLevel h263ProfileAndLevel(const VideoSettings& settings);

// Where `settings` ask for more bits a picture than H.263 lets one take at
// their size, lowers the rate to the most it allows and says so in a line
// for the user; nothing otherwise.
std::optional<std::string> holdToPictureLimit(VideoSettings& settings);

// The most bits one coded picture may take (BPPmaxKb of the H.263 standard,
// by picture area): 64 kbit up to QCIF, 256 up to CIF, 512 up to 4CIF, then 1024.
int h263MostBitsPerPicture(int width, int height);

// The H.263 encoder. Pictures carry their output frame number as pts; packets
// come out in the encoder's time base (one tick per frame), their temporal
// reference counting every frame, coded or not.
// Where the rate is tight for the size (few bits per pixel), or once a picture
// takes more than its share at the coarsest quantiser (noise, a cut to fine
// detail), the encoder may go coarser still (see open()); the rest of the run
// is coded that way, from a key picture on.
class VideoEncoder {
public:
    explicit VideoEncoder(const VideoSettings& settings);

    using PacketSink = std::function<void(AVPacket&)>;
    // nullptr drains. `framesOnShow`: how many frames the picture is on, from
    // this one (from the one it came on at, for a picture coded before);
    // frames left out after it within them lose nothing. `framesHeld`: how
    // many frames this coding stays on until the picture is coded next, the
    // ones after it repeating it (repeatLast).
    void encode(AVFrame* picture, const PacketSink& sink, std::int64_t framesOnShow = 1, std::int64_t framesHeld = 1);
    // Whether repeatLast can write a frame now.
    bool canRepeat() const { return skippedPicture_.has_value(); }
    // How many frames the rate buffer takes to fill up again once a picture
    // has emptied it.
    std::int64_t framesToRefill() const;
    // Output frame `frame` shows the picture coded last again, as a picture
    // with every macroblock skipped. False (nothing written) until the encoder
    // has coded a predicted picture to take the header from.
    bool repeatLast(std::int64_t frame, const PacketSink& sink);
    const AVCodecContext& context() const { return *context_; }
    // New pictures are being left out often for the rate. When the last
    // predicted picture was already at the coarsest quantiser, the encoder
    // starts again (from a key picture) dropping blocks instead, and true says
    // the frame is to be coded after all.
    bool squeezeHarder();

private:
    void open();
    // The rate buffer that holds the encoder to the rate, as full as before a new start.
    void holdRate(AVCodecContext& c);
    // The motion search, the quantiser's range and the settings of a tight or starved rate.
    AVDictionary* searchAndQuantiserOptions(AVCodecContext& c) const;
    // From the next picture on, a key picture, with the starved settings.
    void starve();
    // The quantiser a packet was coded at, in the encoder's quality units;
    // -1 when it does not say.
    static int quality(const AVPacket& packet);
    static bool atCoarsest(const AVPacket& packet);
    // The lambda the rate control may go down to for the next picture.
    int lowestLambda() const;
    // The bits of the rate that one frame's time brings.
    double frameShare() const;
    bool overran(const AVPacket& packet, std::int64_t framesOnShow) const;
    void refillFor(std::int64_t framesHeld);
    void hand(const PacketSink& sink);

    VideoSettings settings_;
    CodecContextHandle context_;
    PacketHandle packet_;
    bool version2_ = false;
    // How hard the encoder works to hold the rate; it only ever rises.
    enum class Squeeze { None, Tight, Starved };
    Squeeze squeeze_ = Squeeze::None;
    bool lastAtCoarsest_ = false;
    bool lastAtFinest_ = false;      // at quantiser 2 or finer
    double bufferFullness_ = 1e300;  // bits in the rate buffer; full at the start
    H263Clock clock_;
    std::int64_t lastReference_ = -1;
    std::optional<std::vector<std::uint8_t>> skippedPicture_;
};

}  // namespace conv
