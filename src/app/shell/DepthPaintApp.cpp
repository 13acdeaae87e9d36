#include "app/shell/DepthPaintApp.h"

#include "app/shell/ProgressDlg.h"
#include "editor/DepthPaintDlg.h"
#include "editor/QtPrompts.h"

namespace kelvaro {

int CDepthPaintApp::Run() {
    QtPrompts prompts;
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
