#pragma once

#include "ffmpeg_handles.hpp"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace conv {

// The 3GP file being written, moov first. It is written to a file without a
// name in the final folder and linked in under the final name only by
// finish(), so no stop, not even SIGKILL or a crash, leaves a trace and the
// final name never shows a half-written file. Where the file system cannot
// keep unnamed files, a short hidden name beside the final one is used and
// removed on every stop this process survives long enough to handle.
class OutputFile {
public:
    OutputFile(const std::string& finalPath, bool replaceExisting);
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

    // A change to the finished file's bytes before it is linked in: the file
    // descriptor, open for reading and writing, and the file's size.
    using Touch = std::function<void(int fd, std::int64_t size)>;
    void finish(const Touch& touch = nullptr);

    // The file being written, open for reading and writing, and its folder.
    int descriptor() const { return fd_; }
    std::filesystem::path folder() const;

    // The named working file, if the file system forced one; empty otherwise.
    const std::filesystem::path& namedWorkingPath() const { return namedPath_; }

private:
    struct InMemory {};
    explicit OutputFile(InMemory);
    void openMuxer();
    void linkIntoPlace();

    std::filesystem::path finalPath_;
    std::filesystem::path namedPath_;  // only when no unnamed file could be made
    bool replaceExisting_ = false;
    bool inMemory_ = false;
    int fd_ = -1;
    OutputFormatHandle format_;
    bool finished_ = false;
};

// Removes the named working file of the running conversion, if there is one.
// For a stop that has to end the process without unwinding; callable from any
// thread.
void removeNamedWorkingFileNow();

}  // namespace conv
