// A line on stderr that never waits for a reader: the stop path's last word. Within cli/ only.
#pragma once

#include <string>

namespace conv {

// Writes the converter's prefix, `message` and a newline to stderr in one
// write when the pipe (or terminal) has room for it now, and drops it
// otherwise: a caller nobody reads from still ends when it is told to. Uses
// no stdio, so a thread blocked inside stdio's lock cannot hold it up either.
void writeLineUnblocked(const std::string& message);

}  // namespace conv
