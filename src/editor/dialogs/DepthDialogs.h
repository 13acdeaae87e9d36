#pragma once

#include "ui/OptionDialog.h"

// The questions of the depth-map commands.
namespace kelvaro {

// Asks how a grey depth image reads: 0 "白いほど手前" (white is near), 1 "黒いほど手前" (black is
// near), opening on `initial` so the editor can offer the last choice again.
class GreyDepthDialog : public OptionDialog {
    Q_OBJECT
public:
    static constexpr int ComboId = 1022;
    explicit GreyDepthDialog(int initial = 0, QWidget* parent = nullptr);
};

} // namespace kelvaro
