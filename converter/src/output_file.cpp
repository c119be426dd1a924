#include "output_file.hpp"

#include "errors.hpp"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace conv {
namespace fs = std::filesystem;

namespace {

// The named working file, kept where a stop that cannot unwind finds it.
std::array<char, 4096> namedWorkingFile{};
std::atomic<bool> haveNamedWorkingFile{false};

void registerNamedWorkingFile(const fs::path& path)
{
    const std::string text = path.string();
    if (text.size() >= namedWorkingFile.size())
        return;
    std::memcpy(namedWorkingFile.data(), text.c_str(), text.size() + 1);
    haveNamedWorkingFile.store(true);
}

std::string systemError(int error) { return std::system_category().message(error); }

std::string fdPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

[[noreturn]] void refuseOutput(const fs::path& finalPath, const std::string& why)
{
    throw ConversionError("'" + finalPath.string() + "' " + why, ConverterStatus::OutputUnwritable);
}

void refuseExisting(const fs::path& finalPath)
{
    std::error_code error;
    if (fs::exists(finalPath, error))
        refuseOutput(finalPath, "already exists (use -y to replace it)");
}

// Only a regular file (or a link to one) is ever replaced: run as root,
// replacing /dev/null or a FIFO others read would break them.
void refuseSpecialFile(const fs::path& finalPath)
{
    struct stat status {};
    if (stat(finalPath.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
        refuseOutput(finalPath, S_ISDIR(status.st_mode) ? "is a folder" : "is not a regular file");
}

// The folder the finished file goes to: working files live there too, so
// that linking or renaming never crosses file systems.
fs::path folderOf(const fs::path& finalPath)
{
    return finalPath.has_parent_path() ? finalPath.parent_path() : fs::path(".");
}

// A name the folder's file system cannot take fails now, not after the
// whole conversion.
void refuseUnusableName(const fs::path& finalPath)
{
    const long longestName = pathconf(folderOf(finalPath).c_str(), _PC_NAME_MAX);
    if (longestName > 0 && finalPath.filename().string().size() > static_cast<std::size_t>(longestName))
        refuseOutput(finalPath, "has a name longer than its folder allows (" + std::to_string(longestName) + " bytes)");
    if (finalPath.string().size() >= PATH_MAX)
        refuseOutput(finalPath, "is too long a path");
}

// A short hidden name in `folder` that nothing uses yet; short so that the
// final name may have any length the file system allows.
fs::path freeHiddenName(const fs::path& folder, int attempt)
{
    return folder / (".conv-" + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".part");
}

}  // namespace

void removeNamedWorkingFileNow()
{
    if (haveNamedWorkingFile.exchange(false))
        unlink(namedWorkingFile.data());
}

OutputFile::OutputFile(const std::string& finalPath, bool replaceExisting)
    : finalPath_(finalPath),
      replaceExisting_(replaceExisting)
{
    refuseSpecialFile(finalPath_);
    if (!replaceExisting_)
        refuseExisting(finalPath_);
    refuseUnusableName(finalPath_);

    const fs::path folder = folderOf(finalPath_);
    fd_ = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    for (int attempt = 0; fd_ < 0 && attempt < 100; ++attempt) {
        // This file system keeps no unnamed files: a hidden name it is.
        namedPath_ = freeHiddenName(folder, attempt);
        fd_ = open(namedPath_.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0)
        throw ConversionError("cannot write beside '" + finalPath + "': " + systemError(errno),
                              writeFailureKind(errno));
    if (!namedPath_.empty())
        registerNamedWorkingFile(namedPath_);
    openMuxer();
}

OutputFile::OutputFile(InMemory) : inMemory_(true)
{
    fd_ = memfd_create("conv-output", MFD_CLOEXEC);
    if (fd_ < 0)
        throw ConversionError("cannot make a file in memory: " + systemError(errno));
    openMuxer();
}

OutputFile OutputFile::inMemory() { return OutputFile(InMemory{}); }

OutputFile::~OutputFile()
{
    format_.reset();
    if (fd_ >= 0)
        close(fd_);
    if (!finished_ && !namedPath_.empty()) {
        haveNamedWorkingFile.store(false);
        std::error_code ignored;
        fs::remove(namedPath_, ignored);
    }
}

void OutputFile::openMuxer()
{
    // The muxer opens the file by name, twice when it moves the index to the
    // front; the descriptor's name in /proc reaches the unnamed file.
    const std::string url = fdPath(fd_);
    AVFormatContext* raw = nullptr;
    checkAv(avformat_alloc_output_context2(&raw, nullptr, "3gp", url.c_str()), "cannot set up a 3GP file");
    format_.reset(raw);
    checkAvWrite(avio_open(&format_->pb, url.c_str(), AVIO_FLAG_WRITE),
                 "cannot write beside '" + finalPath_.string() + "'");
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

fs::path OutputFile::folder() const { return folderOf(finalPath_); }

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
    checkAvWrite(avio_closep(&format_->pb), "cannot finish the 3GP file");
    if (touch) {
        struct stat status {};
        if (fstat(fd_, &status) != 0)
            throw ConversionError("cannot finish the 3GP file: " + systemError(errno));
        touch(fd_, status.st_size);
    }
    if (!inMemory_) {
        if (fsync(fd_) != 0)
            throw ConversionError("cannot finish the 3GP file: " + systemError(errno), writeFailureKind(errno));
        linkIntoPlace();
    }
    finished_ = true;
}

void OutputFile::linkIntoPlace()
{
    const std::string cannotMove = "cannot move the finished file to '" + finalPath_.string() + "': ";
    const std::string source = namedPath_.empty() ? fdPath(fd_) : namedPath_.string();
    // A link never replaces a file, so without -y a file that appeared
    // meanwhile is refused here, without a gap between check and link.
    if (linkat(AT_FDCWD, source.c_str(), AT_FDCWD, finalPath_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        if (!namedPath_.empty())
            unlink(namedPath_.c_str());
        return;
    }
    const int linkError = errno;
    if (linkError != EEXIST)
        throw ConversionError(cannotMove + systemError(linkError), writeFailureKind(linkError));
    if (!replaceExisting_)
        refuseExisting(finalPath_);
    refuseSpecialFile(finalPath_);  // it may have become one meanwhile

    // Replacing: only a rename swaps a file in place in one step, and it needs
    // a name to start from. For the unnamed file that name lives for two system
    // calls, the only moment a hard kill could leave it behind.
    fs::path named = namedPath_;
    for (int attempt = 0; named.empty() && attempt < 100; ++attempt) {
        const fs::path candidate = freeHiddenName(folderOf(finalPath_), attempt);
        if (linkat(AT_FDCWD, source.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0)
            named = candidate;
        else if (errno != EEXIST)
            throw ConversionError(cannotMove + systemError(errno), writeFailureKind(errno));
    }
    if (named.empty())
        throw ConversionError(cannotMove + "no free working name", ConverterStatus::OutputUnwritable);
    if (std::rename(named.c_str(), finalPath_.c_str()) != 0) {
        const int renameError = errno;
        if (named != namedPath_)
            unlink(named.c_str());
        throw ConversionError(cannotMove + systemError(renameError), writeFailureKind(renameError));
    }
}

}  // namespace conv
