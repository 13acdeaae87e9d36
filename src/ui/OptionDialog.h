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

} // namespace kelvaro
