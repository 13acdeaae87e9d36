#include "files/dialogs/CFileDialogTitle.h"

namespace kelvaro {

CFileDialogTitle::CFileDialogTitle(FileDialogUse use, QWidget* parent) : QFileDialog(parent) {
    const FileDialogSettings s = SettingsFor(use);
    setWindowTitle(s.title);
    setAcceptMode(s.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    setFileMode(s.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    setNameFilter(s.filter);
    setDefaultSuffix(s.defaultSuffix);
    // In a save dialog the chosen filter's extension is the one a bare name gets, so the dialog
    // asks about replacing the file that will really be written. The generate dialog's title
    // names the chosen format.
    if (s.save)
        connect(this, &QFileDialog::filterSelected, this, [this, use](const QString& filter) {
            if (const QString suffix = SuffixOfFilter(filter); !suffix.isEmpty())
                setDefaultSuffix(suffix);
            if (use == FileDialogUse::GenerateGif)
                setWindowTitle(GenerateTitleFor(filter));
        });
    setOption(QFileDialog::DontConfirmOverwrite, !s.save);
    // Qt's own dialog, never the desktop's: it speaks the program's language rather than the
    // system's, and it keeps no list of recently used files.
    setOption(QFileDialog::DontUseNativeDialog);
}

void CFileDialogTitle::Start(const FileDialogStart& start) {
    if (!start.folder.isEmpty())
        setDirectory(start.folder);
    if (!start.fileName.isEmpty())
        selectFile(directory().filePath(start.fileName));
}

std::optional<QString> CFileDialogTitle::Ask(FileDialogUse use, const FileDialogStart& start,
                                             QWidget* parent) {
    CFileDialogTitle dialog(use, parent);
    dialog.Start(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return WithDefaultSuffix(dialog.selectedFiles().constFirst(), use, dialog.selectedNameFilter());
}

} // namespace kelvaro
