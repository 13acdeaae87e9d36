#pragma once

#include "files/FileDialogs.h"

#include <QFileDialog>

#include <optional>

namespace kelvaro {

// The file dialog of every file command: the title, mode, filter and default extension of its
// use; save dialogs ask before an existing file is replaced.
class CFileDialogTitle : public QFileDialog {
    Q_OBJECT
public:
    CFileDialogTitle(FileDialogUse use, QWidget* parent = nullptr);

    // Runs the dialog; the chosen full path, or nullopt when cancelled.
    static std::optional<QString> Ask(FileDialogUse use, QWidget* parent = nullptr);
};

} // namespace kelvaro
