#pragma once

#include <QString>

namespace kelvaro {

// The file dialogs of the program.
enum class FileDialogUse { OpenPicture, SaveDepthMap, LoadDepthMap, GenerateGif };

struct FileDialogSettings {
    QString title;
    bool save = false;     // a save dialog asks before an existing file is replaced
    QString filter;        // in Qt's form: "description (*.ext)"
    QString defaultSuffix; // without the dot; empty for none
};

FileDialogSettings SettingsFor(FileDialogUse use);

// The path as a save dialog returns it: a name typed without an extension gets the default one.
QString WithDefaultSuffix(const QString& path, FileDialogUse use);

} // namespace kelvaro
