#include "audio/audio_pipeline.hpp"

#include "base/errors.hpp"
#include "source/source_media.hpp"

namespace conv {
namespace {

// Sound packets waiting for the sound thread: a few seconds of sound; and
// decoded sound waiting for the AMR-NB encoder, a similar amount.
constexpr std::size_t kQueuedSoundPackets = 256;
constexpr std::size_t kQueuedSoundChunks = 256;
// Sound is handed over in batches of this many packets or chunks.
constexpr std::size_t kSoundBatch = 32;

}  // namespace

AudioPipeline::AudioPipeline(DecodedStream& audio, double originSeconds, bool phoneLoud, AmrEncoder& encoder,
                             PacketWriter& writer, StageGroup& stages, std::function<void()> soundDecoding)
    : packets_(kQueuedSoundPackets, stages.stopRequested(), kSoundBatch),
      samples_(kQueuedSoundChunks, stages.stopRequested(), kSoundBatch),
      stage_(*audio.decoder, audio.stream->time_base, originSeconds, phoneLoud, encoder, writer),
      soundDecoding_(std::move(soundDecoding)),
      membership_(stages, {[this] { abortQueues(); }, [this] { joinThreads(); }, [this] { return secondsDone(); }}),
      decoding_(stages.startThread([this] { stage_.decode(packets_, samples_, soundDecoding_); })),
      encoding_(stages.startThread([this] { stage_.encode(samples_); }))
{}

AudioPipeline::~AudioPipeline()
{
    abortQueues();
    joinThreads();
}

void AudioPipeline::take(AVPacket& packet)
{
    PacketHandle queued = allocatePacket();
    av_packet_move_ref(queued.get(), &packet);
    if (!packets_.push(std::move(queued)))
        throw ConversionError("encoding stopped");
}

double AudioPipeline::finish()
{
    packets_.close();
    joinThreads();
    membership_.finished();
    return secondsDone();
}

void AudioPipeline::abortQueues()
{
    packets_.abort();
    samples_.abort();
}

void AudioPipeline::joinThreads()
{
    decoding_.join();
    encoding_.join();
}

}  // namespace conv
