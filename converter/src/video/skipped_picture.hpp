// An H.263 picture that repeats the one before at a few bytes. Within video/ only.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace conv {

// A predicted H.263 picture whose every macroblock is left uncoded (COD = 1):
// the decoder shows the picture before unchanged. It costs a few dozen bytes
// and no encoding work, which is what a picture the source repeats is worth
// once it has been coded well enough.
// Made from a predicted picture the encoder coded at the same size, whose
// header it copies (the temporal reference is the caller's to write). Nothing
// when that header holds an optional mode this does not know, or is not a
// predicted picture's.
std::optional<std::vector<std::uint8_t>> skippedPictureLike(const std::uint8_t* predicted, int size, int width,
                                                            int height);

}  // namespace conv
