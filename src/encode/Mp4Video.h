#pragma once

// The MP4 module: the H.264 encoding through FFmpeg's libraries, built as a module of its own
// (kelvaro_mp4.so) that EncodeMp4 loads the first time a video is written. Programs that write
// no video never load FFmpeg, which takes more time to resolve than a whole GIF run otherwise.
// The module and its loader are built together from this header; Mp4VideoVersion changes with it.

#include "encode/Encoder.h"
#include "imaging/ImageHandle.h"
#include "imaging/Result.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

#include <functional>
#include <span>

namespace kelvaro {

// The context of the MP4 texts in the translations, for the loader and the module alike.
class Mp4File {
    Q_DECLARE_TR_FUNCTIONS(Mp4File)
};

using EncodeMp4Function = Result (*)(std::span<const ImageHandle> frames, int delayCs,
                                     const Mp4Options& options, QByteArray& bytes,
                                     const std::function<void(int)>& progress);

inline constexpr int Mp4VideoVersion = 1;

// What the module's one exported function, Mp4VideoEntry, hands back.
struct Mp4VideoModule {
    int version;
    EncodeMp4Function encode;
};

inline constexpr char Mp4VideoEntry[] = "kelvaro_mp4_video";

// The module a program in `programDir` loads: the one of its build when the program lies in the
// build tree, otherwise the installed one at the same place relative to the program as bin/ to
// lib/kelvaro/, so that an installed program never reaches into a build tree.
QString Mp4ModulePath(const QString& programDir);

// The module's encode function, or why the module at `path` cannot be used. A loaded module
// stays loaded until the program ends.
ResultOf<EncodeMp4Function> LoadMp4Module(const QString& path);

} // namespace kelvaro
