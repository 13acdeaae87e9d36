#pragma once

#include <QDialog>
#include <QRect>
#include <QStringList>

#include <optional>

class QComboBox;
class QFont;

namespace kelvaro {

// A small modal dialog with one labelled drop-down list and OK / Cancel, laid out from a dialog
// template in dialog units. The list opens on its first item every time. Texts longer than the
// template has room for (a translation, a longer item) widen the dialog instead of being cut:
// the label, the list and the caption each get their full width.
class OptionDialog : public QDialog {
    Q_OBJECT
public:
    struct Template {
        QString caption;
        QSize size; // dialog units
        QString label;
        QRect labelRect; // dialog units
        int comboId = 0;
        QPoint comboPos; // dialog units
        int comboWidth = 0;
        int buttonsY = 0; // dialog units
        QStringList items;
    };

    OptionDialog(const Template& dialogTemplate, QWidget* parent = nullptr);

    // The width a caption needs in a window frame: its text in a caption's larger bold face, and
    // room for the frame's icon and buttons.
    static int CaptionWidth(const QString& caption, const QFont& font);

    int selectedIndex() const;
    QComboBox* combo() const { return combo_; }

    // Shows the dialog modally; the chosen index, or nullopt unless it ended with OK.
    std::optional<int> Ask();

private:
    QComboBox* combo_ = nullptr;
};

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

// Asks how a grey depth image reads: 0 "白いほど手前" (white is near), 1 "黒いほど手前" (black is
// near), opening on `initial` so the editor can offer the last choice again. The depth map's
// only option dialog, kept with its siblings for their common layout.
class GreyDepthDialog : public OptionDialog {
    Q_OBJECT
public:
    static constexpr int ComboId = 1022;
    explicit GreyDepthDialog(int initial = 0, QWidget* parent = nullptr);
};

} // namespace kelvaro
