// 3GP muxing into the open working file, index first.
#pragma once

#include "base/ffmpeg_handles.hpp"
#include "output/descriptor_io.hpp"

#include <cstdint>
#include <functional>
#include <string>

namespace conv {

// The 3GP file being written, moov first, into a working file that is already
// open: the muxer writes and reads it back through the descriptor and opens
// nothing by name. Placing the finished file at its name is OutputPlace's
// work, in the process that made the working file.
class OutputFile {
public:
    // `fd`, open for reading and writing, stays the caller's; `shownName`
    // names the output in messages.
    OutputFile(int fd, const std::string& shownName);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // A file that lives in memory only and is dropped at the end (fuzzing).
    static OutputFile inMemory();

    // Streams are added before start(); each returns its index.
    // `displayWidth` is the picture's width on screen, in whole pixels.
    int addVideo(const AVCodecContext& encoder, int displayWidth);
    int addAudio(int sampleRate, int frameSamples);

    void start();
    // Writes one packet whose times are in `timeBase`; the packet is emptied.
    void write(AVPacket& packet, int streamIndex, AVRational timeBase);

    // A change to the finished file's bytes before it is flushed to disk: the
    // file descriptor, open for reading and writing, and the file's size.
    using Touch = std::function<void(int fd, std::int64_t size)>;
    void finish(const Touch& touch = nullptr);

private:
    struct InMemory {};
    explicit OutputFile(InMemory);
    void openMuxer();

    std::string shownName_;
    bool inMemory_ = false;
    int fd_ = -1;
    DescriptorIoHandle io_;
    OutputFormatHandle format_;
};

}  // namespace conv
