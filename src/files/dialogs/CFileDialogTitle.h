#pragma once

#include "files/FileDialogs.h"

#include <QFileDialog>

#include <optional>

namespace kelvaro {

// The file dialog of every file command: the title, mode, filter and default extension of its
// use; save dialogs ask before an existing file is replaced. In a save dialog the suggested name's
// extension follows the filter chosen (Qt's own dialog does that).
class CFileDialogTitle : public QFileDialog {
    Q_OBJECT
public:
    CFileDialogTitle(FileDialogUse use, QWidget* parent = nullptr);

    // Opens in start.folder (unless empty) with start.fileName in the name box, selected in the
    // list when it is there.
    void Start(const FileDialogStart& start);

    // Runs the dialog from `start`; the chosen full path, or nullopt when cancelled.
    static std::optional<QString> Ask(FileDialogUse use, const FileDialogStart& start = {},
                                      QWidget* parent = nullptr);
};

} // namespace kelvaro
