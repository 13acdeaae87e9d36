#include "app/shell/DepthPaintApp.h"

#include "app/shell/ProgressDlg.h"
#include "editor/DepthPaintDlg.h"
#include "editor/QtPrompts.h"
#include "files/dialogs/CFileDialogTitle.h"
#include "gif/dialogs/OptionDialogs.h"

namespace kelvaro {

int CDepthPaintApp::Run() {
    QtPrompts prompts;
    prompts.askFilePath = [](QWidget* parent, FileDialogUse use) {
        return CFileDialogTitle::Ask(use, parent);
    };
    // The option dialogs have no parent window; they are application-modal.
    prompts.askSwayDirection = [](QWidget*) {
        return CSwayDirectionDlg().Ask();
    };
    prompts.askOutputSize = [](QWidget*) {
        return COutputSizeDlg().Ask();
    };
    CDepthPaintDlg editor(prompts);
    prompts.SetParent(&editor);
    CProgressDlg progress(&editor);
    editor.SetProgressSink([&progress](int command) { progress.ProgressCommand(command); });
    editor.exec();
    // Leaving this scope releases the windows, the picture, the depth map and the undo history;
    // nothing is saved.
    return 0;
}

} // namespace kelvaro
