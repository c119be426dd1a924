#include "cli/unblocked_line.hpp"

#include "ConverterStatus.h"

#include <poll.h>
#include <unistd.h>

namespace conv {

void writeLineUnblocked(const std::string& message)
{
    const std::string line = tovaro::kConverterMessagePrefix + message + "\n";
    // A pipe that reports room takes a write of up to PIPE_BUF bytes whole,
    // without waiting.
    pollfd standardError{STDERR_FILENO, POLLOUT, 0};
    if (poll(&standardError, 1, 0) != 1 || !(standardError.revents & POLLOUT))
        return;
    if (write(STDERR_FILENO, line.data(), line.size()) < 0)
        return;  // nobody to tell
}

}  // namespace conv
