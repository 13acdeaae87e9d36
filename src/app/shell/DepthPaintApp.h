#pragma once

#include <QString>

namespace kelvaro {

// Start-up of the editor: the main window and the progress window it drives. The program reads
// and writes no settings; every run starts from the defaults.
class CDepthPaintApp {
public:
    // Runs the editor until the user ends it ("終了" or the close box) and returns the exit code.
    // A picture given is opened once the window is up, as "画像を開く..." opens a chosen file:
    // with the shrink notice, or the usual message over the empty editor when it cannot be read.
    // Needs a QApplication.
    int Run(const QString& picture = QString());
};

} // namespace kelvaro
