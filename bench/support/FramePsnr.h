#pragma once

#include "imaging/ImageHandle.h"

#include <QString>

#include <vector>

// Mean over the frames of the PSNR of each frame decoded from `file` (GIF or WebP) against the
// frame as rendered, each at most 99 dB (what an unchanged frame counts); -1 when the file has
// fewer frames or frames of another size.
double MeanPsnr(const QString& file, const std::vector<kelvaro::ImageHandle>& rendered);
