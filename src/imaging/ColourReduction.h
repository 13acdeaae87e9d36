#pragma once

#include "imaging/ImageHandle.h"
#include "imaging/Result.h"

#include <span>

namespace kelvaro {

// In place: one palette for the whole image, Floyd-Steinberg dithered, as ReduceFrameColors does
// for one frame. The image then holds palette indices; crops of it share the palette.
Result ReduceImageColors(ImageHandle& image, int reserved1 = 0, int reserved2 = 0);

// In place: equally sized frames reduced to one shared palette of at most 256 colours. The
// palette is chosen from a sample of the rows of all distinct frames; each distinct frame is then
// dithered on its own, the frames in parallel. Equal frames come out equal. On failure the frames
// are left as they were.
Result ReduceFrameColors(std::span<ImageHandle> frames);

} // namespace kelvaro
