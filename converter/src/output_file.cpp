#include "output_file.hpp"

#include "errors.hpp"

#include <system_error>
#include <unistd.h>

namespace conv {
namespace fs = std::filesystem;

namespace {

fs::path partialPathFor(const fs::path& finalPath)
{
    // Hidden, in the same folder so the final rename cannot cross file systems.
    fs::path partial = finalPath;
    partial.replace_filename("." + finalPath.filename().string() + "." + std::to_string(getpid()) + ".part");
    return partial;
}

void refuseExisting(const fs::path& finalPath)
{
    std::error_code error;
    if (fs::exists(finalPath, error))
        throw ConversionError("'" + finalPath.string() + "' already exists (use -y to replace it)");
}

} // namespace

OutputFile::OutputFile(const std::string& finalPath, bool replaceExisting)
    : finalPath_(finalPath), partialPath_(partialPathFor(finalPath_)), replaceExisting_(replaceExisting)
{
    std::error_code error;
    if (fs::is_directory(finalPath_, error))
        throw ConversionError("'" + finalPath + "' is a folder");
    if (!replaceExisting_)
        refuseExisting(finalPath_);

    AVFormatContext* raw = nullptr;
    checkAv(avformat_alloc_output_context2(&raw, nullptr, "3gp", partialPath_.c_str()),
            "cannot set up a 3GP file");
    format_.reset(raw);
    checkAv(avio_open(&format_->pb, partialPath_.c_str(), AVIO_FLAG_WRITE),
            "cannot write beside '" + finalPath + "'");
}

OutputFile::~OutputFile()
{
    if (finished_)
        return;
    format_.reset(); // closes the partial file before it is removed
    std::error_code ignored;
    fs::remove(partialPath_, ignored);
}

int OutputFile::addVideo(const AVCodecContext& encoder)
{
    AVStream* stream = avformat_new_stream(format_.get(), nullptr);
    if (!stream)
        throw std::bad_alloc();
    checkAv(avcodec_parameters_from_context(stream->codecpar, &encoder), "cannot describe the video track");
    // The custom picture format comes from the H.263 version 2 encoder, but the
    // bitstream is H.263 all the same and 3GP stores it as such ('s263').
    stream->codecpar->codec_id = AV_CODEC_ID_H263;
    stream->codecpar->codec_tag = 0;
    stream->time_base = encoder.time_base;
    stream->avg_frame_rate = encoder.framerate;
    stream->sample_aspect_ratio = encoder.sample_aspect_ratio;
    return stream->index;
}

int OutputFile::addAudio(int sampleRate, int frameSamples)
{
    AVStream* stream = avformat_new_stream(format_.get(), nullptr);
    if (!stream)
        throw std::bad_alloc();
    AVCodecParameters& par = *stream->codecpar;
    par.codec_type = AVMEDIA_TYPE_AUDIO;
    par.codec_id = AV_CODEC_ID_AMR_NB;
    par.sample_rate = sampleRate;
    par.ch_layout = AV_CHANNEL_LAYOUT_MONO;
    par.frame_size = frameSamples;
    stream->time_base = AVRational{1, sampleRate};
    return stream->index;
}

void OutputFile::start()
{
    checkAv(avformat_write_header(format_.get(), nullptr), "cannot start the 3GP file");
}

void OutputFile::write(AVPacket& packet, int streamIndex, AVRational timeBase)
{
    packet.stream_index = streamIndex;
    av_packet_rescale_ts(&packet, timeBase, format_->streams[streamIndex]->time_base);
    checkAv(av_interleaved_write_frame(format_.get(), &packet), "cannot write the 3GP file");
}

void OutputFile::finish()
{
    checkAv(av_write_trailer(format_.get()), "cannot finish the 3GP file");
    checkAv(avio_closep(&format_->pb), "cannot finish the 3GP file");
    if (!replaceExisting_)
        refuseExisting(finalPath_);
    std::error_code error;
    fs::rename(partialPath_, finalPath_, error);
    if (error)
        throw ConversionError("cannot move the finished file to '" + finalPath_.string() + "': " + error.message());
    finished_ = true;
}

} // namespace conv
