#pragma once

#include "ffmpeg_handles.hpp"

#include <filesystem>
#include <string>

namespace conv {

// The 3GP file being written. It is written beside the final name and renamed
// onto it only by finish(), so the final name never shows a half-written file;
// if finish() is not reached the partial file is removed.
class OutputFile {
public:
    OutputFile(const std::string& finalPath, bool replaceExisting);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Streams are added before start(); each returns its index.
    int addVideo(const AVCodecContext& encoder);
    int addAudio(int sampleRate, int frameSamples);

    void start();
    // Writes one packet whose times are in `timeBase`; the packet is emptied.
    void write(AVPacket& packet, int streamIndex, AVRational timeBase);
    void finish();

    const std::filesystem::path& partialPath() const { return partialPath_; }

private:
    std::filesystem::path finalPath_;
    std::filesystem::path partialPath_;
    bool replaceExisting_;
    OutputFormatHandle format_;
    bool finished_ = false;
};

} // namespace conv
