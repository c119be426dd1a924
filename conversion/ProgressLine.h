#pragma once
// The converter's progress lines on stderr (their form is in ConverterProtocol.h),
// read as a whole percentage of the source's length.

#include <QByteArrayView>

#include <optional>

namespace conversion {

// The converter says this is the source's length in seconds.
struct ProgressLine {
    // Nothing when the line is no progress line at all.
    static std::optional<ProgressLine> read(QByteArrayView line);

    // Done share from 0 to 100; nothing when the length is unknown (the converter
    // writes 0.00 then), so no guess is shown as a fact.
    std::optional<int> percent() const;

    double secondsDone = 0;
    double duration = 0;
};

}  // namespace conversion
