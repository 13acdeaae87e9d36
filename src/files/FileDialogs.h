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

// Where a file dialog opens and the name it offers.
struct FileDialogStart {
    QString folder;   // the folder shown first; empty leaves it to the dialog
    QString fileName; // a save dialog's suggested name, an open dialog's selected file; or empty
    bool operator==(const FileDialogStart&) const = default;
};

// Where the dialog of `use` opens: in the folder of the picture open (`picturePath`, empty while
// none is), else in `lastFolder` (the folder of the last file chosen in this run, empty before
// any), else in the current folder; a folder that no longer exists is passed over. Saving a map
// suggests NAME.bmp and generating NAME.gif, NAME being the picture's name without its extension;
// loading a map selects NAME.bmp when that file exists. The picture's own file is never offered.
FileDialogStart StartFor(FileDialogUse use, const QString& picturePath, const QString& lastFolder);

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
