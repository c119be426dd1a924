// OUT's name checked, the unnamed working file made, the result linked in.
#pragma once

#include <filesystem>
#include <string>

namespace conv {

// Where the finished 3GP file goes, and the working file beside it that the
// conversion writes. The working file has no name in the final folder until
// placeResult(), so no stop, not even SIGKILL or a crash, leaves a trace and
// the final name never shows a half-written file. Where the file system cannot
// keep unnamed files, a short hidden name beside the final one is used and
// removed again by the destructor.
//
// The final name is checked and acted on through one descriptor of its folder
// and without following a symbolic link at the name: a link is refused,
// whatever it points to, and never replaced.
class OutputPlace {
public:
    // Throws ConversionError(OutputUnwritable) when the name is taken (and
    // `replaceExisting` is false), is not a regular file, or cannot be written.
    OutputPlace(const std::string& finalPath, bool replaceExisting);
    ~OutputPlace();
    OutputPlace(const OutputPlace&) = delete;
    OutputPlace& operator=(const OutputPlace&) = delete;

    // The working file, open for reading and writing.
    int descriptor() const { return fd_; }

    // Checks that the working file holds a sound 3GP file of about
    // `reportedSeconds` (see resultProblem) and puts it at the final name:
    // linked in, or renamed over the earlier file with -y. Throws
    // ConversionError(Failed) for any other file, placing nothing.
    void placeResult(double reportedSeconds);

private:
    void checkName() const;
    void linkIntoPlace();

    std::filesystem::path finalPath_;
    std::string name_;       // the final name within its folder
    std::string namedWork_;  // the hidden working name, only when no unnamed file could be made
    bool replaceExisting_ = false;
    int folderFd_ = -1;
    int fd_ = -1;
    bool placed_ = false;
};

}  // namespace conv
