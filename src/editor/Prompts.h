#pragma once

#include "files/FileDialogs.h"

#include "imaging/FileNames.h"

#include <QDir>
#include <QSize>
#include <QString>

#include <optional>

namespace kelvaro {

// A failure message with the reason the system or the decoder gave, in a paragraph of its own.
inline QString WithReason(const QString& message, const QString& reason) {
    return reason.isEmpty() ? message : message + QStringLiteral("\n\n") + reason;
}

// A message about a file written, with the file's name on the line below.
inline QString WithFileName(const QString& message, const QString& path) {
    return message + QLatin1Char('\n') + DisplayFileName(QDir::toNativeSeparators(path));
}

// The answers to the question about unsaved changes.
enum class SaveChoice { Save, Discard, Cancel };

// Every modal question and message of the editor goes through here, so that tests can answer
// them from a script. The Qt implementation shows real dialogs and message boxes.
class Prompts {
public:
    virtual ~Prompts() = default;

    // A message box with the application's name as caption and an OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(const QString& caption, const QString& text) = 0;
    // Unsaved changes: "保存" / "破棄" / "キャンセル" (closing the box cancels).
    virtual SaveChoice AskSaveChanges(const QString& text) = 0;
    // The chosen file's full path; nullopt when cancelled. The dialog opens in start.folder with
    // start.fileName suggested (save) or selected (open). Save dialogs ask before replacing.
    virtual std::optional<QString> AskFilePath(FileDialogUse use, const FileDialogStart& start) = 0;
    // 0 horizontal, 1 vertical, opening on `initial`; nullopt when cancelled.
    virtual std::optional<int> AskSwayDirection(int initial) = 0;
    // 0 full, 1 two thirds, 2 half, 3 a third, 4 a quarter, for a picture of this size (the
    // dialog shows the size each gives); nullopt when cancelled.
    virtual std::optional<int> AskOutputSize(QSize picture) = 0;
    // The most bytes the generated file may take, as typed ("8M", "500k", "120000"), opening on
    // `initial`: a text ParseSizeLimit reads, empty for no limit; nullopt when cancelled.
    virtual std::optional<QString> AskSizeLimit(const QString& initial) = 0;
    // How a grey depth image reads, opening on `initial`: 0 white is near, 1 black is near;
    // nullopt when cancelled.
    virtual std::optional<int> AskGreyDepthNear(int initial) = 0;
};

} // namespace kelvaro
