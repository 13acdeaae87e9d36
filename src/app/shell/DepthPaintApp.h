#pragma once

namespace kelvaro {

// Start-up of the editor: the main window and the progress window it drives. The program takes
// no arguments and reads and writes no settings; every run starts from the defaults.
class CDepthPaintApp {
public:
    // Runs the editor until the user ends it ("終了" or the close box) and returns the exit code.
    // Needs a QApplication.
    int Run();
};

} // namespace kelvaro
