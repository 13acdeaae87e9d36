#pragma once

#include "encode/Encoder.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace kelvaro {

// The animation formats written, chosen by the output's extension.
enum class AnimationFormat { Gif, Webp, Mp4 };

// One format the programs write: the renderer's --format value, the extension, the file
// dialog's filter and the encoder.
struct OutputFormat {
    AnimationFormat format;
    QString name;      // "gif"
    QString extension; // ".gif"
    QString (*filter)();
    const Encoder& encoder;
};

// The formats in the order they are offered; the first is the default.
std::span<const OutputFormat> OutputFormats();

const OutputFormat& OutputFormatOf(AnimationFormat format);

// The format an output name asks for by its extension in any case; none for any other name.
std::optional<AnimationFormat> AnimationFormatOfName(const QString& name);

// The --format values ("gif", "webp", "mp4") and the file dialog's filters joined by ";;".
QStringList OutputFormatNames();
QString OutputFormatFilters();

} // namespace kelvaro
