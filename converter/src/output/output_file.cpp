#include "output/output_file.hpp"

#include "base/errors.hpp"
#include "base/open_file_size.hpp"

#include <cerrno>
#include <system_error>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace conv {

OutputFile::OutputFile(int fd, const std::string& shownName) : shownName_(shownName), fd_(fd) { openMuxer(); }

OutputFile::OutputFile(InMemory) : inMemory_(true)
{
    fd_ = memfd_create("conv-output", MFD_CLOEXEC);
    if (fd_ < 0)
        throw ConversionError("cannot make a file in memory: " + std::system_category().message(errno));
    openMuxer();
}

OutputFile OutputFile::inMemory() { return OutputFile(InMemory{}); }

OutputFile::~OutputFile()
{
    format_.reset();
    io_.reset();
    if (inMemory_ && fd_ >= 0)
        close(fd_);
}

void OutputFile::openMuxer()
{
    AVFormatContext* raw = nullptr;
    checkAv(avformat_alloc_output_context2(&raw, nullptr, "3gp", shownName_.c_str()), "cannot set up a 3GP file");
    format_.reset(raw);
    io_ = descriptorIo(fd_, true);
    format_->pb = io_.get();
    readBackThrough(*format_, fd_);
}

int OutputFile::addVideo(const AVCodecContext& encoder, int displayWidth)
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
    // The track header's width is the coded width times the stream's aspect;
    // this one makes it the whole display width. The sample description keeps
    // the coded pixel shape.
    av_reduce(&stream->sample_aspect_ratio.num, &stream->sample_aspect_ratio.den, displayWidth, encoder.width, 1 << 16);
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
    AVDictionary* options = nullptr;
    // The index before the media data, so a phone can play a file still arriving.
    av_dict_set(&options, "movflags", "+faststart", 0);
    const int started = avformat_write_header(format_.get(), &options);
    av_dict_free(&options);
    checkAvWrite(started, "cannot start the 3GP file");
}

void OutputFile::write(AVPacket& packet, int streamIndex, AVRational timeBase)
{
    packet.stream_index = streamIndex;
    av_packet_rescale_ts(&packet, timeBase, format_->streams[streamIndex]->time_base);
    checkAvWrite(av_interleaved_write_frame(format_.get(), &packet), "cannot write the 3GP file");
}

void OutputFile::finish(const Touch& touch)
{
    checkAvWrite(av_write_trailer(format_.get()), "cannot finish the 3GP file");
    avio_flush(io_.get());
    checkAvWrite(io_->error, "cannot finish the 3GP file");
    if (touch) {
        const std::int64_t size = openFileSize(fd_);
        if (size < 0)
            throw ConversionError("cannot finish the 3GP file: " + std::system_category().message(errno));
        touch(fd_, size);
    }
    if (!inMemory_ && fsync(fd_) != 0)
        throw ConversionError("cannot finish the 3GP file: " + std::system_category().message(errno),
                              writeFailureKind(errno));
}

}  // namespace conv
