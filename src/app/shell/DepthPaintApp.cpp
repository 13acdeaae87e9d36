#include "app/shell/DepthPaintApp.h"

#include "app/shell/ProgressDlg.h"
#include "editor/DepthPaintDlg.h"
#include "editor/QtPrompts.h"
#include "editor/dialogs/DepthDialogs.h"
#include "editor/dialogs/GifDialogs.h"
#include "files/dialogs/CFileDialogTitle.h"

#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

namespace kelvaro {

namespace {

// Qt's file dialog keeps its history, last folder and view mode in Qt's own settings file in the
// user's configuration folder (QtProject.conf), and reads them back on the next run. The editor
// remembers nothing between runs and writes no file the user did not name, so while it runs that
// file lives in a private temporary folder that is deleted when the editor ends.
class SettingsKeptAway {
public:
    SettingsKeptAway() {
        if (folder_.isValid())
            SetUserPath(folder_.path());
    }
    ~SettingsKeptAway() {
        SetUserPath(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    }
    SettingsKeptAway(const SettingsKeptAway&) = delete;
    SettingsKeptAway& operator=(const SettingsKeptAway&) = delete;

private:
    static void SetUserPath(const QString& path) {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
    }
    QTemporaryDir folder_;
};

} // namespace

int CDepthPaintApp::Run(const QString& picture) {
    const SettingsKeptAway settings;
    QtPrompts prompts;
    prompts.askFilePath = [](QWidget* parent, FileDialogUse use, const FileDialogStart& start) {
        return CFileDialogTitle::Ask(use, start, parent);
    };
    // The option dialogs have no parent window; they are application-modal.
    prompts.askSwayDirection = [](QWidget*, int initial) {
        return CSwayDirectionDlg(initial).Ask();
    };
    prompts.askOutputSize = [](QWidget*, QSize picture) {
        return COutputSizeDlg(picture).Ask();
    };
    prompts.askGreyDepthNear = [](QWidget*, int initial) {
        return GreyDepthDialog(initial).Ask();
    };
    prompts.askSizeLimit = [](QWidget*, const QString& initial) {
        return SizeLimitDialog(initial).Ask();
    };
    CDepthPaintDlg editor(prompts);
    prompts.SetParent(&editor);
    CProgressDlg progress(&editor);
    editor.SetProgressSink([&progress](int command) { progress.ProgressCommand(command); });
    // Queued, so the window is up and its messages appear over it.
    if (!picture.isEmpty())
        QTimer::singleShot(0, &editor, [&editor, picture] { editor.LoadPicture(picture); });
    editor.exec();
    // Leaving this scope releases the windows, the picture, the depth map and the undo history;
    // nothing is saved.
    return 0;
}

} // namespace kelvaro
