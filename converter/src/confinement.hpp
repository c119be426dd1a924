#pragma once

#include <optional>
#include <string>

namespace conv {

// What the converter may still touch once confined.
struct ConfinedFiles {
    std::string inputPath;     // read, nothing else
    std::string outputFolder;  // make, link, rename and remove files in it
    int workingFile = -1;      // the open output file: read and write it
};

// Confines the process for the rest of its life, so that a decoder subverted
// by a crafted file can do no more than the conversion itself needs:
// no new privileges; with Landlock (at the highest ABI the kernel offers) no
// file but the ones named above and no TCP connect or bind; with seccomp an
// allow-list of system calls, everything else failing with EPERM.
// Call it while only one thread runs: Landlock confines the calling thread and
// the threads it starts later, not the ones already running.
// Returns a one-line note when the kernel has no Landlock (the rest still
// holds); throws ConversionError when the rest cannot be applied.
std::optional<std::string> confine(const ConfinedFiles& files);

}  // namespace conv
