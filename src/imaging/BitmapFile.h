#pragma once

#include "imaging/ImageHandle.h"
#include "imaging/Result.h"

namespace kelvaro {

// Writes a Windows bitmap that keeps every colour exactly. Goes through a temporary file, so a
// failed write leaves any existing file untouched.
Result SaveBitmapFile(const QString& path, const ImageHandle& image);

} // namespace kelvaro
