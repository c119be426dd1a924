// The settings a conversion uses when nobody picks others: the window's lists
// start on these entries and the converter assumes them for a missing option.
// Both sides include this one definition, so they cannot drift apart.
#pragma once

namespace tovaro {

inline constexpr int kDefaultWidth = 176;
inline constexpr int kDefaultHeight = 144;
// As typed in the window's list and on the converter's command line; the
// converter takes the decimal exactly (2997/200).
inline constexpr const char* kDefaultFrameRate = "14.985";
inline constexpr int kDefaultVideoKbps = 120;
inline constexpr int kDefaultAudioKbps = 48;

}  // namespace tovaro
