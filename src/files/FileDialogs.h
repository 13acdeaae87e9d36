#pragma once

#include <QString>

namespace kelvaro {

// The file dialogs of the program.
enum class FileDialogUse { OpenPicture, SaveDepthMap, LoadDepthMap, LoadGreyDepth, GenerateGif };

struct FileDialogSettings {
    QString title;
    bool save = false;     // a save dialog asks before an existing file is replaced
    QString filter;        // in Qt's form: "description (*.ext)"
    QString defaultSuffix; // without the dot; empty for none
};

FileDialogSettings SettingsFor(FileDialogUse use);

// The extension of a filter in Qt's form, without the dot ("WebPファイル(*.webp)" gives "webp");
// empty when it names none.
QString SuffixOfFilter(const QString& filter);

// How the texts name the animation format of a file extension: "GIF" (also for none), "WebP", and
// any other extension in capitals ("mp4" gives "MP4").
QString AnimationFormatName(const QString& suffix);
// The title of the generate dialog once this filter is chosen: the GIF title for the GIF filter,
// a video's for MP4, the same naming the chosen format for any other.
QString GenerateTitleFor(const QString& chosenFilter);

// The path as a save dialog returns it: a name typed without an extension gets the extension of
// the filter chosen in the dialog, or the default one when none is given. An open dialog's path
// stays as it is.
QString WithDefaultSuffix(const QString& path, FileDialogUse use,
                          const QString& chosenFilter = QString());

} // namespace kelvaro
