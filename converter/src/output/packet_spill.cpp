#include "output/packet_spill.hpp"

#include "base/errors.hpp"

#include <cerrno>
#include <cstring>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace conv {
namespace {

constexpr auto kHeaderBytes = static_cast<std::int64_t>(sizeof(PacketSpill::Header));

void writeAll(int fd, const void* data, std::size_t size, std::int64_t at)
{
    // A short write is followed by one that says why: memory full, or the
    // output's ceiling reached (it holds every file the worker writes).
    const auto* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size;) {
        const ssize_t written = pwrite(fd, bytes + done, size - done, at + static_cast<std::int64_t>(done));
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            throw ConversionError("cannot hold back packets in a temporary file: " + std::string(std::strerror(error)),
                                  writeFailureKind(error));
        }
        done += static_cast<std::size_t>(written);
    }
}

void readAll(int fd, void* data, std::size_t size, std::int64_t at)
{
    if (pread(fd, data, size, at) != static_cast<ssize_t>(size))
        throw ConversionError("cannot read back packets from a temporary file");
}

}  // namespace

PacketSpill::~PacketSpill()
{
    if (file_)
        std::fclose(file_);
}

void PacketSpill::push(const AVPacket& packet)
{
    if (!file_) {
        // An unnamed memory file: nothing to remove whatever ends the process,
        // and nothing to ask of the confined file system.
        const int fd = memfd_create("held packets", MFD_CLOEXEC);
        file_ = fd >= 0 ? fdopen(fd, "w+") : nullptr;
        if (fd >= 0 && !file_)
            close(fd);
        if (!file_)
            throw ConversionError("cannot make a temporary file to hold back packets");
    }
    const Header header{packet.pts, packet.dts, packet.duration, packet.flags, packet.size};
    writeAll(fileno(file_), &header, sizeof header, writeAt_);
    writeAll(fileno(file_), packet.data, static_cast<std::size_t>(packet.size), writeAt_ + kHeaderBytes);
    writeAt_ += kHeaderBytes + packet.size;
    if (held_++ == 0)
        front_ = header;
}

PacketSpill::Header PacketSpill::readHeader() const
{
    Header header{};
    readAll(fileno(file_), &header, sizeof header, readAt_);
    return header;
}

void PacketSpill::pop(AVPacket& packet)
{
    const Header header = front_;
    av_packet_unref(&packet);
    checkAv(av_new_packet(&packet, header.size), "out of memory");
    readAll(fileno(file_), packet.data, static_cast<std::size_t>(header.size), readAt_ + kHeaderBytes);
    packet.pts = header.pts;
    packet.dts = header.dts;
    packet.duration = header.duration;
    packet.flags = header.flags;
    readAt_ += kHeaderBytes + header.size;
    // Emptied: the file starts over, so it only ever holds the longest lead.
    if (--held_ == 0) {
        readAt_ = writeAt_ = 0;
        if (ftruncate(fileno(file_), 0) != 0)
            throw ConversionError("cannot reuse the temporary file of held packets");
    } else {
        front_ = readHeader();
    }
}

}  // namespace conv
