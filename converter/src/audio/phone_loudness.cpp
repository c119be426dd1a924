#include "audio/phone_loudness.hpp"

#include <algorithm>
#include <string>

namespace conv {
namespace {

constexpr int kRate = 8000;
// Half the normaliser's window and a frame: what it looks ahead and back.
constexpr std::size_t kEdgeSamples = 2 * kRate;
// The filters cost mostly per frame handed through them: they get the sound
// in frames of the normaliser's length (250 ms), not as it was decoded.
constexpr std::size_t kBatchSamples = kRate / 4;
// Quieter than this, a programme is taken for silence or noise and keeps its level.
constexpr double kQuietestLifted = -50;
constexpr const char* kMostLift = "15.85";  // 24 dB

// The loudness meters' weighting, near enough at 8000 Hz: a high-pass and a
// 4 dB shelf above 1.5 kHz.
std::string weighting(bool normalise) { return normalise ? "highpass=f=60,treble=g=4:f=1500" : "anull"; }

// The normaliser sees the sound 12 dB down, so its own clipping at full scale
// never touches it; the limiter after it holds the peaks to -3 dBFS (AMR-NB
// adds up to 2 dB). Frames of 250 ms, a window of 15 (3.75 s), a target
// that gives -16 LUFS; the lift starts at none (see gateQuietProgramme).
std::string leveling(bool normalise)
{
    const std::string limiter = "alimiter=limit=0.7:attack=5:release=50:level=0:latency=1";
    if (!normalise)
        return limiter;
    return "volume=0.25,dynaudnorm@level=f=250:g=15:p=1:m=1:r=0.0575,volume=4,treble=g=-4:f=1500," + limiter;
}

// `edge` repeated until `length` samples.
std::vector<float> cycled(std::span<const float> edge, std::size_t length)
{
    std::vector<float> samples;
    samples.reserve(length);
    while (samples.size() < length)
        samples.insert(samples.end(), edge.begin(),
                       edge.begin() + static_cast<std::ptrdiff_t>(std::min(edge.size(), length - samples.size())));
    return samples;
}

}  // namespace

PhoneLoudness::PhoneLoudness(bool normalise)
    : normalise_(normalise),
      weighting_(weighting(normalise), AV_SAMPLE_FMT_FLT),
      leveling_(leveling(normalise), AV_SAMPLE_FMT_S16)
{}

std::vector<std::int16_t> PhoneLoudness::take(std::span<const float> samples)
{
    std::vector<std::int16_t> leveled;
    if (samples.empty())
        return leveled;
    samplesIn_ += static_cast<std::int64_t>(samples.size());
    tail_.insert(tail_.end(), samples.begin(), samples.end());
    if (tail_.size() > 2 * kEdgeSamples)
        tail_.erase(tail_.begin(), tail_.end() - kEdgeSamples);
    if (started_) {
        pending_.insert(pending_.end(), samples.begin(), samples.end());
        if (pending_.size() >= kBatchSamples) {
            feed(pending_);
            pending_.clear();
        }
    } else {
        head_.insert(head_.end(), samples.begin(), samples.end());
        if (head_.size() >= kEdgeSamples)
            start();
    }
    collect(leveled);
    return leveled;
}

std::vector<std::int16_t> PhoneLoudness::drain()
{
    std::vector<std::int16_t> leveled;
    if (samplesIn_ == 0)
        return leveled;
    if (!started_)
        start();
    feed(pending_);
    const std::vector<float> mirrored(tail_.rbegin(), tail_.rend());
    feed(cycled(mirrored, kEdgeSamples));
    weighting_.end();
    weighting_.pull([this](const AVFrame& frame) {
        level({reinterpret_cast<const float*>(frame.data[0]), static_cast<std::size_t>(frame.nb_samples)});
    });
    leveling_.end();
    collect(leveled);
    // Should a filter round the length to its own frames, the track still
    // ends where the sound does.
    leveled.resize(leveled.size() + static_cast<std::size_t>(samplesIn_ - samplesOut_), 0);
    samplesOut_ = samplesIn_;
    return leveled;
}

void PhoneLoudness::start()
{
    std::vector<float> lead = cycled(head_, kEdgeSamples);
    std::reverse(lead.begin(), lead.end());
    leadToDrop_ = static_cast<std::int64_t>(lead.size());
    feed(lead);
    feed(head_);
    head_ = {};
    started_ = true;
}

void PhoneLoudness::feed(std::span<const float> samples)
{
    weighting_.push(samples);
    weighting_.pull([this](const AVFrame& frame) {
        level({reinterpret_cast<const float*>(frame.data[0]), static_cast<std::size_t>(frame.nb_samples)});
    });
}

// The lift is allowed once the programme so far is louder than silence and
// noise; the normaliser takes the new limit for the frames it reads from then
// on and smooths the change like any other.
void PhoneLoudness::level(std::span<const float> weighted)
{
    programme_.take(weighted);
    const bool lift = normalise_ && programme_.decibels() >= kQuietestLifted;
    if (lift != lifting_)
        leveling_.command("dynaudnorm@level", "m", lift ? kMostLift : "1");
    lifting_ = lift;
    leveling_.push(weighted);
}

void PhoneLoudness::collect(std::vector<std::int16_t>& samples)
{
    leveling_.pull([&](const AVFrame& frame) {
        const auto* data = reinterpret_cast<const std::int16_t*>(frame.data[0]);
        std::int64_t count = frame.nb_samples;
        const std::int64_t lead = std::min(count, leadToDrop_);
        leadToDrop_ -= lead;
        // Never more than went in: the mirrored end is dropped too.
        count = std::min(count - lead, samplesIn_ - samplesOut_);
        samples.insert(samples.end(), data + lead, data + lead + count);
        samplesOut_ += count;
    });
}

}  // namespace conv
