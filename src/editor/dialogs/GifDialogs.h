#pragma once

#include "ui/OptionDialog.h"

#include <QSize>

// The questions of the GIF command.
namespace kelvaro {

// Asks the sway direction: 0 "横揺れ", 1 "縦揺れ", opening on `initial` (the editor's preview
// offers the direction it shows).
class CSwayDirectionDlg : public OptionDialog {
    Q_OBJECT
public:
    static constexpr int ComboId = 1021;
    explicit CSwayDirectionDlg(int initial = 0, QWidget* parent = nullptr);
};

// Asks the output size: 0 "原寸", 1 "2/3", 2 "1/2", 3 "1/3", 4 "1/4". Given the picture's size,
// each item also shows the size it gives ("1/2 (320 × 240)").
class COutputSizeDlg : public OptionDialog {
    Q_OBJECT
public:
    static constexpr int ComboId = 1018;
    explicit COutputSizeDlg(QWidget* parent = nullptr);
    explicit COutputSizeDlg(QSize picture, QWidget* parent = nullptr);
    // The items for a picture of this size; the bare fractions for an empty size.
    static QStringList Items(QSize picture);
};

} // namespace kelvaro
