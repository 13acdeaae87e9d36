#pragma once

#include <QString>

// The GIF ffmpeg makes of frames saved as PNG files named by `pattern` (printf-style, %d from 0):
// one palettegen palette for all frames (written to `palette`), then paletteuse with
// Floyd-Steinberg dithering, each frame shown `delay` hundredths of a second, looping forever.
// False when ffmpeg is missing or fails.
bool WriteFfmpegGif(const QString& pattern, int delay, const QString& palette, const QString& out);
