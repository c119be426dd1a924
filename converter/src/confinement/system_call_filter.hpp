// The seccomp allow-list of system calls. Within confinement/ only.
#pragma once

namespace conv {

// Loads a seccomp filter into every thread of the process: the system calls
// a conversion makes are allowed, everything else fails with EPERM (not a
// kill, so the converter can still say what went wrong). None of them opens,
// makes, renames, links or removes a name. A call under another calling
// convention (x32, or int 0x80) ends the whole process at once. Throws
// ConversionError when the kernel refuses the filter.
void applySystemCallFilter();

}  // namespace conv
