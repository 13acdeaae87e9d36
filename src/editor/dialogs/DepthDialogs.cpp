#include "editor/dialogs/DepthDialogs.h"

#include <QComboBox>

namespace kelvaro {

GreyDepthDialog::GreyDepthDialog(int initial, QWidget* parent)
    : OptionDialog({tr("深度画像の読み込み"),
                    {119, 57},
                    tr("奥行き:"),
                    {7, 9, 36, 8},
                    ComboId,
                    {44, 7},
                    68,
                    36,
                    {tr("白いほど手前"), tr("黒いほど手前")}},
                   parent) {
    combo()->setCurrentIndex(initial == 1 ? 1 : 0);
}

} // namespace kelvaro
