// The converter's exit status names the kind of failure, so the window can say
// in Chinese what went wrong without reading the converter's English line.
// The converter's own line (on stderr, starting with kConverterMessagePrefix)
// stays the detail.
#pragma once

#include "ConverterName.h"

#include <csignal>

namespace tovaro {

enum class ConverterStatus : int {
    Written = 0,           // the output is complete at its name
    Failed = 1,            // any failure not named below
    UsageError = 2,        // a bad command line
    SourceUnreadable = 3,  // the source is missing, unreadable or not a regular file
    NotAVideo = 4,         // not a media container, or nothing to play in it
    SourceDamaged = 5,     // nothing decodes, or stream parameters no real source has
    OutputUnwritable = 6,  // the output's folder or name refuses the file
    OutOfSpace = 7,        // the disk (or the user's quota) filled up while writing
    Stopped = 8,           // a signal, or the reader of the progress went away
};

// The signals the converter takes as a request to stop (status Stopped). A
// caller may start it with them blocked: it takes them once it is ready.
inline constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

}  // namespace tovaro
