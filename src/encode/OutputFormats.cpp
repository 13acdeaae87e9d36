#include "encode/OutputFormats.h"

#include <QCoreApplication>

#include <vector>

namespace kelvaro {

namespace {

// The context of the filters in the translations (where the save dialog's filters were written).
class FileDialogs {
    Q_DECLARE_TR_FUNCTIONS(FileDialogs)
};

const std::vector<OutputFormat>& Formats() {
    static const std::vector<OutputFormat> formats = {
        {AnimationFormat::Gif, QStringLiteral("gif"), QStringLiteral(".gif"),
         [] { return FileDialogs::tr("GIFファイル (*.gif)"); }, GifFileEncoder()},
        {AnimationFormat::Webp, QStringLiteral("webp"), QStringLiteral(".webp"),
         [] { return FileDialogs::tr("WebPファイル (*.webp)"); }, WebpFileEncoder()},
        {AnimationFormat::Mp4, QStringLiteral("mp4"), QStringLiteral(".mp4"),
         [] { return FileDialogs::tr("MP4動画 (*.mp4)"); }, Mp4FileEncoder()},
    };
    return formats;
}

} // namespace

std::span<const OutputFormat> OutputFormats() {
    return Formats();
}

const OutputFormat& OutputFormatOf(AnimationFormat format) {
    for (const OutputFormat& f : Formats())
        if (f.format == format)
            return f;
    return Formats().front();
}

std::optional<AnimationFormat> AnimationFormatOfName(const QString& name) {
    for (const OutputFormat& f : Formats())
        if (name.endsWith(f.extension, Qt::CaseInsensitive))
            return f.format;
    return std::nullopt;
}

QStringList OutputFormatNames() {
    QStringList names;
    for (const OutputFormat& f : Formats())
        names.append(f.name);
    return names;
}

QString OutputFormatFilters() {
    QStringList filters;
    for (const OutputFormat& f : Formats())
        filters.append(f.filter());
    return filters.join(QStringLiteral(";;"));
}

} // namespace kelvaro
