// The confinement the worker puts itself under before it reads a byte of the source.
#pragma once

#include <optional>
#include <string>

namespace conv {

// Confines the process for the rest of its life, so that a decoder subverted
// by a crafted file can do no more than the conversion itself needs: work on
// the descriptors it already holds. No new privileges; with Landlock (at the
// highest ABI the kernel offers) no right on any file by name and no TCP
// connect or bind; with seccomp an allow-list of system calls that makes,
// opens, renames, links or removes no name, everything else failing with EPERM.
// Call it while only one thread runs: Landlock confines the calling thread and
// the threads it starts later, not the ones already running.
// Returns a one-line note when the kernel has no Landlock (the rest still
// holds); throws ConversionError when the rest cannot be applied.
std::optional<std::string> confine();

}  // namespace conv
